// A Decoder over a liblzma stream: the .xz container and raw LZMA1 both decode through it.
#pragma once

#include <lzma.h>

#include "codecs/decoder.h"

namespace lorvante::codecs {

class LzmaStreamDecoder : public Decoder {
 public:
  LzmaStreamDecoder() = default;
  ~LzmaStreamDecoder() override;
  LzmaStreamDecoder(const LzmaStreamDecoder&) = delete;
  LzmaStreamDecoder& operator=(const LzmaStreamDecoder&) = delete;

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override;

 protected:
  // The stream, to be set up by the derived class (lzma_stream_decoder, lzma_raw_decoder).
  lzma_stream stream_ = LZMA_STREAM_INIT;
  // An error of that set-up, or of an earlier call: every later call reports it.
  DecodeStatus failure_ = DecodeStatus::kOk;
  bool ended_ = false;

  // A status for what liblzma returned.
  static DecodeStatus StatusOf(lzma_ret ret);
};

}  // namespace lorvante::codecs
