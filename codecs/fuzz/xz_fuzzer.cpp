// Arbitrary bytes as an XZ entry (checks: fuzz_decoder.h).
#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/xz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lorvante::codecs::fuzz::FuzzDecoder(lorvante::codecs::MakeXzDecoder, data, size);
}
