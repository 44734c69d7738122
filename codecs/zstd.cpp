#include "codecs/zstd.h"

#include <zstd.h>
#include <zstd_errors.h>

#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

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
      const std::size_t before = out.pos;
      const size_t ret = ZSTD_decompressStream(context_, &out, &in);
      if (ZSTD_isError(ret)) {
        status = failure_ = StatusOf(ret);
        break;
      }
      produced_ += out.pos - before;
      if (ret != 0) break;  // within a frame: it needs more input or more room
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
};

}  // namespace

std::unique_ptr<Decoder> MakeZstdDecoder(std::uint64_t uncompressed_size) {
  return std::make_unique<ZstdDecoder>(uncompressed_size);
}

}  // namespace lorvante::codecs
