// The file written beside its final name: it reaches the name only when finished and renamed,
// and what a failed, interrupted or killed writer leaves never stands under the final name.
#include "platform/replacement_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/owned_names.h"
#include "platform/signal_cleanup.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::TempDir;

class FolderFd {
 public:
  explicit FolderFd(const std::string& path)
      : fd_(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~FolderFd() { close(fd_); }
  int get() const { return fd_; }

 private:
  int fd_;
};

mode_t PermissionsOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(ReplacementFile, HiddenPrivateWhileWrittenThenRenamedWithItsFinalMode) {
  TempDir dir;
  test::WriteText(dir / "out.txt", "old");
  FolderFd folder(dir.path());
  {
    Result<ReplacementFile> file = ReplacementFile::Create(folder.get());
    ASSERT_TRUE(file) << file.failure().Text();
    const std::string name = file->Name();
    EXPECT_EQ(name.rfind(".lorvante-" + std::to_string(getpid()) + "-", 0), 0u) << name;
    EXPECT_EQ(PermissionsOf(dir / name), 0600u);
    ASSERT_TRUE(file->Write("new text", 8));
    EXPECT_EQ(test::ReadText(dir / "out.txt"), "old");
    ASSERT_TRUE(file->Finish(0644));
    ASSERT_TRUE(file->RenameTo("out.txt"));
  }
  EXPECT_EQ(test::ReadText(dir / "out.txt"), "new text");
  EXPECT_EQ(PermissionsOf(dir / "out.txt"), 0644u);
  EXPECT_EQ(test::SortedNames(dir.path()), std::vector<std::string>{"out.txt"});
}

// A file of many in a row has no name while it is written: nothing shows in its folder, it is
// linked under a fresh name or over an old one with its final mode, and a file that is not
// placed leaves nothing.
TEST(ReplacementFile, UnnamedWhileWrittenThenLinkedFreshOrOverTheOld) {
  TempDir dir;
  test::WriteText(dir / "old.txt", "old");
  FolderFd folder(dir.path());
  const auto make = [&](const char* text) {
    Result<ReplacementFile> file = ReplacementFile::Create(
        folder.get(), dir.path(), 0640, ReplacementFile::Naming::kUnnamedWherePossible);
    EXPECT_TRUE(file) << file.failure().Text();
    EXPECT_TRUE(file->Write(text, std::strlen(text)));
    return std::move(file).value();
  };
  if (!test::FileSystemMakesUnnamedFiles(dir.path())) {
    GTEST_SKIP() << "the file system here makes no file without a name";
  }
  const mode_t expected = FreshFileMode(0640);
  for (const char* name : {"new.txt", "old.txt"}) {
    SCOPED_TRACE(name);
    ReplacementFile file = make("whole text");
    EXPECT_TRUE(file.Unnamed());
    ASSERT_TRUE(file.Finish(0640));
    EXPECT_EQ(test::SortedNames(dir.path()).size(), std::string(name) == "new.txt" ? 1u : 2u);
    ASSERT_TRUE(file.RenameTo(name)) << name;
    EXPECT_EQ(test::ReadText(dir / name), "whole text");
    EXPECT_EQ(PermissionsOf(dir / name), expected);
  }
  { ReplacementFile dropped = make("dropped"); }
  EXPECT_EQ(test::SortedNames(dir.path()), (std::vector<std::string>{"new.txt", "old.txt"}));
}

TEST(ReplacementFile, RemovedUnlessRenamed) {
  TempDir dir;
  FolderFd folder(dir.path());
  {
    Result<ReplacementFile> file = ReplacementFile::Create(folder.get());
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write("x", 1));
  }
  {
    Result<ReplacementFile> file = ReplacementFile::Create(folder.get());
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Finish(0644));
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ReplacementFile, FailuresCarryTheSystemsErrorNumber) {
  TempDir dir;
  {
    FolderFd folder(dir.path());
    Result<ReplacementFile> file = ReplacementFile::Create(folder.get());
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Finish(0644));
    const Result<void> renamed = file->RenameTo("no-such-folder/out.txt");
    ASSERT_FALSE(renamed);
    EXPECT_EQ(renamed.failure().error, ENOENT);
  }
  const Result<ReplacementFile> not_a_folder = ReplacementFile::Create(-1);
  ASSERT_FALSE(not_a_folder);
  EXPECT_EQ(not_a_folder.failure().error, EBADF);
}

