// How the names stored in an archive are read: their code page and their folder separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lorvante::zipformat {

// Whether the archive's names and comments are in the OEM code page. The "version made by" of
// the first central header decides for the whole archive: MS-DOS (0), OS/2 (6), or host 11
// written with format version 5.0. An entry flagged as UTF-8 is UTF-8 whatever this says.
bool NamesAreOem(std::uint16_t first_version_made_by);

// An entry name with its folder separators as the platform writes them: every '\' becomes '/'.
std::string EntryNameToPath(std::string_view name);

}  // namespace lorvante::zipformat
