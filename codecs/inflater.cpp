// The raw deflate decoders behind the one decoder interface: ISA-L for speed, zlib as reference.
#include "codecs/inflater.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace lorvante::codecs {
namespace {

// Both libraries count in 32 bits: larger spans are handed over in pieces of this size.
constexpr std::size_t kMaxPiece = std::numeric_limits<std::uint32_t>::max() / 2;

// Whether another call of the library may get further: it made progress, and both input and
// room are left (a span larger than one piece, or a library that stopped early).
bool MayContinue(const DecodeStep& step, std::span<const std::uint8_t> input,
                 std::span<std::uint8_t> output, std::size_t consumed_now,
                 std::size_t produced_now) {
  return (consumed_now != 0 || produced_now != 0) && step.consumed < input.size() &&
         step.produced < output.size();
}

class IsalInflater final : public Decoder {
 public:
  IsalInflater() {
    std::memset(&state_, 0, sizeof state_);
    isal_inflate_init(&state_);
    state_.crc_flag = ISAL_DEFLATE;  // raw deflate, no checksum: the caller checks the CRC
  }

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    DecodeStep step;
    step.status = status_;
    while (step.status == DecodeStatus::kOk) {
      const std::size_t in = std::min(input.size() - step.consumed, kMaxPiece);
      const std::size_t out = std::min(output.size() - step.produced, kMaxPiece);
      // isal_inflate takes a pointer to mutable input but only reads it.
      state_.next_in = const_cast<std::uint8_t*>(input.data() + step.consumed);
      state_.avail_in = static_cast<std::uint32_t>(in);
      state_.next_out = output.data() + step.produced;
      state_.avail_out = static_cast<std::uint32_t>(out);
      const int rc = isal_inflate(&state_);
      if (rc != ISAL_DECOMP_OK) {
        // A fault in the last bytes of the input, which ISA-L reads through a buffer of its
        // own, leaves `avail_in` at 2^32 - 1: a count beyond what was offered means all of it.
        step.consumed += state_.avail_in <= in ? in - state_.avail_in : in;
        // What the failing call wrote is not handed on: a copy from before the stream's start
        // (an invalid distance) may have put other memory's bytes there.
        step.status = DecodeStatus::kDataError;
        break;
      }
      GiveBackWholeBytes(static_cast<std::uint32_t>(in - state_.avail_in));
      step.consumed += in - state_.avail_in;
      step.produced += out - state_.avail_out;
      if (state_.block_state == ISAL_BLOCK_FINISH) {
        // Finished and flushed; what was read ahead past the end has been handed back.
        step.status = DecodeStatus::kStreamEnd;
      } else if (!MayContinue(step, input, output, in - state_.avail_in, out - state_.avail_out)) {
        break;
      }
    }
    status_ = step.status;
    return step;
  }

 private:
  // ISA-L loads input ahead into its 64-bit bit buffer, also past the end of the stream. When
  // it stops with the output full or the stream ended, the whole bytes it holds are handed back
  // (they are the last ones it took in this call), so that no byte after the end is taken and
  // the caller may keep its input or drop it. When it stops for want of input, what it holds
  // is needed to go on and stays.
  void GiveBackWholeBytes(std::uint32_t taken) {
    const bool stopped_by_output = state_.avail_out == 0;
    const bool ended =
        state_.block_state == ISAL_BLOCK_INPUT_DONE || state_.block_state == ISAL_BLOCK_FINISH;
    if (!(stopped_by_output || ended) || state_.read_in_length < 8) return;
    const std::uint32_t back =
        std::min(static_cast<std::uint32_t>(state_.read_in_length) / 8, taken);
    if (back == 0) return;
    state_.next_in -= back;
    state_.avail_in += back;
    state_.read_in_length -= static_cast<std::int32_t>(8 * back);
    state_.read_in &= (std::uint64_t{1} << state_.read_in_length) - 1;
  }

  inflate_state state_;
  DecodeStatus status_ = DecodeStatus::kOk;  // kept once the stream has ended or failed
};

class ZlibInflater final : public Decoder {
 public:
  ZlibInflater() {
    // -15: raw deflate with the full 32 KiB window.
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~ZlibInflater() override { inflateEnd(&stream_); }
  ZlibInflater(const ZlibInflater&) = delete;
  ZlibInflater& operator=(const ZlibInflater&) = delete;

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    DecodeStep step;
    step.status = status_;
    while (step.status == DecodeStatus::kOk) {
      const std::size_t in = std::min(input.size() - step.consumed, kMaxPiece);
      const std::size_t out = std::min(output.size() - step.produced, kMaxPiece);
      stream_.next_in = const_cast<Bytef*>(input.data() + step.consumed);
      stream_.avail_in = static_cast<uInt>(in);
      stream_.next_out = output.data() + step.produced;
      stream_.avail_out = static_cast<uInt>(out);
      const int rc = inflate(&stream_, Z_NO_FLUSH);
      step.consumed += in - stream_.avail_in;
      step.produced += out - stream_.avail_out;
      if (rc == Z_STREAM_END) {
        step.status = DecodeStatus::kStreamEnd;
      } else if (rc == Z_MEM_ERROR) {
        step.status = DecodeStatus::kMemoryError;
      } else if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR) {
        step.status = DecodeStatus::kDataError;
      } else if (!MayContinue(step, input, output, in - stream_.avail_in,
                              out - stream_.avail_out)) {
        break;
      }
    }
    status_ = step.status;
    return step;
  }

 private:
  z_stream stream_{};
  DecodeStatus status_ = DecodeStatus::kOk;
};

}  // namespace

std::unique_ptr<Decoder> MakeInflater() {
  return std::make_unique<IsalInflater>();
}

std::unique_ptr<Decoder> MakeZlibInflater() {
  return std::make_unique<ZlibInflater>();
}

}  // namespace lorvante::codecs
