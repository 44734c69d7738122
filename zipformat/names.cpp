#include "zipformat/names.h"

#include <zlib.h>

#include <algorithm>

#include "platform/byte_cursor.h"
#include "platform/oem_names.h"
#include "zipformat/host_system.h"
#include "zipformat/records.h"

namespace lorvante::zipformat {

bool NamesAreOem(std::uint16_t first_version_made_by) {
  const unsigned host = HostSystem(first_version_made_by);
  return host == kHostMsDos || host == kHostOs2 ||
         (host == kHostMvs && FormatVersion(first_version_made_by) == kWindowsToolsVersion);
}

// The separator rule, whatever host made the entry. The program follows the Windows reading of
// an archive, where '\' separates folders in every name; and the unzip library must read a
// name the same way, so that a name such as "..\x" is seen as leaving the target folder and
// refused, whichever host the archive claims. The directory listing shows exactly the names
// that the library extracts (file specs taken from the listing select the same entries). A
// Unix name holding a literal '\' is therefore read as a path; that is the lesser evil.
std::string EntryNameToPath(std::string_view name) {
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::optional<std::string> FindUnicodePath(std::span<const std::uint8_t> extra,
                                           std::string_view raw) {
  const auto block = FindExtraBlock(extra, kExtraUnicodePath);
  if (!block) return std::nullopt;
  ByteCursor field(*block);
  const std::uint8_t version = field.U8();
  const std::uint32_t crc = field.U32();
  if (!field.ok() || version != kUnicodePathVersion) return std::nullopt;
  const auto* raw_bytes = reinterpret_cast<const Bytef*>(raw.data());
  if (crc != ::crc32(::crc32(0, nullptr, 0), raw_bytes, static_cast<uInt>(raw.size()))) {
    return std::nullopt;
  }
  const auto name = field.Block(field.Remaining());
  std::string text(name.begin(), name.end());
  if (text.empty() || !IsUtf8(text)) return std::nullopt;
  return text;
}

std::string EntryName(std::string_view raw, std::uint16_t flags,
                      const std::optional<std::string>& unicode_path, const NameReading& reading) {
  if (unicode_path) return EntryNameToPath(*unicode_path);
  const bool flagged_utf8 = (flags & kFlagUtf8Names) != 0;
  if (flagged_utf8 && IsUtf8(raw)) return EntryNameToPath(raw);
  if (!reading.oem && IsUtf8(raw)) return EntryNameToPath(raw);
  return EntryNameToPath(OemToValidUtf8(raw, reading.codepage));
}

}  // namespace lorvante::zipformat
