// The copy of a gzip stream's text: a worker thread inflates the next block while the calling
// thread checks each member's CRC and writes one.
#include "app/gzip_copy.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "app/block_pipeline.h"
#include "codecs/gzip_reader.h"

namespace lorvante {
namespace {

// The payload is read in blocks of this size.
constexpr std::size_t kReadBlockSize = 1 << 20;
// A payload up to this size is read whole and decompressed on the calling thread, in pieces
// sized to it: for a short text a second thread costs more than it gains.
constexpr std::size_t kCallingThreadLimit = 256 * 1024;
// The text of such a payload is written in pieces of a few times its size, within these bounds.
constexpr std::size_t kShortWriteGrowth = 8;
constexpr std::size_t kShortWriteMin = 64 * 1024;

// How the payload of `size` bytes (negative: unknown) is read and its text handed over.
struct CopyPlan {
  std::size_t read_block = kReadBlockSize;
  std::size_t write_block = kGzipWriteBlockSize;
  PipelineMode mode = PipelineMode::kWorkerThread;
};

CopyPlan PlanCopy(std::int64_t size) {
  if (size < 0 || static_cast<std::uint64_t>(size) > kCallingThreadLimit) return {};
  const auto payload = static_cast<std::size_t>(size);
  return {payload + 1, std::clamp(payload * kShortWriteGrowth, kShortWriteMin, kGzipWriteBlockSize),
          PipelineMode::kCallingThread};
}

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

bool CopyGzipText(const std::function<std::ptrdiff_t(std::span<std::uint8_t>)>& read,
                  const std::function<void(std::span<const std::uint8_t>)>& write,
                  std::int64_t payload_size) {
  const CopyPlan plan = PlanCopy(payload_size);
  codecs::GzipReader reader(read, nullptr, plan.read_block);
  reader.LeaveCrcToCaller();
  MemberCheck check;
  struct CrcMismatch {};
  codecs::GzipStatus status = codecs::GzipStatus::kOk;
  try {
    RunBlockPipeline(
        plan.write_block,
        [&](std::span<std::uint8_t> buffer) {
          const codecs::GzipStep step = reader.Read(buffer);
          check.Add(reader.TakeMemberEnds());
          status = step.status;  // read by the caller only after the last block
          return FilledBlock{step.produced, step.status != codecs::GzipStatus::kOk};
        },
        [&](std::span<const std::uint8_t> text) {
          write(text);
          if (!check.Pass(text)) throw CrcMismatch{};
        },
        plan.mode);
  } catch (const CrcMismatch&) {
    return false;  // as corrupt data
  }
  return status == codecs::GzipStatus::kEnd;
}

}  // namespace lorvante
