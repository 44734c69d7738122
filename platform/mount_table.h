// The mount table: which file system holds a path, of what type, from what source.
// Read from /proc/self/mountinfo, or from a text given by a test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lorvante {

struct MountEntry {
  std::string mount_point;  // absolute, octal escapes decoded
  std::string root;         // the folder of the file system that is mounted there
  std::string fs_type;      // "ext4", "tmpfs", "cifs", "nfs4", "fuse.sshfs", ...
  std::string source;       // "/dev/sda1", "//server/share", "server:/export", ...
  unsigned major = 0;       // the device numbers of the file system
  unsigned minor = 0;
};

class MountTable {
 public:
  MountTable() = default;
  explicit MountTable(std::vector<MountEntry> entries) : entries_(std::move(entries)) {}

  // Parses the text of a mountinfo file; malformed lines are skipped.
  static MountTable Parse(std::string_view mountinfo);
  // The table of this process; empty when it cannot be read.
  static MountTable Current();

  // The mount that holds the absolute `path`: the longest mount point that is `path` or a folder
  // above it, the one mounted last when several share that point. Nothing for a relative path.
  const MountEntry* Find(std::string_view path) const;

  const std::vector<MountEntry>& entries() const { return entries_; }

 private:
  std::vector<MountEntry> entries_;
};

}  // namespace lorvante
