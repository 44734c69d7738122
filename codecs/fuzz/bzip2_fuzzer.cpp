// Arbitrary bytes as a bzip2 entry (checks: fuzz_decoder.h).
#include "codecs/bzip2.h"
#include "codecs/fuzz/fuzz_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lorvante::codecs::fuzz::FuzzDecoder(lorvante::codecs::MakeBzip2Decoder, data, size);
}
