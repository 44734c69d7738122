#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/exceptions.h"
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
    FileStream f = CreatePrivateFile(folder + "payload");
    f.WriteBuffer("x", 1);
  }
  EXPECT_EQ(ModeOf(folder + "payload") & 0777, 0600u);

  test::WriteText(base / "victim", "keep");
  ASSERT_EQ(symlink((base / "victim").c_str(), (folder + "link").c_str()), 0);
  EXPECT_THROW(CreatePrivateFile(folder + "link"), EFCreateError);
  EXPECT_EQ(test::ReadText(base / "victim"), "keep");

  // a shared folder, and a bare name that would land in the current directory
  chmod(base.path().c_str(), 0755);
  EXPECT_THROW(CreatePrivateFile(base / "payload"), EFCreateError);
  EXPECT_THROW(CreatePrivateFile("payload"), EFCreateError);
  EXPECT_FALSE(std::filesystem::exists(base / "payload"));
  EXPECT_FALSE(std::filesystem::exists("payload"));
}

}  // namespace
}  // namespace lorvante
