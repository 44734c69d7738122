#include "zipformat/names.h"

#include <algorithm>

#include "zipformat/host_system.h"

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

}  // namespace lorvante::zipformat
