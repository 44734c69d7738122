// Arbitrary bytes as a zip LZMA entry (checks: fuzz_decoder.h). The first byte chooses the end
// marker flag and the entry's size (up to 1 MiB).
#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/lzma_zip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool end_marker = (data[0] & 1) != 0;
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << 12;
  return lorvante::codecs::fuzz::FuzzDecoder(
      [&] { return lorvante::codecs::MakeZipLzmaDecoder(uncompressed_size, end_marker); }, data + 1,
      size - 1);
}
