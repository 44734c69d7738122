#include "zipformat/end_record.h"

namespace lorvante::zipformat {

std::optional<EndRecordCandidate> FindEndRecord(std::span<const std::uint8_t> tail,
                                                const EndRecordCheck& accept) {
  if (tail.size() < kEndRecordSize) return std::nullopt;
  for (std::size_t offset = tail.size() - kEndRecordSize + 1; offset-- > 0;) {
    ByteCursor in(tail.subspan(offset, kEndRecordSize));
    EndRecordCandidate candidate{offset, ReadEndRecord(in)};
    if (candidate.record.signature != kEndRecordSignature) continue;
    if (!accept || accept(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace lorvante::zipformat
