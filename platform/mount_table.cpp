#include "platform/mount_table.h"

#include <fstream>
#include <sstream>

namespace lorvante {
namespace {

// Undoes the \ooo escapes of mountinfo (space, tab, newline and backslash are written so).
std::string DecodeOctal(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::vector<std::string_view> SplitSpaces(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool ParseLine(std::string_view line, MountEntry& entry) {
  // id parent major:minor root mount-point options [optional...] - type source super-options
  const std::vector<std::string_view> f = SplitSpaces(line);
  if (f.size() < 7) return false;
  std::size_t dash = 6;
  while (dash < f.size() && f[dash] != "-") ++dash;
  if (dash + 2 >= f.size()) return false;
  const std::string_view dev = f[2];
  const std::size_t colon = dev.find(':');
  if (colon == std::string_view::npos) return false;
  try {
    entry.major = static_cast<unsigned>(std::stoul(std::string(dev.substr(0, colon))));
    entry.minor = static_cast<unsigned>(std::stoul(std::string(dev.substr(colon + 1))));
  } catch (const std::exception&) {
    return false;
  }
  entry.root = DecodeOctal(f[3]);
  entry.mount_point = DecodeOctal(f[4]);
  entry.fs_type = DecodeOctal(f[dash + 1]);
  entry.source = DecodeOctal(f[dash + 2]);
  return !entry.mount_point.empty() && entry.mount_point.front() == '/';
}

bool Holds(std::string_view mount_point, std::string_view path) {
  if (mount_point == "/") return true;
  if (path.substr(0, mount_point.size()) != mount_point) return false;
  return path.size() == mount_point.size() || path[mount_point.size()] == '/';
}

}  // namespace

MountTable MountTable::Parse(std::string_view mountinfo) {
  std::vector<MountEntry> entries;
  std::size_t start = 0;
  while (start < mountinfo.size()) {
    std::size_t end = mountinfo.find('\n', start);
    if (end == std::string_view::npos) end = mountinfo.size();
    MountEntry entry;
    if (ParseLine(mountinfo.substr(start, end - start), entry)) entries.push_back(std::move(entry));
    start = end + 1;
  }
  return MountTable(std::move(entries));
}

MountTable MountTable::Current() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

const MountEntry* MountTable::Find(std::string_view path) const {
  if (path.empty() || path.front() != '/') return nullptr;
  const MountEntry* best = nullptr;
  for (const MountEntry& entry : entries_) {
    if (!Holds(entry.mount_point, path)) continue;
    if (best == nullptr || entry.mount_point.size() >= best->mount_point.size()) best = &entry;
  }
  return best;
}

}  // namespace lorvante
