// The text export: the save dialog asks for the output file, and the gzip payload in the
// temporary file is decompressed into it byte for byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "app/Unit1.h"
#include "app/messages.h"
#include "app/summary.h"
#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/paths.h"

namespace lorvante {
namespace {

constexpr unsigned kCopyBufferSize = 16384;
// A temporary path longer than this that cannot be opened is reported as too long.
constexpr std::size_t kGzipPathLimit = 240;
// zlib's own read buffer; the memory use stays the same for every file size.
constexpr unsigned kGzipReadBuffer = 65536;

// The temporary file opened for gzip reading. It is opened here and held with a shared lock for
// the whole export, so that it cannot be chosen as the output and emptied; zlib reads it through
// a duplicate of the descriptor, so the length of its path never matters to zlib.
class GzipSource {
 public:
  explicit GzipSource(const std::string& path) {
    try {
      file_.emplace(FileStream::OpenRead(path));
    } catch (const EFileError&) {
      // Without a descriptor a path this long could not be handed to the reader either.
      if (path.size() > kGzipPathLimit) TForm1::ShowMessage(messages::kGzipPathTooLong);
      return;
    }
    const int fd = fcntl(file_->Handle(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return;
    std::array<std::uint8_t, 2> magic{};
    is_gzip_ =
        pread(fd, magic.data(), magic.size(), 0) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    gz_ = gzdopen(fd, "r");
    if (gz_ == nullptr) {
      close(fd);
      return;
    }
    gzbuffer(gz_, kGzipReadBuffer);
  }
  ~GzipSource() { Close(); }
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  bool IsOpen() const { return gz_ != nullptr; }

  // Decompresses up to `size` bytes into `buffer`. Returns their number, 0 at the end of the
  // data, a negative value when the data are corrupt. zlib ends a stream that is cut short or
  // lacks its trailer with 0 and keeps the error for gzerror: that end counts as corrupt too.
  // Data without the gzip magic, which zlib would copy unchanged, are no gzip payload either.
  int Read(void* buffer, unsigned size) {
    if (!is_gzip_) return -1;
    const int n = gzread(gz_, buffer, size);
    if (n != 0) return n;
    int error = Z_OK;
    gzerror(gz_, &error);
    return error == Z_OK ? 0 : -1;
  }

  // Releases the gzip handle, then the file and its lock. Returns gzclose's result.
  int Close() {
    int result = Z_OK;
    if (gz_ != nullptr) result = gzclose(gz_);
    gz_ = nullptr;
    file_.reset();
    return result;
  }

 private:
  std::optional<FileStream> file_;
  gzFile gz_ = nullptr;
  bool is_gzip_ = false;
};

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

  std::array<std::uint8_t, kCopyBufferSize> buffer;
  for (;;) {
    const int n = source.Read(buffer.data(), kCopyBufferSize);
    if (n < 0) return false;  // corrupt data: the output keeps what was copied before
    if (n == 0) break;
    output->Write(buffer.data(), static_cast<std::size_t>(n));
  }
  if (source.Close() != Z_OK) return false;
  output->Commit();
  AnnounceTextSaved(SaveDialog->FileName);
  return true;
}

}  // namespace lorvante