TEST(ReplacementFile, FreshModeFollowsTheUmask) {
  // The umask is read once per process: the check runs in a process started afresh (not a
  // fork, which would inherit what this one read already), with the umask set first.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        umask(027);
        std::_Exit(FreshFileMode() == 0640 && FreshFileMode(0777) == 0750 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// What a writer that was killed left: removed by a later run only when its process has gone,
// it is this user's regular file, and it is older than the run.
TEST(ReplacementFile, StaleFilesOfGoneProcessesAreRemoved) {
  TempDir dir;
  const std::string gone = ".lorvante-" + std::to_string(test::GonePid()) + "-abcdef.tmp";
  const std::string live = ".lorvante-" + std::to_string(getppid()) + "-abcdef.tmp";
  const std::string own = ".lorvante-" + std::to_string(getpid()) + "-abcdef.tmp";
  const std::string gone_folder = ".lorvante-" + std::to_string(test::GonePid()) + "-folder.tmp";
  const std::string newer = ".lorvante-" + std::to_string(test::GonePid()) + "-newer.tmp";
  for (const auto& name :
       {gone, live, own, newer, std::string("keep.txt"), std::string(".lorvante-x-abcdef.tmp")}) {
    test::WriteText(dir / name, "partial");
  }
  mkdir((dir / gone_folder).c_str(), 0700);
  // Everything was written before this run started, except the newer file.
  const timespec before[2] = {{RunStartTime() - 100, 0}, {RunStartTime() - 100, 0}};
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ASSERT_EQ(utimensat(AT_FDCWD, entry.path().c_str(), before, 0), 0);
  }
  const timespec after[2] = {{RunStartTime() + 100, 0}, {RunStartTime() + 100, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / newer).c_str(), after, 0), 0);
  FolderFd folder(dir.path());
  RemoveStaleReplacements(folder.get());
  std::vector<std::string> expected = {
      ".lorvante-x-abcdef.tmp", gone_folder, live, newer, own, "keep.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::SortedNames(dir.path()), expected);
}

// While a batch keeps its memory of searched folders, each folder is searched once: a stale file
// that turns up afterwards stays until the memory ends; then the next search removes it, and a
// folder searched without its subfolders is searched again with them.
TEST(StaleReplacements, EachFolderIsSearchedOnceWhileTheMemoryLives) {
  TempDir dir;
  const std::string stale = ".lorvante-" + std::to_string(test::GonePid()) + "-abcdef.tmp";
  const timespec before[2] = {{RunStartTime() - 100, 0}, {RunStartTime() - 100, 0}};
  const auto plant = [&](const std::string& path) {
    test::WriteText(path, "partial");
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), before, 0), 0);
  };
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0700), 0);
  FolderFd folder(dir.path());
  {
    const StaleSweepMemory memory;
    plant(dir / stale);
    RemoveStaleReplacements(folder.get());
    EXPECT_FALSE(std::filesystem::exists(dir / stale));
    plant(dir / stale);
    plant(dir / ("sub/" + stale));
    RemoveStaleReplacements(folder.get());
    EXPECT_TRUE(std::filesystem::exists(dir / stale));
    RemoveStaleReplacements(folder.get(), StaleSearch::kWithSubfolders);
    EXPECT_FALSE(std::filesystem::exists(dir / ("sub/" + stale)));
    plant(dir / ("sub/" + stale));
    RemoveStaleReplacements(folder.get(), StaleSearch::kWithSubfolders);
    EXPECT_TRUE(std::filesystem::exists(dir / ("sub/" + stale)));
  }
  RemoveStaleReplacements(folder.get(), StaleSearch::kWithSubfolders);
  EXPECT_FALSE(std::filesystem::exists(dir / stale));
  EXPECT_FALSE(std::filesystem::exists(dir / ("sub/" + stale)));
}

// Every file below `folder`, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_symlink() || !entry.is_directory()) {
      files.push_back(entry.path().lexically_relative(folder));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The search below the folder, for an extraction: stale files in subfolders at any depth go; a
