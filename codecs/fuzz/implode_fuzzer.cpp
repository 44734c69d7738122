// Arbitrary bytes as an imploded entry (checks: fuzz_decoder.h). The first byte chooses the
// window and the number of trees (its low bits, as the entry's flags) and the entry's size.
#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/implode.h"
#include "codecs/zip_methods.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  namespace codecs = lorvante::codecs;
  const auto flags = static_cast<std::uint16_t>(
      data[0] & (codecs::kZipFlagImplodeLargeWindow | codecs::kZipFlagImplodeLiteralTree));
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << 9;
  return codecs::fuzz::FuzzDecoder(
      [&] { return codecs::MakeImplodeDecoder(uncompressed_size, flags); }, data + 1, size - 1);
}
