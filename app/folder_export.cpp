// The folder export: the archive in the temporary file is extracted into the folder the user
// picks.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "app/summary.h"
#include "platform/error_texts.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "zip/Zip.h"

namespace lorvante {
namespace {

// Replace an existing file only when it is older than the archived copy (bit 0); the library
// gets the flag of bit 4 as well.
constexpr std::uint8_t kFolderExportOptions = kExtractUpdate | kExtractKeepFolders;  // 17

// What the archive's entries hold once extracted (at most 2^64 - 1).
std::uint64_t BytesOfEntries(const TZip& zip) {
  std::uint64_t total = 0;
  for (const auto& entry : zip.FileList) {
    const std::uint64_t size = entry->UncompressedSize64;
    total = size > UINT64_MAX - total ? UINT64_MAX : total + size;
  }
  return total;
}

}  // namespace

Outcome TForm1::ExportFolder(const std::string& archive, const std::string& initial_dir) {
  OpenDirectory->InitialDir = initial_dir;
  if (!OpenDirectory->Execute()) return Outcome::kCancelled;

  // A folder chosen only in its network form leaves Directory empty; an empty target would
  // mean the archive's own folder, the private temporary one. The network form serves when a
  // mounted share holds it (the name itself is no local path: //server/share is not the folder
  // /server/share); otherwise the export fails openly.
  std::string target = OpenDirectory->Directory();
  if (target.empty()) {
    target = OpenDirectory->LocalForm(OpenDirectory->UNCDirectory());
    if (target.empty() || !DirectoryExists(target)) return Outcome::kFailed;
  }

  const auto zip = std::make_unique<TZip>(this);
  zip->ShownName = ExpandFileName(InputFileName);  // never the decrypted copy
  zip->SetZipFileName(archive);
  zip->ExtractOptions = kFolderExportOptions;
  zip->ExtractDir = target;
  zip->Confined = true;  // from here on, the archive's bytes are read under the kernel's rules
  RequireFreeSpace(target, BytesOfEntries(*zip));
  const int written = zip->Extract();
  NoteNotExtracted(zip->SkippedEntries, target);
  if (zip->ErrorCount != 0) return Outcome::kFailed;
  // A run the user stopped ends as silently as a cancelled picker.
  if (zip->Cancel) return Outcome::kCancelled;
  AnnounceFilesExtracted(written, target, zip->SkippedReasons);
  Completed = AllExtracted(zip->SkippedReasons);
  return Outcome::kDone;
}

void TForm1::NoteNotExtracted(const std::vector<SkippedEntryNotice>& skipped,
                              const std::string& target) {
  for (const SkippedEntryNotice& entry : skipped) {
    FailureDetails.push_back(Format(messages::kDetailEntry, {entry.entry, entry.reason}));
  }
  // A folder that refuses every file looks like a damaged archive in the box; the details say
  // which it is.
  if (!skipped.empty() && access(target.c_str(), W_OK) != 0) {
    FailureDetails.push_back(Format(messages::kDetailTargetNotWritable,
                                    {target, SystemErrorText(static_cast<std::uint32_t>(errno))}));
  }
}

}  // namespace lorvante
