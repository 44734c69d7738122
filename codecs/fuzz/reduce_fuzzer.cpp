// Arbitrary bytes as a reduced entry (checks: fuzz_decoder.h). The first byte chooses the
// compression factor (its low bits) and the entry's size.
#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/reduce.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  namespace codecs = lorvante::codecs;
  const unsigned factor = codecs::kReduceMinFactor + data[0] % codecs::kReduceMaxFactor;
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << 9;
  return codecs::fuzz::FuzzDecoder(
      [&] { return codecs::MakeReduceDecoder(uncompressed_size, factor); }, data + 1, size - 1);
}
