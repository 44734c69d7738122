#include "unzdll/entry_name.h"

#include <limits.h>

#include <algorithm>

namespace unzdll {

static_assert(kMaxPathLength == PATH_MAX && kMaxComponentLength == NAME_MAX);

SafePath CheckName(std::string_view name) {
  SafePath path;
  if (name.empty()) {
    path.refusal = "an empty name";
    return path;
  }
  // Refused before anything of it is made: a path the system cannot name in one piece would
  // have to be made one folder at a time, without end.
  if (name.size() >= kMaxPathLength) {
    path.refusal = "a name too long";
    return path;
  }
  if (name.front() == '/') {
    path.refusal = "an absolute name";
    return path;
  }
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
    path.refusal = "an absolute name, with a drive letter";
    return path;
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      path.refusal = "a name with control characters";
      return path;
    }
  }
  path.is_folder = name.back() == '/';
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t slash = std::min(name.find('/', start), name.size());
    const std::string_view part = name.substr(start, slash - start);
    if (part == "..") {
      path.refusal = "a name leaving the folder, through \"..\"";
      return path;
    }
    if (part.size() > kMaxComponentLength) {
      path.refusal = "a name too long, a part longer than 255 bytes";
      return path;
    }
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = slash + 1;
  }
  if (parts.empty()) {
    path.refusal = "an empty name";
    return path;
  }
  if (!path.is_folder) {
    path.leaf = std::move(parts.back());
    parts.pop_back();
  }
  path.folders = std::move(parts);
  return path;
}

std::string JoinPath(const SafePath& path) {
  std::string out;
  for (const std::string& folder : path.folders) out += folder + '/';
  return out + path.leaf;
}

}  // namespace unzdll
