// The program's single form: it owns the dialogs and runs the whole conversion in the click of
// its only button.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "format/des_layer.h"
#include "opendir/OpenDir.h"
#include "ui/component.h"
#include "ui/dialogs.h"

namespace lorvante {

// How an export ended: the output is complete, the user stopped it (a dialog cancelled, Ctrl+C),
// or it failed (the message box then says so).
enum class Outcome { kDone, kCancelled, kFailed };

class TForm1 : public TComponent {
 public:
  // Creates the form and its components; FormCreate runs during the creation.
  explicit TForm1(TComponent* AOwner);

  TButton* Button1;
  TSaveDialog* SaveDialog;
  TOpenDirectory* OpenDirectory;

  std::string InputFileName;   // argument 1, unchanged
  std::string TempFileName;    // the decrypted payload in this run's temporary folder
  std::string OutputFileName;  // the output path the save dialog offers
  std::string Caption;
  bool IsZipPayload = false;
  // Set when the conversion made its whole result: the text saved, or every entry of the archive
  // extracted (or left for a newer file). A cancel, a failure or an entry left out leaves it
  // clear.
  bool Completed = false;
  // Lines behind the text of a failure box: the input file, then each entry not extracted and
  // why, and what else is known about the cause.
  std::vector<std::string> FailureDetails;

  // The cipher service used by DecryptFile; tests put a failing one in its place.
  std::function<std::unique_ptr<DesDecryptService>()> MakeCipher = MakeDesDecryptService;

  void FormCreate(TObject* Sender);
  // Runs the conversion: decryption, then the export the payload asks for. Every failure is
  // shown in a message box; the end of the program is requested in every case.
  void Button1Click(TObject* Sender);

  // Driver steps.
  std::string GetDocumentsFolder();
  // The export the payload asks for; false when the driver reports a failed export.
  bool ExportPayload(const std::string& temp_file);
  // Extracts the zip archive `archive` into the folder the user picks, starting in
  // `initial_dir`. kFailed when an entry was skipped for an error or no target is usable.
  Outcome ExportFolder(const std::string& archive, const std::string& initial_dir);

  // Adds a line to FailureDetails for each entry in `skipped`, and the reason when the folder
  // `target` cannot be written.
  void NoteNotExtracted(const std::vector<SkippedEntryNotice>& skipped, const std::string& target);

  // Raises the failure "not enough space" when the file system that holds `folder` has fewer
  // than `needed` bytes free, before anything is written there.
  static void RequireFreeSpace(const std::string& folder, std::uint64_t needed);

  // Text export: asks for the output file and decompresses the gzip payload in `temp_file` into
  // it. kFailed when the gzip data is corrupt; the other failures raise.
  Outcome ExportText(const std::string& temp_file);

  // Decryption.
  std::string BuildKey();
  bool HasZipTag(const std::string& file_name);
  bool DecryptInput(const std::string& input_file, const std::string& temp_file,
                    const std::string& key);
  bool DecryptFile(const std::string& key, const std::string& input_file,
                   const std::string& temp_file);
  static std::string FormatSystemError(std::uint32_t code);

  // The conversion application's message box: the title as caption, the text, OK, no icon.
  static void ShowMessage(const std::string& text);
  // The same for a failure of this conversion, with FailureDetails behind the text.
  void ShowFailure(const std::string& text);
};

// The default output name: `input` with two extensions removed and ".txt" in their place.
std::string DefaultOutputName(const std::string& input);
// The temporary file name: `temp_folder` followed by the file-name part of `input` with its
// extension removed.
std::string TempFileNameFor(const std::string& temp_folder, const std::string& input);

}  // namespace lorvante
