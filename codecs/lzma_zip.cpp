#include "codecs/lzma_zip.h"

#include <algorithm>
#include <array>

#include "codecs/lzma_stream.h"
#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

constexpr std::size_t kVersionBytes = 2;
constexpr std::size_t kPropertiesSizeBytes = 2;
constexpr std::size_t kPropertiesBytes = 5;
constexpr std::size_t kHeaderBytes = kVersionBytes + kPropertiesSizeBytes + kPropertiesBytes;

// The first properties byte packs lc, lp and pb as (pb * 5 + lp) * 9 + lc.
constexpr unsigned kLcValues = 9;
constexpr unsigned kLpValues = 5;

class ZipLzmaDecoder final : public LzmaStreamDecoder {
 public:
  ZipLzmaDecoder(std::uint64_t uncompressed_size, bool end_marker)
      : uncompressed_size_(uncompressed_size), end_marker_(end_marker) {}

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    if (header_filled_ == kHeaderBytes) return DecodeData(input, output);
    // The header may come in pieces too.
    const std::size_t take = std::min(kHeaderBytes - header_filled_, input.size());
    std::copy_n(input.begin(), take, header_.begin() + header_filled_);
    header_filled_ += take;
    if (header_filled_ < kHeaderBytes) return {take, 0, DecodeStatus::kOk};
    failure_ = Start();
    DecodeStep step = DecodeData(input.subspan(take), output);
    step.consumed += take;
    return step;
  }

 private:
  DecodeStatus Start() {
    const unsigned properties_size = header_[2] | header_[3] << 8;
    if (properties_size != kPropertiesBytes) return DecodeStatus::kDataError;
    const std::uint8_t* properties = header_.data() + kVersionBytes + kPropertiesSizeBytes;
    lzma_options_lzma options{};
    unsigned packed = properties[0];
    options.lc = packed % kLcValues;
    packed /= kLcValues;
    options.lp = packed % kLpValues;
    options.pb = packed / kLpValues;
    const std::uint32_t dictionary = properties[1] | properties[2] << 8 | properties[3] << 16 |
                                     static_cast<std::uint32_t>(properties[4]) << 24;
    // Distances never reach before the start of the entry, so a dictionary larger than the entry
    // is never used; liblzma wants at least its minimum.
    const std::uint64_t needed = std::max<std::uint64_t>(
        std::min<std::uint64_t>(dictionary, uncompressed_size_), LZMA_DICT_SIZE_MIN);
    if (needed > kMaxWindowBytes) return DecodeStatus::kMemoryError;
    options.dict_size = static_cast<std::uint32_t>(needed);
    // With the marker the data say where they end; without it, the entry's size does.
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    const std::uint64_t size = end_marker_ ? UINT64_MAX : uncompressed_size_;
    options.ext_size_low = static_cast<std::uint32_t>(size);
    options.ext_size_high = static_cast<std::uint32_t>(size >> 32);

    const std::array<lzma_filter, 2> filters = {{
        {LZMA_FILTER_LZMA1EXT, &options},
        {LZMA_VLI_UNKNOWN, nullptr},
    }};
    return StatusOf(lzma_raw_decoder(&stream_, filters.data()));
  }

  // Without the marker flag, reaching the entry's size is the end. A marker written anyway is
  // taken with it; but liblzma refuses such a marker on its last byte when the size was reached
  // in an earlier call, before the marker had come whole. That is no damage: the entry was
  // complete before the marker began. Data that go on past the size in the call that reaches it
  // are still refused as longer than declared.
  DecodeStep DecodeData(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    const bool running = failure_ == DecodeStatus::kOk;
    const bool size_reached_before = produced_ == uncompressed_size_;
    DecodeStep step = LzmaStreamDecoder::Decode(input, output);
    produced_ += step.produced;
    if (running && !end_marker_ && size_reached_before && step.status == DecodeStatus::kDataError) {
      failure_ = DecodeStatus::kOk;
      ended_ = true;
      step.status = DecodeStatus::kStreamEnd;
    }
    return step;
  }

  const std::uint64_t uncompressed_size_;
  const bool end_marker_;
  std::uint64_t produced_ = 0;
  std::array<std::uint8_t, kHeaderBytes> header_{};
  std::size_t header_filled_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> MakeZipLzmaDecoder(std::uint64_t uncompressed_size, bool end_marker) {
  return std::make_unique<ZipLzmaDecoder>(uncompressed_size, end_marker);
}

}  // namespace lorvante::codecs
