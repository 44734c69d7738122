#include "platform/mount_table.h"

#include <gtest/gtest.h>

namespace lorvante {
namespace {

constexpr char kMountInfo[] =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "23 22 0:21 / /tmp rw,nosuid - tmpfs tmpfs rw\n"
    "24 22 0:45 /share /mnt/office\\040files rw master:3 shared:4 - cifs //srv/office rw\n"
    "25 22 0:46 / /mnt/nfs rw - nfs4 srv:/export rw\n"
    "garbage line\n"
    "26 22 0:47 / /mnt/nfs rw - tmpfs over rw\n";

TEST(MountTable, ParsesFieldsAndDecodesEscapes) {
  const MountTable table = MountTable::Parse(kMountInfo);
  ASSERT_EQ(table.entries().size(), 5u);
  const MountEntry& cifs = table.entries()[2];
  EXPECT_EQ(cifs.mount_point, "/mnt/office files");
  EXPECT_EQ(cifs.root, "/share");
  EXPECT_EQ(cifs.fs_type, "cifs");
  EXPECT_EQ(cifs.source, "//srv/office");
  EXPECT_EQ(cifs.major, 0u);
  EXPECT_EQ(cifs.minor, 45u);
}

TEST(MountTable, FindsTheDeepestMountAtAFolderBoundaryTheLastOneWins) {
  const MountTable table = MountTable::Parse(kMountInfo);
  const auto type_of = [&](const char* path) {
    const MountEntry* e = table.Find(path);
    return e == nullptr ? std::string("none") : e->fs_type;
  };
  EXPECT_EQ(type_of("/tmp/a/b"), "tmpfs");
  EXPECT_EQ(type_of("/tmp"), "tmpfs");
  EXPECT_EQ(type_of("/tmpx/a"), "ext4");
  EXPECT_EQ(type_of("/mnt/office files/x.zip"), "cifs");
  EXPECT_EQ(type_of("/mnt/nfs/x"), "tmpfs");  // mounted over the nfs share
  EXPECT_EQ(type_of("relative/x"), "none");
  EXPECT_EQ(MountTable().Find("/x"), nullptr);
}

TEST(MountTable, TheRunningSystemHasARoot) {
  const MountTable table = MountTable::Current();  // the entry lives in the table
  const MountEntry* root = table.Find("/");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->mount_point, "/");
}

}  // namespace
}  // namespace lorvante
