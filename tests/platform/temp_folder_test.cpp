#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::TempDir;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

TEST(PrivateTempFolder, MadeWithMode0700AndReused) {
  TempDir base;
  const std::string folder = PrivateTempFolder(base.path(), geteuid());
  EXPECT_EQ(folder, base / ("lorvante-" + std::to_string(geteuid()) + "/"));
  EXPECT_TRUE(S_ISDIR(ModeOf(folder)));
  EXPECT_EQ(ModeOf(folder) & 0777, 0700u);
  EXPECT_EQ(PrivateTempFolder(base.path() + "/", geteuid()), folder);
}

TEST(PrivateTempFolder, OwnFolderWithAWiderModeIsNarrowed) {
  TempDir base;
  const std::string name = base / ("lorvante-" + std::to_string(geteuid()));
  ASSERT_EQ(mkdir(name.c_str(), 0777), 0);
  chmod(name.c_str(), 0777);
  EXPECT_EQ(PrivateTempFolder(base.path(), geteuid()), name + "/");
  EXPECT_EQ(ModeOf(name) & 0777, 0700u);
}

// Someone else holds the name (a link, a file, another user's folder): a fresh private folder
// takes its place, and nothing lands in the current directory.
TEST(PrivateTempFolder, SquattedNameFallsBackToAFreshFolder) {
  TempDir base, elsewhere;
  const std::string name = base / ("lorvante-" + std::to_string(geteuid()));
  ASSERT_EQ(symlink(elsewhere.path().c_str(), name.c_str()), 0);
  const std::string folder = PrivateTempFolder(base.path(), geteuid());
  EXPECT_NE(folder, name + "/");
  EXPECT_EQ(folder.rfind(name + "-", 0), 0u) << folder;
  EXPECT_TRUE(IsPrivateFolder(folder, geteuid()));
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

TEST(PrivateTempFolder, FolderOfAnotherUserIsNotAccepted) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  TempDir base;
  const std::string name = base / "lorvante-0";
  ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
  ASSERT_EQ(chown(name.c_str(), 65534, 65534), 0);
  const std::string folder = PrivateTempFolder(base.path(), 0);
  EXPECT_NE(folder, name + "/");
  EXPECT_TRUE(IsPrivateFolder(folder, 0));
}

TEST(PrivateTempFolder, UnusableBaseFallsBackBelowTmp) {
  const std::string folder = PrivateTempFolder("/nonexistent/base", geteuid());
  EXPECT_EQ(folder.rfind("/tmp/lorvante-", 0), 0u) << folder;
  EXPECT_TRUE(IsPrivateFolder(folder, geteuid()));
  std::filesystem::remove(folder);
}

TEST(CreatePrivateFile, OnlyInAPrivateFolderAndNeverThroughALink) {
  TempDir base;
  const std::string folder = PrivateTempFolder(base.path(), geteuid());
  {
    Result<FileStream> f = CreatePrivateFile(folder + "payload");
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->WriteBuffer("x", 1));
  }
  EXPECT_EQ(ModeOf(folder + "payload") & 0777, 0600u);

  test::WriteText(base / "victim", "keep");
  ASSERT_EQ(symlink((base / "victim").c_str(), (folder + "link").c_str()), 0);
  const Result<FileStream> through_link = CreatePrivateFile(folder + "link");
  ASSERT_FALSE(through_link);
  EXPECT_EQ(through_link.failure().error, ELOOP);
  EXPECT_EQ(test::ReadText(base / "victim"), "keep");

  // a shared folder, and a bare name that would land in the current directory
  chmod(base.path().c_str(), 0755);
  for (const std::string& path : {base / "payload", std::string("payload")}) {
    const Result<FileStream> refused = CreatePrivateFile(path);
    ASSERT_FALSE(refused) << path;
    EXPECT_EQ(refused.failure().Text(), "The folder is not private to this user.") << path;
  }
  EXPECT_FALSE(std::filesystem::exists(base / "payload"));
  EXPECT_FALSE(std::filesystem::exists("payload"));
}

// Each run gets a fresh private folder inside the private one, with an absolute path even when
// TMPDIR is relative; it goes with everything in it when the run ends.
TEST(RunFolder, OwnFolderPerRunRemovedWithItsContent) {
  TempDir base;
  const std::string parent = base / ("lorvante-" + std::to_string(geteuid()));
  std::string first;
  {
    const RunFolder run(base.path(), geteuid());
    const RunFolder other(base.path(), geteuid());
    first = run.Path();
    EXPECT_EQ(first.rfind(parent + "/run-" + std::to_string(getpid()) + "-", 0), 0u) << first;
    EXPECT_EQ(first.back(), '/');
    EXPECT_NE(other.Path(), first);
    EXPECT_TRUE(IsPrivateFolder(first, geteuid()));
    Result<FileStream> payload = CreatePrivateFile(first + "payload");
    ASSERT_TRUE(payload);
    ASSERT_TRUE(payload->WriteBuffer("secret", 6));
  }
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::is_empty(parent));

  const std::string cwd = GetCurrentDir();
  ASSERT_EQ(chdir(base.path().c_str()), 0);
  {
    const RunFolder relative("sub/..", geteuid());
    EXPECT_EQ(relative.Path().rfind(parent + "/run-", 0), 0u) << relative.Path();
  }
  ASSERT_EQ(chdir(cwd.c_str()), 0);
}

