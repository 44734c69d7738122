// Arbitrary bytes as a zip PPMd entry (checks: fuzz_decoder.h). The first byte gives the entry's
// size in KiB. The model's memory is held to 1 or 2 MiB (the lowest bit of the parameters' memory
// field is kept): fuzzed streams reach the paths of a full model within the output limit, and a
// run stays cheap.
#include <vector>

#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/ppmd.h"

namespace {

constexpr unsigned kKibShift = 10;
constexpr std::size_t kPiecesBytes = 2;        // FuzzDecoder's choice of pieces, before the stream
constexpr std::uint8_t kLowByteKeeps = 0x1F;   // the order, the memory's lowest bit
constexpr std::uint8_t kHighByteKeeps = 0xF0;  // the restoration

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << kKibShift;
  std::vector<std::uint8_t> input(data + 1, data + size);
  if (input.size() >= kPiecesBytes + 2) {
    input[kPiecesBytes] &= kLowByteKeeps;
    input[kPiecesBytes + 1] &= kHighByteKeeps;
  }
  return lorvante::codecs::fuzz::FuzzDecoder(
      [&] { return lorvante::codecs::MakePpmdDecoder(uncompressed_size); }, input.data(),
      input.size());
}
