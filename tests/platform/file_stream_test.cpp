#include "platform/file_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>

#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::TempDir;

// The text of the failure `result` holds; "(no failure)" when it holds none.
template <class T>
std::string FailureText(const Result<T>& result) {
  return result ? "(no failure)" : result.failure().Text();
}

TEST(FileStream, ReaderAndCreatorExcludeEachOtherWithoutChangingTheFile) {
  TempDir dir;
  const std::string path = dir / "f";
  test::WriteText(path, "content");
  {
    Result<FileStream> reader = FileStream::OpenRead(path);
    ASSERT_TRUE(reader) << FailureText(reader);
    EXPECT_EQ(FailureText(FileStream::Create(path)), "The file is in use by another process.");
    EXPECT_TRUE(FileStream::OpenRead(path));  // readers share
  }
  EXPECT_EQ(test::ReadText(path), "content");
  {
    Result<FileStream> writer = FileStream::Create(path);
    ASSERT_TRUE(writer) << FailureText(writer);
    const Result<FileStream> refused = FileStream::OpenRead(path);
    EXPECT_EQ(FailureText(refused), "The file is in use by another process.");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().error, EWOULDBLOCK);
  }
  EXPECT_EQ(test::ReadText(path), "");
}

TEST(FileStream, ShortReadsAndTheirErrors) {
  TempDir dir;
  test::WriteText(dir / "f", "abc");
  Result<FileStream> f = FileStream::OpenRead(dir / "f");
  ASSERT_TRUE(f) << FailureText(f);
  char buffer[8];
  EXPECT_EQ(f->Read(buffer, sizeof buffer).value_or(0), 3u);
  EXPECT_EQ(f->Seek(0, SEEK_SET).value_or(-1), 0);
  EXPECT_EQ(FailureText(f->ReadBuffer(buffer, 4)), "the file ends early");
  EXPECT_EQ(f->Size().value_or(-1), 3);
  EXPECT_EQ(FailureText(f->Seek(-1, SEEK_SET)), "Invalid argument");
}

TEST(FileStream, OpenReadNamesTheSystemsReason) {
  TempDir dir;
  const Result<FileStream> missing = FileStream::OpenRead(dir / "missing");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().error, ENOENT);
  EXPECT_EQ(missing.failure().Text(), "No such file or directory");
}

TEST(FileStream, CreateRefusesFoldersFifosAndLinksWhenAsked) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(FailureText(FileStream::Create(dir / "fifo")), "Not a regular file.");
  EXPECT_EQ(FailureText(FileStream::Create(dir.path())), "Is a directory");
  test::WriteText(dir / "target", "x");
  ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
  FileStream::CreateOptions no_follow;
  no_follow.no_follow = true;
  EXPECT_EQ(FailureText(FileStream::Create(dir / "link", no_follow)),
            "Too many levels of symbolic links");
  EXPECT_EQ(test::ReadText(dir / "target"), "x");
}

// Writes past a file-size limit of 1000 bytes, which stands in for a full disk; exits 0 when
// the short write was reported as it should be.
[[noreturn]] void WriteBeyondLimit(const std::string& path) {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1000, 1000};
  setrlimit(RLIMIT_FSIZE, &limit);
  Result<FileStream> f = FileStream::Create(path);
  if (!f) std::exit(2);
  const std::vector<char> data(4000, 'x');
  const bool short_write = f->Write(data.data(), data.size()) == 1000;
  const Result<void> beyond = f->WriteBuffer(data.data(), data.size());
  const bool reported = !beyond && beyond.failure().error == EFBIG;
  std::exit(short_write && reported ? 0 : 1);
}

TEST(FileStream, WriteBeyondTheSpaceLeftFailsWithTheSystemsReason) {
  TempDir dir;
  EXPECT_EXIT(WriteBeyondLimit(dir / "f"), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lorvante
