// Arbitrary bytes as a Deflate64 stream (checks: fuzz_decoder.h).
#include "codecs/deflate64.h"
#include "codecs/fuzz/fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lorvante::codecs::fuzz::FuzzDecoder(lorvante::codecs::MakeDeflate64Decoder, data, size);
}