// Folders of runs whose process has gone are removed by the next run; those of live processes
// (this one) and names that are no run's stay.
TEST(RunFolder, FoldersOfGoneRunsAreRemoved) {
  TempDir base;
  const std::string parent = PrivateTempFolder(base.path(), geteuid());
  const std::string gone = parent + "run-" + std::to_string(test::GonePid()) + "-abcdef";
  const std::string live = parent + "run-" + std::to_string(getpid()) + "-abcdef";
  ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
  test::WriteBytes(gone + "/payload", test::RandomBytes(1000, 1));
  ASSERT_EQ(mkdir(live.c_str(), 0700), 0);
  test::WriteText(parent + "run-notapid-x", "");
  { const RunFolder run(base.path(), geteuid()); }
  EXPECT_EQ(
      test::SortedNames(parent),
      (std::vector<std::string>{"run-" + std::to_string(getpid()) + "-abcdef", "run-notapid-x"}));
}

// The folders of gone runs are searched for once per parent folder and process: one that turns
// up later is left for the next process.
TEST(RunFolder, GoneRunsAreSearchedForOncePerProcess) {
  TempDir base;
  { const RunFolder first(base.path(), geteuid()); }
  const std::string parent = PrivateTempFolder(base.path(), geteuid());
  const std::string gone = parent + "run-" + std::to_string(test::GonePid()) + "-abcdef";
  ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
  { const RunFolder second(base.path(), geteuid()); }
  EXPECT_TRUE(std::filesystem::exists(gone));
}

// Holds taken while one lives share its folder, which goes with the last of them; a hold taken
// after TMPDIR changed gets a folder there.
TEST(RunFolder, HoldsShareOneFolderWhileOneLives) {
  TempDir base, other;
  std::string shared;
  {
    const test::ScopedEnv tmpdir("TMPDIR", base.path());
    auto first = std::make_unique<RunFolderHold>();
    shared = first->Path();
    EXPECT_EQ(shared.rfind(base.path(), 0), 0u) << shared;
    {
      const RunFolderHold second;
      EXPECT_EQ(second.Path(), shared);
      const test::ScopedEnv moved("TMPDIR", other.path());
      const RunFolderHold elsewhere;
      EXPECT_EQ(elsewhere.Path().rfind(other.path(), 0), 0u) << elsewhere.Path();
    }
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(shared));
    const RunFolderHold again;
    EXPECT_NE(again.Path(), shared);
    EXPECT_TRUE(IsPrivateFolder(again.Path(), geteuid()));
  }
}

// A folder made because the private one could not be had serves the run itself and goes with it;
// those of gone runs beside it go too.
TEST(RunFolder, FallbackFolderIsTheRunsAndIsRemoved) {
  TempDir base, elsewhere;
  const std::string squatted = base / ("lorvante-" + std::to_string(geteuid()));
  ASSERT_EQ(symlink(elsewhere.path().c_str(), squatted.c_str()), 0);
  const std::string stale = base / ("lorvante-" + std::to_string(geteuid()) + "-" +
                                    std::to_string(test::GonePid()) + "-abc");
  ASSERT_EQ(mkdir(stale.c_str(), 0700), 0);
  std::string path;
  {
    const RunFolder run(base.path(), geteuid());
    path = run.Path();
    EXPECT_EQ(path.rfind(squatted + "-" + std::to_string(getpid()) + "-", 0), 0u) << path;
    EXPECT_TRUE(IsPrivateFolder(path, geteuid()));
    EXPECT_FALSE(std::filesystem::exists(stale));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(test::SortedNames(base.path()),
            std::vector<std::string>{squatted.substr(base.path().size() + 1)});
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

// TMPDIR that cannot be used: a fresh folder below /tmp serves the run and goes with it.
TEST(RunFolder, FolderMadeBecauseTmpdirWasUnusableIsRemoved) {
  std::string path;
  {
    const RunFolder run("/nonexistent/base", geteuid());
    path = run.Path();
    EXPECT_EQ(
        path.rfind(
            "/tmp/lorvante-" + std::to_string(geteuid()) + "-" + std::to_string(getpid()) + "-", 0),
        0u)
        << path;
    EXPECT_TRUE(IsPrivateFolder(path, geteuid()));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace lorvante
