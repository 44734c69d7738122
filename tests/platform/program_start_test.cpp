// A helper started by one thread while another writes a file, closes it and opens it again for
// reading (as a conversion hands its payload from the decryption to the export): the child's
// copies of the descriptors, held until its exec, never make the reopening find the file in use.
#include "platform/program_start.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/file_stream.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

TEST(ProgramStart, AHelperBeingStartedHoldsNoLockOfAFileClosedMeanwhile) {
  test::TempDir dir;
  std::atomic<bool> done = false;
  int started = 0;
  std::thread starter([&] {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    while (!done) {
      pid_t pid = 0;
      ASSERT_EQ(StartProgram(&pid, program, {}, argv), 0);
      waitpid(pid, nullptr, 0);
      ++started;
    }
  });
  std::string refused;
  for (int i = 0; i < 2000 && refused.empty(); ++i) {
    const std::string path = dir / ("payload" + std::to_string(i));
    {
      Result<FileStream> written = FileStream::Create(path);
      ASSERT_TRUE(written);
    }
    if (const Result<FileStream> read = FileStream::OpenRead(path); !read) {
      refused = read.failure().Text();
    }
  }
  done = true;
  starter.join();
  EXPECT_EQ(refused, "");
  EXPECT_GT(started, 0);
}

}  // namespace
}  // namespace lorvante
