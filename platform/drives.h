// Drives as the zip component sees them: which mount holds a path, what kind of drive it is and
// the label of its volume. Read from the mount table, sysfs and udev's by-label folder, or from a
// source a test puts in place.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/mount_table.h"
#include "platform/result.h"

namespace lorvante {

// Drive type codes, as the component states them.
enum DriveTypeCode : unsigned {
  DRIVE_UNKNOWN = 0,
  DRIVE_NO_ROOT_DIR = 1,
  DRIVE_REMOVABLE = 2,
  DRIVE_FIXED = 3,
  DRIVE_REMOTE = 4,
  DRIVE_CDROM = 5,
  DRIVE_RAMDISK = 6,
};

class DriveInfo {
 public:
  virtual ~DriveInfo() = default;

  // The drive part of `path`: the mount point that holds it (symbolic links resolved as far as
  // the path exists); empty for a relative path or when no mount holds it.
  virtual std::string DrivePart(std::string_view path) const = 0;

  // The type of the drive whose root is `root` (a mount point, a trailing '/' allowed; empty
  // stands for the drive of the current directory). DRIVE_NO_ROOT_DIR when no mount holds it.
  virtual unsigned DriveType(std::string_view root) const = 0;

  // The label of the volume at `root` (as for DriveType). Fails only when no mount holds `root`
  // or its mount point cannot be reached; a volume without a readable label has the label "".
  virtual Result<std::string> VolumeLabel(std::string_view root) const = 0;
};

// The system's drives. Every query reads the mount table anew (media come and go), unless the
// table was given; `sys_root` and `label_dir` let a test point the queries at a tree of its own.
class SystemDriveInfo : public DriveInfo {
 public:
  SystemDriveInfo() = default;
  SystemDriveInfo(MountTable table, std::string sys_root, std::string label_dir)
      : table_(std::move(table)),
        sys_root_(std::move(sys_root)),
        label_dir_(std::move(label_dir)) {}

  std::string DrivePart(std::string_view path) const override;
  unsigned DriveType(std::string_view root) const override;
  Result<std::string> VolumeLabel(std::string_view root) const override;

  // Classifies a mount, given whether its device is removable and whether it is an optical drive.
  static unsigned Classify(std::string_view fs_type, bool removable, bool optical);

 private:
  MountTable Table() const;
  // The mount entry for `root` copied out of a fresh table; nothing when none holds it.
  std::optional<MountEntry> MountOf(std::string_view root) const;
  // The device numbers of a mount's block device; nothing for a mount without one.
  std::optional<std::pair<unsigned, unsigned>> DeviceOf(const MountEntry& mount) const;
  std::string SysBlockDir(unsigned major, unsigned minor) const;

  std::optional<MountTable> table_;
  std::string sys_root_ = "/sys";
  std::string label_dir_ = "/dev/disk/by-label";
};

// Undoes udev's \xNN escapes in a by-label name ("PKBACK#\x20003" -> "PKBACK# 003").
std::string DecodeUdevName(std::string_view name);

// The source the program's drive helpers use: the system's, unless one was put in its place.
DriveInfo& Drives();

// Puts `drives` in place of the system's source for the life of the object.
class ScopedDrives {
 public:
  explicit ScopedDrives(DriveInfo& drives);
  ~ScopedDrives();
  ScopedDrives(const ScopedDrives&) = delete;
  ScopedDrives& operator=(const ScopedDrives&) = delete;

 private:
  DriveInfo* previous_;
};

}  // namespace lorvante
