#include "platform/file_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>

#include "platform/exceptions.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::TempDir;

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(FileStream, ReaderAndCreatorExcludeEachOtherWithoutChangingTheFile) {
  TempDir dir;
  const std::string path = dir / "f";
  test::WriteText(path, "content");
  {
    FileStream reader = FileStream::OpenRead(path);
    EXPECT_EQ(MessageOf([&] { FileStream::Create(path); }),
              "Cannot create file \"" + path + "\". The file is in use by another process.");
    FileStream second_reader = FileStream::OpenRead(path);  // readers share
  }
  EXPECT_EQ(test::ReadText(path), "content");
  {
    FileStream writer = FileStream::Create(path);
    EXPECT_EQ(MessageOf([&] { FileStream::OpenRead(path); }),
              "Cannot open file \"" + path + "\". The file is in use by another process.");
  }
  EXPECT_EQ(test::ReadText(path), "");
}

TEST(FileStream, ShortReadsAndTheirErrors) {
  TempDir dir;
  test::WriteText(dir / "f", "abc");
  FileStream f = FileStream::OpenRead(dir / "f");
  char buffer[8];
  EXPECT_EQ(f.Read(buffer, sizeof buffer), 3u);
  f.Seek(0, SEEK_SET);
  EXPECT_EQ(MessageOf([&] { f.ReadBuffer(buffer, 4); }), "Stream read error");
  EXPECT_EQ(f.Size(), 3);
}

TEST(FileStream, CreateRefusesFoldersFifosAndLinksWhenAsked) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(MessageOf([&] { FileStream::Create(dir / "fifo"); }),
            "Cannot create file \"" + dir / "fifo" + "\". Not a regular file.");
  EXPECT_EQ(MessageOf([&] { FileStream::Create(dir.path()); }),
            "Cannot create file \"" + dir.path() + "\". Is a directory");
  test::WriteText(dir / "target", "x");
  ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
  FileStream::CreateOptions no_follow;
  no_follow.no_follow = true;
  EXPECT_EQ(MessageOf([&] { FileStream::Create(dir / "link", no_follow); }),
            "Cannot create file \"" + dir / "link" + "\". Too many levels of symbolic links");
  EXPECT_EQ(test::ReadText(dir / "target"), "x");
}

// Writes past a file-size limit of 1000 bytes, which stands in for a full disk; exits 0 when
// the short write was reported as it should be.
[[noreturn]] void WriteBeyondLimit(const std::string& path) {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1000, 1000};
  setrlimit(RLIMIT_FSIZE, &limit);
  FileStream f = FileStream::Create(path);
  const std::vector<char> data(4000, 'x');
  const bool short_write = f.Write(data.data(), data.size()) == 1000;
  const bool reported =
      MessageOf([&] { f.WriteBuffer(data.data(), data.size()); }) == "Stream write error";
  std::exit(short_write && reported ? 0 : 1);
}

TEST(FileStream, WriteBeyondTheSpaceLeftIsAStreamWriteError) {
  TempDir dir;
  EXPECT_EXIT(WriteBeyondLimit(dir / "f"), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lorvante
