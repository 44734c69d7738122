#include "codecs/bzip2.h"

#include <bzlib.h>

#include <algorithm>
#include <limits>

namespace lorvante::codecs {
namespace {

// libbz2 counts its buffers in unsigned int: larger pieces are taken in parts.
constexpr std::size_t kMaxPiece = std::numeric_limits<unsigned int>::max();

class Bzip2Decoder final : public Decoder {
 public:
  Bzip2Decoder() {
    if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) {
      failure_ = DecodeStatus::kMemoryError;
      return;
    }
    initialised_ = true;
  }
  ~Bzip2Decoder() override {
    if (initialised_) BZ2_bzDecompressEnd(&stream_);
  }
  Bzip2Decoder(const Bzip2Decoder&) = delete;
  Bzip2Decoder& operator=(const Bzip2Decoder&) = delete;

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    if (failure_ != DecodeStatus::kOk) return {0, 0, failure_};
    if (ended_) return {0, 0, DecodeStatus::kStreamEnd};
    const unsigned in_size = static_cast<unsigned>(std::min(input.size(), kMaxPiece));
    const unsigned out_size = static_cast<unsigned>(std::min(output.size(), kMaxPiece));
    // libbz2 does not write through these pointers' input side; its interface is not const.
    stream_.next_in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(input.data()));
    stream_.avail_in = in_size;
    stream_.next_out = reinterpret_cast<char*>(output.data());
    stream_.avail_out = out_size;
    const int ret = in_size == 0 && out_size == 0 ? BZ_OK : BZ2_bzDecompress(&stream_);
    DecodeStep step{in_size - stream_.avail_in, out_size - stream_.avail_out, DecodeStatus::kOk};
    switch (ret) {
      case BZ_OK:
        break;
      case BZ_STREAM_END:
        ended_ = true;
        step.status = DecodeStatus::kStreamEnd;
        break;
      case BZ_MEM_ERROR:
        step.status = failure_ = DecodeStatus::kMemoryError;
        break;
      default:  // BZ_DATA_ERROR, BZ_DATA_ERROR_MAGIC, BZ_PARAM_ERROR
        step.status = failure_ = DecodeStatus::kDataError;
        break;
    }
    return step;
  }

 private:
  bz_stream stream_{};
  bool initialised_ = false;
  bool ended_ = false;
  DecodeStatus failure_ = DecodeStatus::kOk;
};

}  // namespace

std::unique_ptr<Decoder> MakeBzip2Decoder() {
  return std::make_unique<Bzip2Decoder>();
}

}  // namespace lorvante::codecs
