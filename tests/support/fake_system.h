// A system of drives for tests: mount points in a scratch folder, with a mount table, a sysfs
// tree and a by-label folder of their own, read by the real drive code.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives.h"
#include "tests/support/test_support.h"

namespace lorvante::test {

struct FakeDevice {
  std::string fs_type = "ext4";
  unsigned major = 8;
  unsigned minor = 1;
  std::string disk = "sda";        // the whole disk in sysfs
  std::string partition = "sda1";  // the device mounted; equal to `disk` for a whole disk
  bool removable = false;
  bool optical = false;
  bool has_device = true;  // false: a file system without a block device (tmpfs, cifs)
  std::string source = "/dev/sda1";
};

class FakeSystem : public DriveInfo {
 public:
  FakeSystem();

  // Adds a mount at <scratch>/mnt/<name> (the folder is created) and returns its path.
  std::string Mount(const std::string& name, const FakeDevice& device);
  // Gives the file system on `partition` the label `label` (nothing: no label), as a medium
  // change would.
  void SetLabel(const std::string& partition, const std::optional<std::string>& label);
  // A folder outside every mount of this system.
  std::string Outside() const { return root_ + "/outside"; }

  std::string DrivePart(std::string_view path) const override { return real_->DrivePart(path); }
  unsigned DriveType(std::string_view root) const override { return real_->DriveType(root); }
  Result<std::string> VolumeLabel(std::string_view root) const override {
    return real_->VolumeLabel(root);
  }

 private:
  void Rebuild();

  TempDir dir_;
  std::string root_;
  std::vector<MountEntry> mounts_;
  std::unique_ptr<SystemDriveInfo> real_;
};

// udev's form of a label as a by-label name: space and other unsafe bytes as \xNN.
std::string EncodeUdevName(const std::string& label);

}  // namespace lorvante::test
