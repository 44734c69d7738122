#include "codecs/xz.h"

#include "codecs/lzma_stream.h"
#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

// liblzma's limit covers the decoder's whole allocation: the dictionary plus its probability
// tables and buffers, well under a mebibyte.
constexpr std::uint64_t kXzMemoryLimit = kMaxWindowBytes + (std::uint64_t{1} << 20);

// Stream padding comes in groups of this many null bytes.
constexpr std::uint64_t kStreamPaddingUnit = 4;

class XzDecoder final : public LzmaStreamDecoder {
 public:
  explicit XzDecoder(std::uint64_t uncompressed_size) : uncompressed_size_(uncompressed_size) {
    StartStream();
  }

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    if (failure_ != DecodeStatus::kOk) return {0, 0, failure_};
    DecodeStep step;
    for (;;) {
      if (between_streams_) {
        while (step.consumed < input.size() && input[step.consumed] == 0) {
          ++padding_;
          ++step.consumed;
        }
        if (step.consumed == input.size()) return step;  // padding so far: more may follow
        if (padding_ % kStreamPaddingUnit != 0) {
          step.status = failure_ = DecodeStatus::kDataError;
          return step;
        }
        StartStream();
        if (failure_ != DecodeStatus::kOk) {
          step.status = failure_;
          return step;
        }
      }
      const DecodeStep part =
          LzmaStreamDecoder::Decode(input.subspan(step.consumed), output.subspan(step.produced));
      step.consumed += part.consumed;
      step.produced += part.produced;
      produced_ += part.produced;
      if (part.status != DecodeStatus::kStreamEnd) {
        step.status = part.status;
        return step;
      }
      // A stream has ended: the entry ends with it once its size is complete (and stays ended:
      // the finished stream reports its end again).
      if (produced_ >= uncompressed_size_) {
        step.status = DecodeStatus::kStreamEnd;
        return step;
      }
      between_streams_ = true;
      padding_ = 0;
    }
  }

 private:
  void StartStream() {
    failure_ = StatusOf(lzma_stream_decoder(&stream_, kXzMemoryLimit, 0));
    ended_ = false;
    between_streams_ = false;
  }

  const std::uint64_t uncompressed_size_;
  std::uint64_t produced_ = 0;
  std::uint64_t padding_ = 0;  // null bytes since the last stream ended
  bool between_streams_ = false;
};

}  // namespace

std::unique_ptr<Decoder> MakeXzDecoder(std::uint64_t uncompressed_size) {
  return std::make_unique<XzDecoder>(uncompressed_size);
}

}  // namespace lorvante::codecs