// live writer's file stays, and a link to another folder is not followed. The folder-only search
// of a text export leaves the subfolders alone.
TEST(ReplacementFile, StaleFilesInSubfoldersAreRemovedWhenAskedFor) {
  const std::string gone = ".lorvante-" + std::to_string(test::GonePid()) + "-abcdef.tmp";
  const std::string live = ".lorvante-" + std::to_string(getppid()) + "-abcdef.tmp";
  struct Case {
    StaleSearch search;
    std::vector<std::string> left;  // below the folder, besides the live file and the kept text
  };
  const Case cases[] = {
      {StaleSearch::kWithSubfolders, {}},
      {StaleSearch::kFolderOnly, {"a/" + gone, "a/b/c/" + gone}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.search));
    TempDir dir, elsewhere;
    std::filesystem::create_directories(dir / "a/b/c");
    for (const std::string& name :
         {gone, "a/" + gone, "a/b/c/" + gone, "a/b/" + live, std::string("a/keep.txt")}) {
      test::WriteText(dir / name, "partial");
    }
    test::WriteText(elsewhere / gone, "not below the folder");
    std::filesystem::create_directory_symlink(elsewhere.path(), dir / "a/link");
    const timespec before[2] = {{RunStartTime() - 100, 0}, {RunStartTime() - 100, 0}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      ASSERT_EQ(utimensat(AT_FDCWD, entry.path().c_str(), before, AT_SYMLINK_NOFOLLOW), 0);
    }
    ASSERT_EQ(utimensat(AT_FDCWD, (elsewhere / gone).c_str(), before, 0), 0);

    FolderFd folder(dir.path());
    RemoveStaleReplacements(folder.get(), c.search);
    std::vector<std::string> expected = c.left;
    expected.insert(expected.end(), {"a/b/" + live, "a/keep.txt", "a/link"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesBelow(dir.path()), expected);
    EXPECT_EQ(test::SortedNames(elsewhere.path()), std::vector<std::string>{gone});
  }
}

TEST(OwnedNames, ProcessIdIsReadFromTheName) {
  const std::string gone = std::to_string(test::GonePid());
  EXPECT_TRUE(LeftByGoneProcess("run-" + gone + "-x", "run-"));
  EXPECT_FALSE(LeftByGoneProcess("run-" + std::to_string(getpid()) + "-x", "run-"));
  EXPECT_FALSE(LeftByGoneProcess("run-1-x", "run-"));  // init always runs
  EXPECT_FALSE(LeftByGoneProcess("run-" + gone, "run-"));
  EXPECT_FALSE(LeftByGoneProcess("run--x", "run-"));
  EXPECT_FALSE(LeftByGoneProcess("run-12a-x", "run-"));
  EXPECT_FALSE(LeftByGoneProcess("other-" + gone + "-x", "run-"));
  EXPECT_EQ(OwnedNamePrefix("run-"), "run-" + std::to_string(getpid()) + "-");
}

// A signal that ends the program removes what is registered, and the parent sees the signal.
TEST(SignalCleanup, TerminationRemovesRegisteredFilesAndFolders) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    TempDir dir;
    mkdir((dir / "run").c_str(), 0700);
    test::WriteText(dir / "run/payload", "secret");
    test::WriteText(dir / "partial", "half");
    test::WriteText(dir / "kept", "done");
    const pid_t pid = fork();
    if (pid == 0) {
      InstallSignalCleanup();
      RemoveOnSignal folder(dir / "run", RemoveOnSignal::Kind::kFolder);
      RemoveOnSignal file(dir / "partial", RemoveOnSignal::Kind::kFile);
      { RemoveOnSignal gone_before(dir / "kept", RemoveOnSignal::Kind::kFile); }
      raise(signal_number);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << signal_number;
    EXPECT_EQ(test::SortedNames(dir.path()), std::vector<std::string>{"kept"}) << signal_number;
  }
}

// Within an interrupt scope the first Ctrl+C only asks for a cancel; a second one ends the
// program, removing what is registered.
TEST(SignalCleanup, FirstCtrlCInAScopeCancelsTheSecondEnds) {
  TempDir dir;
  test::WriteText(dir / "partial", "half");
  const pid_t pid = fork();
  if (pid == 0) {
    InstallSignalCleanup();
    RemoveOnSignal file(dir / "partial", RemoveOnSignal::Kind::kFile);
    {
      InterruptScope scope;
      if (scope.Interrupted()) _exit(2);
      raise(SIGINT);
      if (!scope.Interrupted()) _exit(3);
      if (!std::filesystem::exists(dir / "partial")) _exit(4);
      raise(SIGINT);
    }
    _exit(5);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT)
      << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  EXPECT_FALSE(std::filesystem::exists(dir / "partial"));
}

}  // namespace
}  // namespace lorvante
