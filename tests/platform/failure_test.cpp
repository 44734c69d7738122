#include "platform/failure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/result.h"

namespace lorvante {
namespace {

TEST(Failure, TextIsTheDetailElseTheSystemsText) {
  EXPECT_EQ(Failure::System(ENOENT).Text(), "No such file or directory");
  EXPECT_EQ(Failure::Because("the archive ends early").Text(), "the archive ends early");
  EXPECT_EQ(Failure::SystemBecause(EWOULDBLOCK, "in use").Text(), "in use");
  EXPECT_EQ(Failure::SystemBecause(EWOULDBLOCK, "in use").error, EWOULDBLOCK);
  EXPECT_EQ(Failure{}.Text(), "");
}

TEST(Result, HoldsEitherTheValueOrTheFailure) {
  const Result<int> value = 7;
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, 7);
  EXPECT_EQ(value.value_or(0), 7);

  const Result<int> failed = Failure::System(EACCES);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.value_or(-1), -1);
  EXPECT_EQ(failed.failure().error, EACCES);

  const Result<void> done;
  EXPECT_TRUE(done);
  const Result<void> refused = Failure::Because("refused");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().detail, "refused");
}

TEST(Result, GivesUpAMoveOnlyValue) {
  Result<std::unique_ptr<std::string>> made = std::make_unique<std::string>("kept");
  ASSERT_TRUE(made);
  const std::unique_ptr<std::string> taken = std::move(made).value();
  EXPECT_EQ(*taken, "kept");
}

}  // namespace
}  // namespace lorvante
