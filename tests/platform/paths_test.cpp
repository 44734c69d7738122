#include "platform/paths.h"

#include <gtest/gtest.h>

#include "platform/format.h"

namespace lorvante {
namespace {

TEST(Paths, ExtensionFileNameAndFolder) {
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
  EXPECT_EQ(ExtractFileExt("/a/c.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("/a.b/c", ".txt"), "/a.b/c.txt");
  EXPECT_EQ(ChangeFileExt("/a/c.des", ""), "/a/c");
  EXPECT_EQ(ExtractFileName("/a/b/c.x"), "c.x");
  EXPECT_EQ(ExtractFileName("c.x"), "c.x");
  EXPECT_EQ(ExtractFilePath("/a/b/c.x"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.x"), "");
}

TEST(Paths, AppendSlashAddsOneTrailingSlash) {
  EXPECT_EQ(AppendSlash("/media/stick"), "/media/stick/");
  EXPECT_EQ(AppendSlash("/media/stick/"), "/media/stick/");
  EXPECT_EQ(AppendSlash("/"), "/");
  EXPECT_EQ(AppendSlash("dir"), "dir/");
  EXPECT_EQ(AppendSlash(""), "");
}

TEST(Paths, ExpandFileNameFoldsDotsWithoutTouchingTheDisk) {
  EXPECT_EQ(ExpandFileName(""), "");
  EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
  EXPECT_EQ(ExpandFileName("//a//b/"), "/a/b/");
  EXPECT_EQ(ExpandFileName("/.."), "/");
  EXPECT_EQ(ExpandFileName("x/y"), GetCurrentDir() + "/x/y");
}

TEST(Format, PlaceholdersInOrder) {
  EXPECT_EQ(Format("\"%s\"\nis %d%%", {"a.zip", 7}), "\"a.zip\"\nis 7%");
  EXPECT_EQ(Format("%s and %s", {"one"}), "one and ");
  EXPECT_EQ(Format("100%", {}), "100%");
}

}  // namespace
}  // namespace lorvante
