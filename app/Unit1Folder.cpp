// The folder export: the archive in the temporary file is extracted into the folder the user
// picks.
#include <memory>

#include "app/Unit1.h"
#include "app/summary.h"
#include "platform/paths.h"
#include "zip/Zip.h"

namespace lorvante {
namespace {

// Replace an existing file only when it is older than the archived copy (bit 0); the library
// gets the flag of bit 4 as well.
constexpr std::uint8_t kFolderExportOptions = kExtractUpdate | kExtractKeepFolders;  // 17

}  // namespace

bool TForm1::ExportFolder(const std::string& archive, const std::string& initial_dir) {
  OpenDirectory->InitialDir = initial_dir;
  if (!OpenDirectory->Execute()) return true;

  // A folder chosen only in its network form leaves Directory empty; an empty target would
  // mean the archive's own folder, the private temporary one. The network form serves when a
  // mounted share holds it (the name itself is no local path: //server/share is not the folder
  // /server/share); otherwise the export fails openly.
  std::string target = OpenDirectory->Directory();
  if (target.empty()) {
    target = OpenDirectory->LocalForm(OpenDirectory->UNCDirectory());
    if (target.empty() || !DirectoryExists(target)) return false;
  }

  const auto zip = std::make_unique<TZip>(this);
  zip->ShownName = ExpandFileName(InputFileName);  // never the decrypted copy
  zip->SetZipFileName(archive);
  zip->ExtractOptions = kFolderExportOptions;
  zip->ExtractDir = target;
  const int written = zip->Extract();
  if (zip->ErrorCount != 0) return false;
  // A run the user stopped ends as silently as a cancelled picker.
  if (!zip->Cancel) AnnounceFilesExtracted(written, target, zip->SkippedReasons);
  return true;
}

}  // namespace lorvante
