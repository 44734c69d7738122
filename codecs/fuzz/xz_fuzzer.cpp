// Arbitrary bytes as an XZ entry (checks: fuzz_decoder.h). The first byte chooses the entry's
// size (up to 1 MiB), which decides whether another stream follows a finished one. Against
// liblzma's own reading of concatenated streams: data it decodes whole (one stream or several,
// with stream padding) the decoder gives back the same way when told their size.
#include <lzma.h>

#include <cstdlib>
#include <vector>

#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/xz.h"

namespace {

// Below the decoder's own limit, so that whatever the reference decodes, the decoder may too.
constexpr std::uint64_t kReferenceMemoryLimit = std::uint64_t{32} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lorvante::codecs;
  if (size < 1) return 0;
  const std::uint64_t uncompressed_size = std::uint64_t{data[0]} << 12;
  fuzz::FuzzDecoder([&] { return MakeXzDecoder(uncompressed_size); }, data + 1, size - 1);
  if (size < 3) return 0;
  const std::span<const std::uint8_t> stream(data + 3, size - 3);
  std::vector<std::uint8_t> expected(fuzz::kOutputLimit);
  std::uint64_t memory_limit = kReferenceMemoryLimit;
  std::size_t in_pos = 0;
  std::size_t out_pos = 0;
  if (lzma_stream_buffer_decode(&memory_limit, LZMA_CONCATENATED, nullptr, stream.data(), &in_pos,
                                stream.size(), expected.data(), &out_pos,
                                expected.size()) != LZMA_OK) {
    return 0;
  }
  expected.resize(out_pos);
  auto decoder = MakeXzDecoder(out_pos);
  const fuzz::Outcome got =
      fuzz::DecodeInPieces(*decoder, stream, stream.size() + 1, std::size_t{64} << 10);
  if (got.status != DecodeStatus::kStreamEnd || got.output != expected) abort();
  return 0;
}
