// Arbitrary bytes as raw deflate to the ISA-L inflater (checks: fuzz_decoder.h), and against
// zlib's inflate: where zlib decodes a stream to its end, the inflater gives the same bytes and
// stops at the same place.
#include <cstdlib>

#include "codecs/fuzz/fuzz_decoder.h"
#include "codecs/inflater.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lorvante::codecs;
  fuzz::FuzzDecoder(MakeInflater, data, size);
  if (size < 2) return 0;
  const std::span<const std::uint8_t> stream(data + 2, size - 2);
  const auto whole = stream.size() + 1;
  const std::size_t room = std::size_t{64} << 10;
  auto reference = MakeZlibInflater();
  const fuzz::Outcome expected = fuzz::DecodeInPieces(*reference, stream, whole, room);
  if (expected.status != DecodeStatus::kStreamEnd || expected.limited) return 0;
  auto inflater = MakeInflater();
  const fuzz::Outcome got = fuzz::DecodeInPieces(*inflater, stream, whole, room);
  if (got.status != DecodeStatus::kStreamEnd || got.output != expected.output ||
      got.consumed != expected.consumed) {
    abort();
  }
  return 0;
}
