// The drive source of the platform layer, read from a made-up mount table, sysfs tree and
// by-label folder.
#include "platform/drives.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <ostream>

#include "tests/support/fake_system.h"

namespace lorvante::test {
namespace {

struct DriveCase {
  const char* name;
  FakeDevice device;
  unsigned type;
};

void PrintTo(const DriveCase& c, std::ostream* os) {
  *os << c.name;
}

FakeDevice Device(const char* fs_type, unsigned major, unsigned minor, const char* disk,
                  const char* partition, bool removable, bool optical = false) {
  FakeDevice d;
  d.fs_type = fs_type;
  d.major = major;
  d.minor = minor;
  d.disk = disk;
  d.partition = partition;
  d.removable = removable;
  d.optical = optical;
  d.source = std::string("/dev/") + partition;
  return d;
}

FakeDevice NoDevice(const char* fs_type, const char* source) {
  FakeDevice d;
  d.fs_type = fs_type;
  d.has_device = false;
  d.major = 0;
  d.minor = 99;
  d.source = source;
  return d;
}

class DriveTypeTest : public testing::TestWithParam<DriveCase> {};

TEST_P(DriveTypeTest, ComesFromTheFileSystemTypeAndTheDevice) {
  FakeSystem system;
  const std::string mount = system.Mount("m", GetParam().device);
  EXPECT_EQ(system.DriveType(mount + "/"), GetParam().type);
  EXPECT_EQ(system.DriveType(mount), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Drives, DriveTypeTest,
    testing::Values(
        DriveCase{"FixedDisk", Device("ext4", 8, 1, "sda", "sda1", false), DRIVE_FIXED},
        DriveCase{"UsbStickPartition", Device("vfat", 8, 17, "sdb", "sdb1", true), DRIVE_REMOVABLE},
        DriveCase{"FloppyWholeDisk", Device("vfat", 2, 0, "fd0", "fd0", true), DRIVE_REMOVABLE},
        DriveCase{"SdCard", Device("exfat", 179, 1, "mmcblk0", "mmcblk0p1", true), DRIVE_REMOVABLE},
        DriveCase{"OpticalDisc", Device("iso9660", 11, 0, "sr0", "sr0", true, true), DRIVE_CDROM},
        DriveCase{"UdfOnOpticalByType", Device("udf", 65, 0, "sdq", "sdq", false, true),
                  DRIVE_CDROM},
        DriveCase{"IsoImageOnLoopIsFixed", Device("iso9660", 7, 0, "loop0", "loop0", false),
                  DRIVE_FIXED},
        DriveCase{"Tmpfs", NoDevice("tmpfs", "tmpfs"), DRIVE_RAMDISK},
        DriveCase{"Ramfs", NoDevice("ramfs", "none"), DRIVE_RAMDISK},
        DriveCase{"Cifs", NoDevice("cifs", "//server/share"), DRIVE_REMOTE},
        DriveCase{"Nfs4", NoDevice("nfs4", "server:/export"), DRIVE_REMOTE},
        DriveCase{"Sshfs", NoDevice("fuse.sshfs", "user@host:/"), DRIVE_REMOTE},
        DriveCase{"OverlayIsFixed", NoDevice("overlay", "overlay"), DRIVE_FIXED}),
    [](const testing::TestParamInfo<DriveCase>& tp) { return std::string(tp.param.name); });

TEST(Drives, APathOutsideEveryMountHasNoRoot) {
  FakeSystem system;
  system.Mount("m", FakeDevice{});
  EXPECT_EQ(system.DriveType(system.Outside() + "/"), DRIVE_NO_ROOT_DIR);
  const Result<std::string> label = system.VolumeLabel(system.Outside() + "/");
  ASSERT_FALSE(label);
  EXPECT_EQ(label.failure().Text(), "no mounted file system holds it");
  EXPECT_EQ(system.DrivePart(system.Outside() + "/a.zip"), "");
}

TEST(Drives, DrivePartIsTheDeepestMountAndFollowsLinks) {
  FakeSystem system;
  const std::string fixed = system.Mount("fixed", FakeDevice{});
  const std::string stick = system.Mount("fixed/stick", Device("vfat", 8, 17, "sdb", "sdb1", true));
  EXPECT_EQ(system.DrivePart(fixed + "/a/b.zip"), fixed);
  EXPECT_EQ(system.DrivePart(stick + "/b.zip"), stick);
  EXPECT_EQ(system.DrivePart(fixed + "/sticker/b.zip"), fixed);  // a folder boundary, not a prefix
  EXPECT_EQ(system.DrivePart("relative/b.zip"), "");
  std::filesystem::create_directory_symlink(stick, fixed + "/link");
  EXPECT_EQ(system.DrivePart(fixed + "/link/b.zip"), stick);
}

TEST(Drives, VolumeLabelIsReadFromByLabelWithEscapesDecoded) {
  FakeSystem system;
  const std::string stick = system.Mount("stick", Device("vfat", 8, 17, "sdb", "sdb1", true));
  const std::string other = system.Mount("other", Device("ext4", 8, 2, "sda", "sda2", false));
  system.SetLabel("sda2", "SYSTEM");
  system.SetLabel("sdb1", "PKBACK# 003");
  EXPECT_EQ(system.VolumeLabel(stick + "/").value_or("(failed)"), "PKBACK# 003");
  EXPECT_EQ(system.VolumeLabel(other).value_or("(failed)"), "SYSTEM");

  // A medium change: the stick now has another label, then none.
  system.SetLabel("sdb1", "Backup/2 x");
  EXPECT_EQ(system.VolumeLabel(stick).value_or("(failed)"), "Backup/2 x");
  system.SetLabel("sdb1", std::nullopt);
  EXPECT_EQ(system.VolumeLabel(stick).value_or("(failed)"), "");
}

TEST(Drives, VolumesWithoutDeviceHaveAnEmptyLabelAndAMissingMountPointFails) {
  FakeSystem system;
  const std::string ram = system.Mount("ram", NoDevice("tmpfs", "tmpfs"));
  const std::string gone = system.Mount("gone", FakeDevice{});
  EXPECT_EQ(system.VolumeLabel(ram).value_or("(failed)"), "");
  std::filesystem::remove(gone);
  const Result<std::string> label = system.VolumeLabel(gone);
  ASSERT_FALSE(label);
  EXPECT_EQ(label.failure().error, ENOENT);
}

TEST(Drives, UdevNamesAreDecoded) {
  EXPECT_EQ(DecodeUdevName("PKBACK#\\x20003"), "PKBACK# 003");
  EXPECT_EQ(DecodeUdevName("a\\x2fb\\x5cc"), "a/b\\c");
  EXPECT_EQ(DecodeUdevName("\\xC3\\xA1rv\\xc3\\xadz"), "\xC3\xA1rv\xC3\xADz");
  EXPECT_EQ(DecodeUdevName("bad\\x2"), "bad\\x2");
  EXPECT_EQ(DecodeUdevName("bad\\xzz"), "bad\\xzz");
  EXPECT_EQ(EncodeUdevName("PKBACK# 003"), "PKBACK#\\x20003");
}

TEST(Drives, TheSystemSourceFindsTheRootOfThisProcess) {
  // The live mount table always holds "/".
  SystemDriveInfo system;
  EXPECT_EQ(system.DrivePart("/"), "/");
  EXPECT_NE(system.DriveType("/"), static_cast<unsigned>(DRIVE_NO_ROOT_DIR));
  EXPECT_TRUE(system.VolumeLabel("/"));
}

}  // namespace
}  // namespace lorvante::test
