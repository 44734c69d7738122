// Reading the gzip payload for the text export: the file, the gzip reader over it, and the
// two-thread copy into the writer.
#include "app/gzip_source.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "app/block_pipeline.h"
#include "app/conversion_form.h"
#include "app/messages.h"
#include "codecs/gzip_reader.h"
#include "des/des_ecb.h"

namespace lorvante {
namespace {

// A temporary path longer than this that cannot be opened is reported as too long.
constexpr std::size_t kGzipPathLimit = 240;
// The payload is read in blocks of this size.
constexpr std::size_t kReadBlockSize = 1 << 20;

// The CRC-32 of the text, computed on the writing thread so that the inflating thread only
// inflates: the inflating side hands over where each member ends and the CRC its trailer
// declares; the writing side checks each member's data as they pass.
class MemberCheck {
 public:
  // Inflating side: the member ends found with the block about to be handed over.
  void Add(std::vector<codecs::GzipReader::MemberEnd> ends) {
    if (ends.empty()) return;
    const std::lock_guard lock(mutex_);
    ends_.insert(ends_.end(), ends.begin(), ends.end());
  }

  // Writing side: the next block of text. False when a member ending in it has another CRC.
  bool Pass(std::span<const std::uint8_t> text) {
    // A member may end at the very end of a block, heard of only with the next (even empty)
    // block, or hold no data at all: every end up to the end of this text is checked.
    for (;;) {
      const std::optional<codecs::GzipReader::MemberEnd> end = NextEndWithin(text.size());
      if (!end) {
        crc_ = codecs::Crc32(crc_, text);
        position_ += text.size();
        return true;
      }
      const auto part = static_cast<std::size_t>(end->position - position_);
      crc_ = codecs::Crc32(crc_, text.first(part));
      position_ += part;
      text = text.subspan(part);
      if (crc_ != end->crc) return false;
      crc_ = 0;
    }
  }

 private:
  // Takes the next member end within `size` bytes from here, if any.
  std::optional<codecs::GzipReader::MemberEnd> NextEndWithin(std::size_t size) {
    const std::lock_guard lock(mutex_);
    if (ends_.empty() || ends_.front().position > position_ + size) return std::nullopt;
    const codecs::GzipReader::MemberEnd end = ends_.front();
    ends_.pop_front();
    return end;
  }

  std::mutex mutex_;
  std::deque<codecs::GzipReader::MemberEnd> ends_;
  std::uint64_t position_ = 0;  // bytes of text checked so far
  std::uint32_t crc_ = 0;       // of the current member's text so far
};

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
  codecs::GzipReader reader(
      [this](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        const Result<std::size_t> read = file_->Read(buffer.data(), buffer.size());
        // An unreadable payload fails the export like corrupt data.
        return read ? static_cast<std::ptrdiff_t>(*read) : -1;
      },
      nullptr, kReadBlockSize);
  reader.LeaveCrcToCaller();
  MemberCheck check;
  struct CrcMismatch {};
  codecs::GzipStatus status = codecs::GzipStatus::kOk;
  try {
    RunBlockPipeline(
        kWriteBlockSize,
        [&](std::span<std::uint8_t> buffer) {
          const codecs::GzipStep step = reader.Read(buffer);
          check.Add(reader.TakeMemberEnds());
          status = step.status;  // read by the caller only after the last block
          return FilledBlock{step.produced, step.status != codecs::GzipStatus::kOk};
        },
        [&](std::span<const std::uint8_t> text) {
          write(text);
          if (!check.Pass(text)) throw CrcMismatch{};
        });
  } catch (const CrcMismatch&) {
    return false;  // as corrupt data
  }
  return status == codecs::GzipStatus::kEnd;
}

}  // namespace lorvante
