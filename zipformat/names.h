// How the names stored in an archive are read: their code page and their folder separator.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lorvante::zipformat {

// Whether the archive's names and comments are in the OEM code page. The "version made by" of
// the first central header decides for the whole archive: MS-DOS (0), OS/2 (6), or host 11
// written with format version 5.0. An entry flagged as UTF-8 is UTF-8 whatever this says.
bool NamesAreOem(std::uint16_t first_version_made_by);

// An entry name with its folder separators as the platform writes them: every '\' becomes '/'.
std::string EntryNameToPath(std::string_view name);

// The version of the Unicode path field (extra block 0x7075) that is read: the version byte,
// the CRC-32 of the stored name, then the name in UTF-8.
inline constexpr std::uint8_t kUnicodePathVersion = 1;

// The UTF-8 name that the Unicode path field among the blocks of `extra` gives for the stored
// name `raw`. Nothing when there is no such field, when its version is another, when its CRC is
// not the stored name's (a tool that knew nothing of the field renamed the entry since), or when
// its name is empty or not UTF-8.
std::optional<std::string> FindUnicodePath(std::span<const std::uint8_t> extra,
                                           std::string_view raw);

// How the names of one archive are read: whether its first central header makes them OEM
// (NamesAreOem), and the user's OEM code page (platform's OemCodePage).
struct NameReading {
  bool oem = false;
  std::string codepage;
};

// An entry's name as the platform writes it: valid UTF-8, with the separator rule of
// EntryNameToPath. The first that applies: the name of a matching Unicode path field
// (`unicode_path`, from FindUnicodePath); the stored name when it is flagged UTF-8 and is so;
// the stored name decoded from the OEM code page when the archive's names are OEM; the stored
// name when it is valid UTF-8; else the stored name decoded from the OEM code page all the same,
// entry by entry (a writer that stores code-page names under a host that says otherwise).
std::string EntryName(std::string_view raw, std::uint16_t flags,
                      const std::optional<std::string>& unicode_path, const NameReading& reading);

}  // namespace lorvante::zipformat
