#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/paths.h"

namespace lorvante {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kScsiCdromMajor = 11;  // sr0, sr1, ...
constexpr char kScsiTypeRom[] = "5";      // device/type of an optical drive
constexpr char kNoMount[] = "no mounted file system holds it";

// The first line of a small sysfs file, without its line end; empty when it cannot be read.
std::string ReadFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
    line.pop_back();
  }
  return line;
}

bool IsRemoteFileSystem(std::string_view fs_type) {
  static constexpr std::array<std::string_view, 16> kRemote = {
      "nfs",          "nfs4",  "cifs",       "smb3",  "smbfs",
      "ncpfs",        "afs",   "ceph",       "9p",    "glusterfs",
      "lustre",       "davfs", "fuse.sshfs", "sshfs", "fuse.glusterfs",
      "fuse.smbnetfs"};
  for (std::string_view remote : kRemote) {
    if (fs_type == remote) return true;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string DecodeUdevName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      const int high = HexDigit(name[i + 2]);
      const int low = HexDigit(name[i + 3]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    out += name[i];
  }
  return out;
}

unsigned SystemDriveInfo::Classify(std::string_view fs_type, bool removable, bool optical) {
  if (IsRemoteFileSystem(fs_type)) return DRIVE_REMOTE;
  if (fs_type == "tmpfs" || fs_type == "ramfs") return DRIVE_RAMDISK;
  if (optical && (fs_type == "iso9660" || fs_type == "udf")) return DRIVE_CDROM;
  if (removable) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

MountTable SystemDriveInfo::Table() const {
  return table_ ? *table_ : MountTable::Current();
}

std::optional<MountEntry> SystemDriveInfo::MountOf(std::string_view root) const {
  const std::string where = root.empty() ? GetCurrentDir() : std::string(root);
  const MountTable table = Table();
  const MountEntry* entry = table.Find(where);
  if (entry == nullptr) return std::nullopt;
  return *entry;
}

std::optional<std::pair<unsigned, unsigned>> SystemDriveInfo::DeviceOf(
    const MountEntry& mount) const {
  if (mount.major != 0) return std::make_pair(mount.major, mount.minor);
  // Some file systems (btrfs among them) report an anonymous device; their source names the
  // real one.
  if (mount.source.rfind("/dev/", 0) == 0) {
    struct stat st {};
    if (stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      return std::make_pair(static_cast<unsigned>(major(st.st_rdev)),
                            static_cast<unsigned>(minor(st.st_rdev)));
    }
  }
  return std::nullopt;
}

std::string SystemDriveInfo::SysBlockDir(unsigned major_no, unsigned minor_no) const {
  return sys_root_ + "/dev/block/" + std::to_string(major_no) + ":" + std::to_string(minor_no);
}

std::string SystemDriveInfo::DrivePart(std::string_view path) const {
  if (path.empty() || path.front() != '/') return {};
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(fs::path(path), error);
  if (error) resolved = fs::path(path);
  const MountTable table = Table();
  const MountEntry* entry = table.Find(resolved.string());
  return entry == nullptr ? std::string() : entry->mount_point;
}

unsigned SystemDriveInfo::DriveType(std::string_view root) const {
  const std::optional<MountEntry> mount = MountOf(root);
  if (!mount) return DRIVE_NO_ROOT_DIR;
  bool removable = false;
  bool optical = false;
  if (const auto device = DeviceOf(*mount)) {
    std::error_code error;
    const fs::path dir = fs::canonical(SysBlockDir(device->first, device->second), error);
    if (!error) {
      // A partition carries no flags of its own; its disk is the folder above it.
      const fs::path disk = dir.parent_path();
      removable =
          ReadFirstLine(dir / "removable") == "1" || ReadFirstLine(disk / "removable") == "1";
      optical = device->first == kScsiCdromMajor ||
                ReadFirstLine(dir / "device" / "type") == kScsiTypeRom ||
                ReadFirstLine(disk / "device" / "type") == kScsiTypeRom;
    } else {
      optical = device->first == kScsiCdromMajor;
    }
  }
  return Classify(mount->fs_type, removable, optical);
}

Result<std::string> SystemDriveInfo::VolumeLabel(std::string_view root) const {
  const std::optional<MountEntry> mount = MountOf(root);
  if (!mount) return Failure::Because(kNoMount);
  struct stat st {};
  if (stat(mount->mount_point.c_str(), &st) != 0) return Failure::System(errno);

  const auto device = DeviceOf(*mount);
  if (!device) return std::string();  // tmpfs, overlay, network shares: no device, no label
  std::error_code error;
  const std::string kernel_name =
      fs::canonical(SysBlockDir(device->first, device->second), error).filename().string();
  const dev_t wanted = makedev(device->first, device->second);

  fs::directory_iterator it(label_dir_, error);
  if (error) return std::string();
  for (const fs::directory_entry& entry : it) {
    std::error_code link_error;
    const fs::path target = fs::read_symlink(entry.path(), link_error);
    bool match = !link_error && !kernel_name.empty() && target.filename() == kernel_name;
    if (!match) {
      struct stat node {};
      match =
          stat(entry.path().c_str(), &node) == 0 && S_ISBLK(node.st_mode) && node.st_rdev == wanted;
    }
    if (match) return DecodeUdevName(entry.path().filename().string());
  }
  return std::string();
}

namespace {
DriveInfo* g_drives = nullptr;
}  // namespace

DriveInfo& Drives() {
  static SystemDriveInfo system;
  return g_drives != nullptr ? *g_drives : system;
}

ScopedDrives::ScopedDrives(DriveInfo& drives) : previous_(g_drives) {
  g_drives = &drives;
}

ScopedDrives::~ScopedDrives() {
  g_drives = previous_;
}

}  // namespace lorvante
