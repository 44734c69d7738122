#include "platform/network_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace lorvante {
namespace {

constexpr char kMountInfo[] =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "30 22 0:50 / /mnt/office rw - cifs //srv/office rw\n"
    "31 22 0:51 / /mnt/smb3 rw - smb3 //srv3/data/ rw\n"
    "32 22 0:52 / /mnt/nfs rw - nfs srv:/export rw\n"
    "33 22 0:53 / /mnt/nfs4 rw - nfs4 srv4:/ rw\n"
    "34 22 0:50 /team /mnt/team rw - cifs //srv/office rw\n"
    "35 22 0:54 /sub /mnt/prefixed rw - cifs //srv/docs/sub rw\n"
    "36 22 0:55 / /mnt/over rw - nfs4 srv:/over rw\n"
    "37 36 0:56 / /mnt/over/tmp rw - tmpfs tmpfs rw\n"
    "38 22 0:57 / /mnt/bad rw - cifs srv/office rw\n"
    "39 22 0:58 / /mnt/badnfs rw - nfs /export rw\n"
    "40 22 0:59 / /mnt/office\\040files rw - cifs //srv/office\\040files rw\n"
    "41 22 0:60 / /mnt/sshfs rw - fuse.sshfs user@host:/home rw\n";

struct Case {
  const char* name;
  const char* path;
  std::optional<std::string> expected;
};

// The case's name is what tests print of it, so that the names ctest finds stay the same.
void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class UniversalNameTest : public testing::TestWithParam<Case> {};

TEST_P(UniversalNameTest, NamesTheShare) {
  const MountTable table = MountTable::Parse(kMountInfo);
  EXPECT_EQ(GetUniversalName(GetParam().path, table), GetParam().expected);
}

const Case kCases[] = {
    {"SmbFolder", "/mnt/office/Reports/2024", "//srv/office/Reports/2024"},
    {"SmbMountPoint", "/mnt/office", "//srv/office"},
    {"SmbTrailingSlash", "/mnt/office/Reports/", "//srv/office/Reports"},
    {"Smb3SourceWithSlash", "/mnt/smb3/x", "//srv3/data/x"},
    {"NfsFolder", "/mnt/nfs/a/b", "srv:/export/a/b"},
    {"NfsMountPoint", "/mnt/nfs", "srv:/export"},
    {"Nfs4ExportRoot", "/mnt/nfs4/a", "srv4:/a"},
    {"Nfs4ExportRootItself", "/mnt/nfs4", "srv4:/"},
    {"BindMountOfAShareFolder", "/mnt/team/x", "//srv/office/team/x"},
    {"SourceNamesThePrefixAlready", "/mnt/prefixed/x", "//srv/docs/sub/x"},
    {"EscapedSpaces", "/mnt/office files/a b", "//srv/office files/a b"},
    {"FolderNamePrefixIsNoMount", "/mnt/officex/a", std::nullopt},
    {"LocalDisk", "/home/user", std::nullopt},
    {"LocalMountedOverAShare", "/mnt/over/tmp/x", std::nullopt},
    {"SmbSourceWithoutSlashes", "/mnt/bad/x", std::nullopt},
    {"NfsSourceWithoutServer", "/mnt/badnfs/x", std::nullopt},
    {"OtherNetworkFileSystem", "/mnt/sshfs/x", std::nullopt},
    {"RelativePath", "mnt/office/x", std::nullopt},
    {"EmptyPath", "", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Mounts, UniversalNameTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param_info) {
                           return param_info.param.name;
                         });

TEST(UniversalName, AnEmptyTableKnowsNoShare) {
  EXPECT_EQ(GetUniversalName("/mnt/office/x", MountTable()), std::nullopt);
}

// The way back, from a universal name to the local folder it is mounted at. A name that no
// mounted share holds has no local form, even where a local folder of that spelling exists:
// //srv/x must never be taken for /srv/x.
class LocalNameTest : public testing::TestWithParam<Case> {};

TEST_P(LocalNameTest, FindsTheMountedFolder) {
  const MountTable table = MountTable::Parse(kMountInfo);
  EXPECT_EQ(GetLocalName(GetParam().path, table), GetParam().expected);
  // Whatever is found is called by the name asked for.
  if (const auto local = GetLocalName(GetParam().path, table)) {
    std::string name = GetParam().path;
    while (name.size() > 2 && name.back() == '/' && name[name.size() - 2] != ':') name.pop_back();
    EXPECT_EQ(GetUniversalName(*local, table), name);
  }
}

const Case kLocalCases[] = {
    {"SmbFolder", "//srv/office/Reports/2024", "/mnt/office/Reports/2024"},
    {"SmbShareItself", "//srv/office", "/mnt/office"},
    {"SmbTrailingSlash", "//srv/office/Reports/", "/mnt/office/Reports"},
    {"Smb3", "//srv3/data/x", "/mnt/smb3/x"},
    {"NfsFolder", "srv:/export/a/b", "/mnt/nfs/a/b"},
    {"Nfs4ExportRoot", "srv4:/a", "/mnt/nfs4/a"},
    {"Nfs4ExportRootItself", "srv4:/", "/mnt/nfs4"},
    {"TheNearestMountWins", "//srv/office/team/x", "/mnt/team/x"},
    {"SourceNamesThePrefixAlready", "//srv/docs/sub/x", "/mnt/prefixed/x"},
    {"EscapedSpaces", "//srv/office files/a b", "/mnt/office files/a b"},
    {"ShareNamePrefixIsNoShare", "//srv/officex/a", std::nullopt},
    {"UnmountedShare", "//nowhere/share/x", std::nullopt},
    {"HiddenByALocalMount", "srv:/over/tmp/x", std::nullopt},
    {"LocalPath", "/mnt/office/x", std::nullopt},
    {"EmptyName", "", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Mounts, LocalNameTest, testing::ValuesIn(kLocalCases),
                         [](const testing::TestParamInfo<Case>& param_info) {
                           return param_info.param.name;
                         });

TEST(LocalName, AnEmptyTableKnowsNoShare) {
  EXPECT_EQ(GetLocalName("//srv/office/x", MountTable()), std::nullopt);
  EXPECT_EQ(GetLocalName("//tmp", MountTable()), std::nullopt);
}

}  // namespace
}  // namespace lorvante
