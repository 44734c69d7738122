// The text export: the save dialog asks for the output file, and the gzip payload in the
// temporary file is decompressed into it byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "app/Unit1.h"
#include "app/gzip_source.h"
#include "app/messages.h"
#include "app/summary.h"
#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/paths.h"

namespace lorvante {
namespace {

// Whether `a` and `b` name the same existing regular file (same device and inode).
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return !a.empty() && !b.empty() && stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
         S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The chosen output file. When it is the encrypted input itself, the text goes into a new file
// beside it that replaces the input only after a complete copy, so that a failure leaves the
// input as it was.
class TextOutput {
 public:
  TextOutput(const std::string& chosen, const std::string& input_file) {
    if (!SameFile(chosen, input_file)) {
      stream_.emplace(FileStream::Create(chosen));
      return;
    }
    char* resolved = realpath(chosen.c_str(), nullptr);  // the file itself, not a link to it
    if (resolved == nullptr) throw EFCreateError(chosen, static_cast<std::uint32_t>(errno));
    target_ = resolved;
    std::free(resolved);
    struct stat st {};
    if (stat(target_.c_str(), &st) != 0) {
      throw EFCreateError(chosen, static_cast<std::uint32_t>(errno));
    }
    std::string name = ExtractFilePath(target_) + ".lorvante-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) throw EFCreateError(chosen, static_cast<std::uint32_t>(errno));
    close(fd);
    replacement_ = name;
    try {
      FileStream::CreateOptions options;
      options.mode = 0600;
      options.no_follow = true;
      stream_.emplace(FileStream::Create(replacement_, options));
      fchmod(stream_->Handle(), st.st_mode & 07777);  // the replaced file's permissions
    } catch (const EFileError& error) {
      unlink(replacement_.c_str());
      throw EFCreateError(chosen, error.Code());
    }
  }
  ~TextOutput() {
    stream_.reset();
    if (!replacement_.empty() && !committed_) unlink(replacement_.c_str());
  }
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  // Writes all `size` bytes or raises "Stream write error".
  void Write(const void* data, std::size_t size) { stream_->WriteBuffer(data, size); }

  // Closes the file ("Stream write error" when that fails) and moves a replacement into place.
  void Commit() {
    stream_->Close();
    if (!replacement_.empty()) {
      if (rename(replacement_.c_str(), target_.c_str()) != 0) {
        throw EFCreateError(target_, static_cast<std::uint32_t>(errno));
      }
    }
    committed_ = true;
  }

 private:
  std::optional<FileStream> stream_;
  std::string target_;       // the input a replacement goes over
  std::string replacement_;  // the new file beside it; empty when the chosen file is written
  bool committed_ = false;
};

}  // namespace

bool TForm1::ExportText(const std::string& temp_file) {
  SaveDialog->InitialDir = GetDocumentsFolder();
  SaveDialog->FileName = OutputFileName;
  if (!SaveDialog->Execute()) return false;

  // Declared first, so that on every path the gzip handle is closed before the output.
  std::optional<TextOutput> output;
  GzipSource source(temp_file);
  // The output is created before the source is known to be open: a missing source leaves it
  // empty.
  output.emplace(SaveDialog->FileName, InputFileName);
  if (!source.IsOpen()) throw Exception(messages::kSourceNotFound);

  // Corrupt data fail the export; the output keeps what was copied before.
  if (!source.CopyTo(
          [&](std::span<const std::uint8_t> text) { output->Write(text.data(), text.size()); })) {
    return false;
  }
  source.Close();
  output->Commit();
  AnnounceTextSaved(SaveDialog->FileName);
  return true;
}

}  // namespace lorvante
