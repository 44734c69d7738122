#include "unzdll/entry_name.h"

#include <limits.h>

#include <algorithm>

#include "platform/oem_names.h"
#include "zipformat/names.h"
#include "zipformat/records.h"

namespace unzdll {

static_assert(kMaxPathLength == PATH_MAX && kMaxComponentLength == NAME_MAX);

std::string ConvertName(std::string_view raw, std::uint16_t flags, bool oem_names,
                        const std::string& oem_codepage) {
  const bool utf8 = (flags & lorvante::zipformat::kFlagUtf8Names) != 0;
  return lorvante::zipformat::EntryNameToPath(
      !utf8 && oem_names ? lorvante::OemToUtf8(raw, oem_codepage) : std::string(raw));
}

SafePath CheckName(std::string_view name) {
  SafePath path;
  if (name.empty()) {
    path.refusal = "the name is empty";
    return path;
  }
  // Refused before anything of it is made: a path the system cannot name in one piece would
  // have to be made one folder at a time, without end.
  if (name.size() >= kMaxPathLength) {
    path.refusal = "the name is longer than a path may be";
    return path;
  }
  if (name.front() == '/') {
    path.refusal = "the name is an absolute path";
    return path;
  }
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
    path.refusal = "the name starts with a drive letter";
    return path;
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      path.refusal = "the name holds control characters";
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
      path.refusal = "the name leads out of the folder (\"..\")";
      return path;
    }
    if (part.size() > kMaxComponentLength) {
      path.refusal = "a part of the name is longer than a file name may be";
      return path;
    }
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = slash + 1;
  }
  if (parts.empty()) {
    path.refusal = "the name is empty";
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
