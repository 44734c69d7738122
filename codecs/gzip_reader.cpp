// The gzip reader: the magic, the header of each member, its deflate data through the decoder,
// its trailer, and what follows it, as a chain of phases driven by Read.
#include "codecs/gzip_reader.h"

#include <algorithm>
#include <cstring>

#include "codecs/inflater.h"

namespace lorvante::codecs {
namespace {

constexpr std::uint8_t kMagic1 = 0x1F;
constexpr std::uint8_t kMagic2 = 0x8B;
constexpr std::uint8_t kMethodDeflate = 8;
constexpr std::size_t kFixedHeaderSize = 10;  // magic, method, flags, time, extra flags, system
constexpr std::size_t kTrailerSize = 8;       // CRC-32 and length, little-endian

// Header flags.
constexpr std::uint8_t kFlagHeaderCrc = 0x02;
constexpr std::uint8_t kFlagExtra = 0x04;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagComment = 0x10;
constexpr std::uint8_t kFlagsReserved = 0xE0;

std::uint32_t Little16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}

std::uint32_t Little32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

const char* GzipStatusName(GzipStatus status) {
  switch (status) {
    case GzipStatus::kOk:
      return "ok";
    case GzipStatus::kEnd:
      return "end";
    case GzipStatus::kNotGzip:
      return "not gzip data";
    case GzipStatus::kBadHeader:
      return "bad header";
    case GzipStatus::kTruncated:
      return "truncated";
    case GzipStatus::kDataError:
      return "corrupt data";
    case GzipStatus::kCrcMismatch:
      return "CRC mismatch";
    case GzipStatus::kLengthMismatch:
      return "length mismatch";
    case GzipStatus::kReadError:
      return "read error";
    case GzipStatus::kMemoryError:
      return "out of memory";
  }
  return "?";
}

GzipReader::GzipReader(Source source, DecoderFactory make_decoder, std::size_t input_size)
    : source_(std::move(source)),
      make_decoder_(make_decoder != nullptr ? make_decoder : &MakeInflater),
      input_(input_size < kFixedHeaderSize ? kFixedHeaderSize : input_size) {}

GzipReader::~GzipReader() = default;

std::span<const std::uint8_t> GzipReader::Available() const {
  return std::span<const std::uint8_t>(input_).subspan(begin_, end_ - begin_);
}

// Why data that were needed are missing: the source failed, or it ended inside a member.
GzipStatus GzipReader::Shortage() const {
  return source_failed_ ? GzipStatus::kReadError : GzipStatus::kTruncated;
}

// Reads from the source until `count` unread bytes are buffered or the source ends or fails.
// `count` is at most the buffer's size.
bool GzipReader::Ensure(std::size_t count) {
  while (end_ - begin_ < count && !source_ended_ && !source_failed_) {
    if (begin_ != 0) {
      std::memmove(input_.data(), input_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    const std::ptrdiff_t n = source_(std::span<std::uint8_t>(input_).subspan(end_));
    if (n < 0) {
      source_failed_ = true;
    } else if (n == 0) {
      source_ended_ = true;
    } else {
      end_ += static_cast<std::size_t>(n);
    }
  }
  return end_ - begin_ >= count;
}

GzipStep GzipReader::Read(std::span<std::uint8_t> output) {
  GzipStep step;
  while (status_ == GzipStatus::kOk && step.produced < output.size()) {
    switch (phase_) {
      case Phase::kFirstMagic:
      case Phase::kNextMagic: {
        const bool have_two = Ensure(2);
        const auto data = Available();
        if (source_failed_) {
          status_ = GzipStatus::kReadError;
        } else if (have_two && data[0] == kMagic1 && data[1] == kMagic2) {
          phase_ = Phase::kHeader;
        } else {
          // Without the magic at the start the data are no gzip data; after a member, the rest
          // is filler and is not read any further.
          status_ = phase_ == Phase::kFirstMagic ? GzipStatus::kNotGzip : GzipStatus::kEnd;
          phase_ = Phase::kFinished;
        }
        break;
      }
      case Phase::kHeader:
        status_ = ReadHeader();
        if (status_ == GzipStatus::kOk) phase_ = Phase::kBody;
        break;
      case Phase::kBody:
        status_ = Inflate(output, step.produced);
        break;
      case Phase::kTrailer:
        status_ = ReadTrailer();
        if (status_ == GzipStatus::kOk) phase_ = Phase::kNextMagic;
        break;
      case Phase::kFinished:
        break;
    }
  }
  step.status = status_;
  return step;
}

// The fixed header, then the optional fields in their order: extra field, name, comment,
// header CRC (the low 16 bits of the CRC-32 of the header bytes before it).
GzipStatus GzipReader::ReadHeader() {
  if (!Ensure(kFixedHeaderSize)) return Shortage();
  const std::uint8_t* fixed = input_.data() + begin_;
  const std::uint8_t method = fixed[2];
  const std::uint8_t flags = fixed[3];
  if (method != kMethodDeflate || (flags & kFlagsReserved) != 0) return GzipStatus::kBadHeader;
  std::uint32_t header_crc = Crc32(0, {fixed, kFixedHeaderSize});
  begin_ += kFixedHeaderSize;

  GzipStatus status = GzipStatus::kOk;
  if ((flags & kFlagExtra) != 0) {
    if (!Ensure(2)) return Shortage();
    const std::size_t extra_size = Little16(input_.data() + begin_);
    status = SkipHeaderBytes(2 + extra_size, header_crc);
  }
  if (status == GzipStatus::kOk && (flags & kFlagName) != 0)
    status = SkipZeroTerminated(header_crc);
  if (status == GzipStatus::kOk && (flags & kFlagComment) != 0) {
    status = SkipZeroTerminated(header_crc);
  }
  if (status != GzipStatus::kOk) return status;
  if ((flags & kFlagHeaderCrc) != 0) {
    if (!Ensure(2)) return Shortage();
    if (Little16(input_.data() + begin_) != (header_crc & 0xFFFF)) return GzipStatus::kBadHeader;
    begin_ += 2;
  }

  decoder_ = make_decoder_();
  crc_ = 0;
  member_size_ = 0;
  return GzipStatus::kOk;
}

// Skips `count` header bytes, which may span several buffers, adding them to the header CRC.
GzipStatus GzipReader::SkipHeaderBytes(std::size_t count, std::uint32_t& header_crc) {
  while (count > 0) {
    if (!Ensure(1)) return Shortage();
    const auto data = Available().first(std::min(count, end_ - begin_));
    header_crc = Crc32(header_crc, data);
    begin_ += data.size();
    count -= data.size();
  }
  return GzipStatus::kOk;
}

// Skips a zero-terminated field of any length, the zero included, adding it to the header CRC.
GzipStatus GzipReader::SkipZeroTerminated(std::uint32_t& header_crc) {
  for (;;) {
    if (!Ensure(1)) return Shortage();
    const auto data = Available();
    const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data.data(), 0, data.size()));
    const std::size_t taken =
        zero != nullptr ? static_cast<std::size_t>(zero - data.data()) + 1 : data.size();
    header_crc = Crc32(header_crc, data.first(taken));
    begin_ += taken;
    if (zero != nullptr) return GzipStatus::kOk;
  }
}

// One call of the decoder on what is buffered, after reading more when all was used. The
// member's data are added to its CRC and length as they come. The data end inside the member
// only when the decoder, given all there is, has nothing more to give out.
GzipStatus GzipReader::Inflate(std::span<std::uint8_t> output, std::size_t& produced) {
  if (begin_ == end_) Ensure(1);
  const auto room = output.subspan(produced);
  const std::size_t available = end_ - begin_;
  const DecodeStep step = decoder_->Decode(Available(), room);
  begin_ += step.consumed;
  if (!crc_by_caller_) crc_ = Crc32(crc_, room.first(step.produced));
  member_size_ += step.produced;
  produced_ += step.produced;
  produced += step.produced;
  switch (step.status) {
    case DecodeStatus::kStreamEnd:
      decoder_.reset();
      phase_ = Phase::kTrailer;
      return GzipStatus::kOk;
    case DecodeStatus::kDataError:
      return GzipStatus::kDataError;
    case DecodeStatus::kMemoryError:
      return GzipStatus::kMemoryError;
    case DecodeStatus::kOk:
      break;
  }
  if (step.consumed == 0 && step.produced == 0) {
    if (available == 0) return Shortage();
    // The decoder wants more input at once than is buffered: read on after it.
    if (available == input_.size()) return GzipStatus::kDataError;
    if (!Ensure(available + 1)) return Shortage();
  }
  return GzipStatus::kOk;
}

GzipStatus GzipReader::ReadTrailer() {
  if (!Ensure(kTrailerSize)) {
    return Shortage();
  }
  const std::uint8_t* trailer = input_.data() + begin_;
  begin_ += kTrailerSize;
  if (crc_by_caller_) {
    member_ends_.push_back({produced_, Little32(trailer)});
  } else if (Little32(trailer) != crc_) {
    return GzipStatus::kCrcMismatch;
  }
  if (Little32(trailer + 4) != static_cast<std::uint32_t>(member_size_)) {
    return GzipStatus::kLengthMismatch;
  }
  return GzipStatus::kOk;
}

std::size_t GzipTailSize(std::size_t max_filler) {
  return kTrailerSize + max_filler;
}

std::uint64_t GzipTextSizeAtLeast(std::span<const std::uint8_t> tail, std::size_t max_filler) {
  if (tail.size() < kTrailerSize) return 0;
  constexpr std::size_t kLengthOffset = 4;  // the length follows the CRC-32 in the trailer
  std::uint64_t least = UINT64_MAX;
  const std::size_t ends = std::min(max_filler, tail.size() - kTrailerSize);
  for (std::size_t filler = 0; filler <= ends; ++filler) {
    const std::uint8_t* trailer = tail.data() + tail.size() - filler - kTrailerSize;
    least = std::min<std::uint64_t>(least, Little32(trailer + kLengthOffset));
  }
  return least;
}

}  // namespace lorvante::codecs
