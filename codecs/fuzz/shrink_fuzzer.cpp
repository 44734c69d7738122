// Arbitrary bytes as a shrunk entry (checks: fuzz_decoder.h). The first byte chooses the entry's
// size (up to 255 KiB).
#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/shrink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << 10;
  return lorvante::codecs::fuzz::FuzzDecoder(
      [&] { return lorvante::codecs::MakeShrinkDecoder(uncompressed_size); }, data + 1, size - 1);
}
