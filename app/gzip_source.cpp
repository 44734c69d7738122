// Reading the gzip payload for the text export: the file, the gzip reader over it, and the
// two-thread copy into the writer.
#include "app/gzip_source.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "app/conversion_form.h"
#include "app/gzip_copy.h"
#include "app/messages.h"
#include "codecs/gzip_reader.h"
#include "des/des_ecb.h"

namespace lorvante {
namespace {

// A temporary path longer than this that cannot be opened is reported as too long.
constexpr std::size_t kGzipPathLimit = 240;

}  // namespace

GzipSource::GzipSource(const std::string& path) {
  Result<FileStream> file = FileStream::OpenRead(path);
  if (file) {
    file_.emplace(std::move(file).value());
  } else if (path.size() > kGzipPathLimit) {
    TForm1::ShowMessage(messages::kGzipPathTooLong);
  }
}

std::uint64_t GzipSource::TextSizeAtLeast() const {
  // The decryption leaves the filler of the last cipher block behind the payload.
  constexpr std::size_t kMaxFiller = des::kBlockSize - 1;
  if (!file_) return 0;
  const Result<std::int64_t> size = file_->Size();
  if (!size) return 0;
  std::uint8_t tail[32];
  static_assert(sizeof tail >= 8 + kMaxFiller);
  const std::size_t wanted =
      std::min<std::uint64_t>(codecs::GzipTailSize(kMaxFiller), static_cast<std::uint64_t>(*size));
  const ssize_t got =
      pread(file_->Handle(), tail, wanted, *size - static_cast<std::int64_t>(wanted));
  if (got != static_cast<ssize_t>(wanted)) return 0;
  return codecs::GzipTextSizeAtLeast({tail, wanted}, kMaxFiller);
}

bool GzipSource::CopyTo(const std::function<void(std::span<const std::uint8_t>)>& write) {
  const Result<std::int64_t> size = file_->Size();
  return CopyGzipText(
      [this](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        const Result<std::size_t> read = file_->Read(buffer.data(), buffer.size());
        // An unreadable payload fails the export like corrupt data.
        return read ? static_cast<std::ptrdiff_t>(*read) : -1;
      },
      write, size ? *size : -1);
}

}  // namespace lorvante
