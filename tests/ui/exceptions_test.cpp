#include "ui/exceptions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/paths.h"

namespace lorvante {
namespace {

TEST(Exceptions, FileErrorsNameTheAbsolutePathAndTheFailure) {
  const std::string path = "/no/such/folder/a.txt";
  EXPECT_EQ(EFOpenError(path, Failure::System(ENOENT)).Message(),
            "Cannot open file \"" + path + "\". No such file or directory");
  EXPECT_EQ(EFCreateError(path, Failure::SystemBecause(EWOULDBLOCK, "in use by another")).Message(),
            "Cannot create file \"" + path + "\". in use by another");
  EXPECT_EQ(EFOpenError("a.txt", Failure::System(EISDIR)).Message(),
            "Cannot open file \"" + ExpandFileName("a.txt") + "\". Is a directory");
}

TEST(Exceptions, StreamErrorsKeepTheirFixedText) {
  EXPECT_EQ(EReadError(Failure::System(EIO)).Message(), "Stream read error");
  EXPECT_EQ(EWriteError(Failure::System(ENOSPC)).Message(), "Stream write error");
}

TEST(OrRaise, GivesTheValueOrRaisesWithTheFailure) {
  EXPECT_EQ(OrRaise<EReadError>(Result<int>(5)), 5);
  EXPECT_THROW(OrRaise<EReadError>(Result<int>(Failure::System(EIO))), EReadError);
  EXPECT_NO_THROW(OrRaise<EWriteError>(Result<void>()));
  try {
    OrRaise<EFCreateError>(Result<void>(Failure::Because("refused")), std::string("/x"));
    ADD_FAILURE() << "no exception";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(error.Message(), "Cannot create file \"/x\". refused");
  }
}

}  // namespace
}  // namespace lorvante
