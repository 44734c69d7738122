#include "platform/positioned_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "platform/unique_fd.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::TempDir;

TEST(ReadFullyAt, ReadsFromTheOffsetAndStopsShortOnlyAtTheEnd) {
  TempDir dir;
  test::WriteText(dir / "f", "0123456789");
  const UniqueFd fd(open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(fd.valid());
  std::array<std::uint8_t, 4> out{};
  const Result<std::size_t> middle = ReadFullyAt(fd.get(), 3, out);
  ASSERT_TRUE(middle);
  EXPECT_EQ(*middle, 4u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "3456");
  const Result<std::size_t> tail = ReadFullyAt(fd.get(), 8, out);
  ASSERT_TRUE(tail);
  EXPECT_EQ(*tail, 2u);
  EXPECT_EQ(ReadFullyAt(fd.get(), 20, out).value_or(99), 0u);
}

TEST(ReadFullyAt, AFailedReadCarriesTheSystemsErrorNumber) {
  TempDir dir;
  const UniqueFd folder(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder.valid());
  std::array<std::uint8_t, 4> out{};
  const Result<std::size_t> read = ReadFullyAt(folder.get(), 0, out);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.failure().error, EISDIR);
}

}  // namespace
}  // namespace lorvante
