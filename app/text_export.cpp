// The text export: the save dialog asks for the output file, and the gzip payload in the
// temporary file is decompressed into it byte for byte. The text is written beside the chosen
// name and takes its place only when complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

#include "app/confined_text.h"
#include "app/conversion_form.h"
#include "app/gzip_source.h"
#include "app/messages.h"
#include "app/summary.h"
#include "platform/error_texts.h"
#include "platform/file_stream.h"
#include "platform/paths.h"
#include "platform/replacement_file.h"
#include "platform/signal_cleanup.h"
#include "platform/unique_fd.h"
#include "ui/application.h"
#include "ui/exceptions.h"

namespace lorvante {
namespace {

// The chosen output file, written as a replacement file beside the chosen name and renamed
// over it only after a complete copy: a failure, a cancel or a signal leaves the chosen name as
// it was (or absent). A name that is a link to a file keeps the link; its target is replaced.
class TextOutput {
 public:
  explicit TextOutput(const std::string& chosen) : chosen_(chosen) {
    target_ = ResolvedTarget(chosen);
    const std::string folder = ExtractFilePath(target_);
    folder_fd_ =
        UniqueFd(open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_fd_.valid()) throw EFCreateError(chosen, Failure::System(errno));
    mode_ = FreshFileMode();
    HoldExistingFile();
    RemoveStaleReplacements(folder_fd_.get());
    file_.emplace(OrRaise<EFCreateError>(ReplacementFile::Create(folder_fd_.get()), chosen));
  }
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  // The hidden file, open for writing.
  int Handle() const { return file_->Handle(); }

  // Writes all `size` bytes or raises "Stream write error".
  void Write(const void* data, std::size_t size) { OrRaise<EWriteError>(file_->Write(data, size)); }

  // Closes the file ("Stream write error" when that fails) and renames it over the chosen name.
  void Commit() {
    // The owner of a replaced file stays, where the process may give the file away.
    if (owner_) (void)!fchown(file_->Handle(), owner_->first, owner_->second);
    OrRaise<EWriteError>(file_->Finish(mode_));
    OrRaise<EFCreateError>(file_->RenameTo(ExtractFileName(target_)), chosen_);
  }

 private:
  // The file a name stands for: the end of its links when it exists, the name itself otherwise.
  static std::string ResolvedTarget(const std::string& chosen) { return ResolvedFileName(chosen); }

  // An existing file under the chosen name must be a regular file that no other open of this
  // program uses; it is locked until the replacement is in place, and the replacement gets its
  // permissions and, where the process may give it away, its owner, as the file rewritten in
  // place would keep them.
  void HoldExistingFile() {
    struct stat st {};
    if (stat(target_.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) throw EFCreateError(chosen_, Failure::System(EISDIR));
    if (!S_ISREG(st.st_mode)) {
      throw EFCreateError(chosen_, Failure::Because(SystemErrorText(kErrorNotRegularFile)));
    }
    if (access(target_.c_str(), W_OK) != 0) throw EFCreateError(chosen_, Failure::System(errno));
    existing_fd_ = UniqueFd(open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (existing_fd_.valid()) OrRaise<EFCreateError>(LockFile(existing_fd_.get(), true), chosen_);
    mode_ = st.st_mode & 07777;
    owner_.emplace(st.st_uid, st.st_gid);
  }

  std::string chosen_;
  std::string target_;
  // Declared before the file, so closed after it; closed too when the constructor fails.
  UniqueFd folder_fd_;
  UniqueFd existing_fd_;
  mode_t mode_ = 0;
  std::optional<std::pair<uid_t, gid_t>> owner_;  // of the file replaced
  std::optional<ReplacementFile> file_;
};

}  // namespace

Outcome TForm1::ExportText(const std::string& temp_file) {
  SaveDialog->InitialDir = GetDocumentsFolder();
  SaveDialog->FileName = OutputFileName;
  if (!SaveDialog->Execute()) return Outcome::kCancelled;

  // Declared first, so that on every path the gzip handle is closed before the output.
  std::optional<TextOutput> output;
  GzipSource source(temp_file);
  RequireFreeSpace(ExtractFilePath(ExpandFileName(SaveDialog->FileName)), source.TextSizeAtLeast());
  // The output is made before the source is known to be open, so that its errors come first; a
  // missing source leaves the chosen name as it was.
  output.emplace(SaveDialog->FileName);
  if (!source.IsOpen()) throw Exception(messages::kSourceNotFound);

  // The text complete: the payload is let go and the text takes the chosen name.
  const auto finish = [&] {
    source.Close();
    output->Commit();
    AnnounceTextSaved(SaveDialog->FileName);
    Completed = true;
    return Outcome::kDone;
  };
  // Ctrl+C cancels the export as it cancels an extraction; the chosen name stays as it was.
  const InterruptScope interrupts;
  // From here on, the payload's bytes are read under the kernel's rules where it has them.
  if (const std::string worker = ConfinedTextWorker(); !worker.empty()) {
    const ConfinedCopy copied = CopyTextConfined(worker, source.Handle(), output->Handle(),
                                                 [&] { return interrupts.Interrupted(); });
    if (copied == ConfinedCopy::kCancelled) {
      Application.UI().ReportInterrupted();
      return Outcome::kCancelled;
    }
    if (copied == ConfinedCopy::kCorrupt) return Outcome::kFailed;
    return finish();
  }
  struct Cancelled {};
  try {
    const bool sound = source.CopyTo([&](std::span<const std::uint8_t> text) {
      if (interrupts.Interrupted()) throw Cancelled{};
      output->Write(text.data(), text.size());
    });
    if (!sound) return Outcome::kFailed;  // corrupt data: nothing reaches the chosen name
  } catch (const Cancelled&) {
    Application.UI().ReportInterrupted();
    return Outcome::kCancelled;
  }
  if (interrupts.Interrupted()) {
    Application.UI().ReportInterrupted();
    return Outcome::kCancelled;
  }
  return finish();
}

}  // namespace lorvante
