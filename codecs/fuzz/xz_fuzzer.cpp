// Arbitrary bytes as an XZ entry (checks: fuzz_decoder.h). The first byte chooses the entry's
// size (up to 1 MiB), which decides whether another stream follows a finished one.
#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/xz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << 12;
  return lorvante::codecs::fuzz::FuzzDecoder(
      [&] { return lorvante::codecs::MakeXzDecoder(uncompressed_size); }, data + 1, size - 1);
}
