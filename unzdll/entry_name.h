// Entry names: from the bytes stored in the archive to a relative path that is safe to create.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace unzdll {

struct SafePath {
  std::vector<std::string> folders;  // folder components, in order
  std::string leaf;                  // last component; empty for a folder entry
  bool is_folder = false;
  const char* refusal = nullptr;  // why the name is unsafe; null when it is safe
};

// The longest path (terminating NUL included) and the longest single name the system takes.
inline constexpr std::size_t kMaxPathLength = 4096;      // PATH_MAX
inline constexpr std::size_t kMaxComponentLength = 255;  // NAME_MAX

// Splits a converted name into components. Empty and "." components are dropped. Refused:
// an empty name, a name of kMaxPathLength bytes or more, a component longer than
// kMaxComponentLength, an absolute path, a drive letter, a ".." component, control characters.
SafePath CheckName(std::string_view name);

// The path of `path` as written ("a/b/c", "a/b/" for a folder).
std::string JoinPath(const SafePath& path);

}  // namespace unzdll
