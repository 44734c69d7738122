// A reader of gzip data (one member or several in a row), decompressing through a raw deflate
// decoder and checking each member's header, CRC-32 and length.
//
// What follows a member is read as the gz file interface of zlib reads it: another member when
// it starts with the gzip magic, otherwise filler that is ignored, however long it is (such as
// the block filler after the payload). Data that do not start with the magic are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "codecs/decoder.h"

namespace lorvante::codecs {

enum class GzipStatus {
  kOk,              // more may follow: call again
  kEnd,             // the data are complete
  kNotGzip,         // the data do not start with the gzip magic
  kBadHeader,       // a method other than deflate, reserved flags, or a wrong header CRC
  kTruncated,       // the data end inside a member
  kDataError,       // the compressed data are corrupt
  kCrcMismatch,     // a member's CRC-32 differs from its trailer
  kLengthMismatch,  // a member's length (modulo 2^32) differs from its trailer
  kReadError,       // the source failed
  kMemoryError,     // the decoder could not get its memory
};

// The status's name, for messages and test output.
const char* GzipStatusName(GzipStatus status);

struct GzipStep {
  std::size_t produced = 0;  // bytes placed in the output; valid also when status is an error
  GzipStatus status = GzipStatus::kOk;
};

class GzipReader {
 public:
  // Reads up to `buffer.size()` bytes into the buffer: their number, 0 at the end, -1 on error.
  using Source = std::function<std::ptrdiff_t(std::span<std::uint8_t> buffer)>;
  using DecoderFactory = std::unique_ptr<Decoder> (*)();

  static constexpr std::size_t kDefaultInputSize = 256 * 1024;

  // `make_decoder` makes the raw deflate decoder of each member (ISA-L's by default).
  explicit GzipReader(Source source, DecoderFactory make_decoder = nullptr,
                      std::size_t input_size = kDefaultInputSize);
  ~GzipReader();
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  // Decompresses into `output` until it is full, the data end or a fault is found. Once the
  // status is other than kOk, it stays so and nothing more is produced.
  GzipStep Read(std::span<std::uint8_t> output);

  // The end of a member whose CRC-32 is left to the caller: the number of bytes produced in all
  // up to its end, and the CRC-32 its trailer declares for its data.
  struct MemberEnd {
    std::uint64_t position = 0;
    std::uint32_t crc = 0;
  };
  // From now on the CRC-32 of the members' data is not computed here (their length still is
  // checked): each member's end is kept for TakeMemberEnds, so that the caller can check the
  // data where it uses them, on another thread.
  void LeaveCrcToCaller() { crc_by_caller_ = true; }
  // The member ends found since the last call, in order.
  std::vector<MemberEnd> TakeMemberEnds() { return std::exchange(member_ends_, {}); }

 private:
  enum class Phase { kFirstMagic, kNextMagic, kHeader, kBody, kTrailer, kFinished };

  bool Ensure(std::size_t count);
  GzipStatus Shortage() const;
  GzipStatus ReadHeader();
  GzipStatus SkipHeaderBytes(std::size_t count, std::uint32_t& header_crc);
  GzipStatus SkipZeroTerminated(std::uint32_t& header_crc);
  GzipStatus Inflate(std::span<std::uint8_t> output, std::size_t& produced);
  GzipStatus ReadTrailer();
  std::span<const std::uint8_t> Available() const;

  Source source_;
  DecoderFactory make_decoder_;
  std::vector<std::uint8_t> input_;
  std::size_t begin_ = 0;  // the unread bytes are input_[begin_, end_)
  std::size_t end_ = 0;
  bool source_ended_ = false;
  bool source_failed_ = false;

  Phase phase_ = Phase::kFirstMagic;
  GzipStatus status_ = GzipStatus::kOk;
  std::unique_ptr<Decoder> decoder_;
  std::uint32_t crc_ = 0;          // of the member's data so far
  std::uint64_t member_size_ = 0;  // bytes of the member's data so far
  bool crc_by_caller_ = false;
  std::uint64_t produced_ = 0;  // bytes of all members' data so far
  std::vector<MemberEnd> member_ends_;
};

// The text a gzip stream holds is at least this long, read from its last `tail` bytes (the last
// member's trailer, then up to `max_filler` bytes that follow the stream): the last member's
// length as its trailer records it (modulo 2^32, so never more than that member's true length),
// taken at its smallest over every place the trailer may end. 0 when `tail` is too short.
std::uint64_t GzipTextSizeAtLeast(std::span<const std::uint8_t> tail, std::size_t max_filler);
// The bytes GzipTextSizeAtLeast reads for a filler of at most `max_filler` bytes.
std::size_t GzipTailSize(std::size_t max_filler);

}  // namespace lorvante::codecs
