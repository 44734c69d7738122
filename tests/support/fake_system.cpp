#include "tests/support/fake_system.h"

#include <cstdio>
#include <filesystem>

namespace lorvante::test {

namespace fs = std::filesystem;

std::string EncodeUdevName(const std::string& label) {
  std::string out;
  for (unsigned char c : label) {
    if (std::isalnum(c) ||
        std::string_view("#+-.:=@_").find(static_cast<char>(c)) != std::string_view::npos) {
      out += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}

FakeSystem::FakeSystem() : root_(fs::canonical(dir_.path()).string()) {
  fs::create_directories(root_ + "/mnt");
  fs::create_directories(root_ + "/outside");
  fs::create_directories(root_ + "/sys/dev/block");
  fs::create_directories(root_ + "/sys/devices");
  fs::create_directories(root_ + "/by-label");
  Rebuild();
}

std::string FakeSystem::Mount(const std::string& name, const FakeDevice& device) {
  const std::string mount_point = root_ + "/mnt/" + name;
  fs::create_directories(mount_point);
  MountEntry entry;
  entry.mount_point = mount_point;
  entry.root = "/";
  entry.fs_type = device.fs_type;
  entry.source = device.source;
  if (device.has_device) {
    entry.major = device.major;
    entry.minor = device.minor;
    const std::string disk_dir = root_ + "/sys/devices/" + device.disk;
    std::string device_dir = disk_dir;
    if (device.partition != device.disk) device_dir += "/" + device.partition;
    fs::create_directories(device_dir);
    fs::create_directories(disk_dir + "/device");
    WriteText(disk_dir + "/removable", device.removable ? "1\n" : "0\n");
    WriteText(disk_dir + "/device/type", device.optical ? "5\n" : "0\n");
    const std::string link = root_ + "/sys/dev/block/" + std::to_string(device.major) + ":" +
                             std::to_string(device.minor);
    fs::remove(link);
    fs::create_directory_symlink(fs::relative(device_dir, root_ + "/sys/dev/block"), link);
  }
  mounts_.push_back(entry);
  Rebuild();
  return mount_point;
}

void FakeSystem::SetLabel(const std::string& partition, const std::optional<std::string>& label) {
  for (const fs::directory_entry& e : fs::directory_iterator(root_ + "/by-label")) {
    if (fs::read_symlink(e.path()).filename() == partition) fs::remove(e.path());
  }
  if (label) {
    fs::create_symlink("../../" + partition, root_ + "/by-label/" + EncodeUdevName(*label));
  }
}

void FakeSystem::Rebuild() {
  real_ =
      std::make_unique<SystemDriveInfo>(MountTable(mounts_), root_ + "/sys", root_ + "/by-label");
}

}  // namespace lorvante::test
