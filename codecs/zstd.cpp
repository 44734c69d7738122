#include "codecs/zstd.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <array>

#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

constexpr std::size_t kMagicBytes = 4;

class ZstdDecoder final : public Decoder {
 public:
  explicit ZstdDecoder(std::uint64_t uncompressed_size)
      : uncompressed_size_(uncompressed_size), context_(ZSTD_createDCtx()) {
    if (context_ == nullptr) {
      failure_ = DecodeStatus::kMemoryError;
      return;
    }
    const size_t ret = ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, kMaxWindowLog);
    if (ZSTD_isError(ret)) failure_ = StatusOf(ret);
  }
  ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }
  ZstdDecoder(const ZstdDecoder&) = delete;
  ZstdDecoder& operator=(const ZstdDecoder&) = delete;

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    if (failure_ != DecodeStatus::kOk) return {0, 0, failure_};
    if (ended_) return {0, 0, DecodeStatus::kStreamEnd};
    ZSTD_inBuffer in{input.data(), input.size(), 0};
    ZSTD_outBuffer out{output.data(), output.size(), 0};
    DecodeStatus status = DecodeStatus::kOk;
    // Frame after frame while the input lasts, until the entry's size is reached.
    for (;;) {
      if (at_frame_start_) {
        status = TakeMagic(in, out);
        if (status != DecodeStatus::kOk) {
          failure_ = status;
          break;
        }
        if (at_frame_start_) break;  // the magic is still incomplete
      }
      const std::size_t before = out.pos;
      const size_t ret = ZSTD_decompressStream(context_, &out, &in);
      if (ZSTD_isError(ret)) {
        status = failure_ = StatusOf(ret);
        break;
      }
      produced_ += out.pos - before;
      if (ret != 0) break;  // within a frame: it needs more input or more room
      at_frame_start_ = true;
      if (produced_ >= uncompressed_size_) {
        status = DecodeStatus::kStreamEnd;
        ended_ = true;
        break;
      }
      if (in.pos == in.size) break;
    }
    return {in.pos, out.pos, status};
  }

 private:
  // Only frames of the current format and skippable frames are taken: libzstd would also decode
  // frames of the format's early versions, but only when their header came in one piece. The
  // magic is checked whole, gathered from as many pieces as it comes in, and then handed on.
  DecodeStatus TakeMagic(ZSTD_inBuffer& in, ZSTD_outBuffer& out) {
    const auto* next = static_cast<const std::uint8_t*>(in.src) + in.pos;
    const std::size_t take = std::min(kMagicBytes - magic_filled_, in.size - in.pos);
    if (magic_filled_ == 0 && take == kMagicBytes) {
      if (!IsKnownMagic(next)) return DecodeStatus::kDataError;
      at_frame_start_ = false;
      return DecodeStatus::kOk;
    }
    std::copy_n(next, take, magic_.begin() + magic_filled_);
    magic_filled_ += take;
    in.pos += take;
    if (magic_filled_ < kMagicBytes) return DecodeStatus::kOk;
    magic_filled_ = 0;
    if (!IsKnownMagic(magic_.data())) return DecodeStatus::kDataError;
    at_frame_start_ = false;
    // The frame header is incomplete with its magic alone: libzstd keeps all of it.
    ZSTD_inBuffer magic{magic_.data(), magic_.size(), 0};
    const size_t ret = ZSTD_decompressStream(context_, &out, &magic);
    if (ZSTD_isError(ret)) return StatusOf(ret);
    return magic.pos == magic.size ? DecodeStatus::kOk : DecodeStatus::kDataError;
  }

  static bool IsKnownMagic(const std::uint8_t* bytes) {
    const std::uint32_t magic =
        bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return magic == ZSTD_MAGICNUMBER ||
           (magic & ZSTD_MAGIC_SKIPPABLE_MASK) == ZSTD_MAGIC_SKIPPABLE_START;
  }

  static DecodeStatus StatusOf(size_t ret) {
    switch (ZSTD_getErrorCode(ret)) {
      case ZSTD_error_memory_allocation:
      case ZSTD_error_frameParameter_windowTooLarge:
        return DecodeStatus::kMemoryError;
      default:
        return DecodeStatus::kDataError;
    }
  }

  const std::uint64_t uncompressed_size_;
  ZSTD_DCtx* const context_;
  std::uint64_t produced_ = 0;
  DecodeStatus failure_ = DecodeStatus::kOk;
  bool ended_ = false;
  bool at_frame_start_ = true;
  std::array<std::uint8_t, kMagicBytes> magic_{};
  std::size_t magic_filled_ = 0;  // bytes of a magic that came in pieces
};

}  // namespace

std::unique_ptr<Decoder> MakeZstdDecoder(std::uint64_t uncompressed_size) {
  return std::make_unique<ZstdDecoder>(uncompressed_size);
}

}  // namespace lorvante::codecs
