// XZ (zip method 95): .xz streams, through liblzma.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of the .xz streams of one entry of `uncompressed_size` bytes, each stream's integrity
// check verified: a stream that ends before that many bytes came out is followed by another,
// after stream padding (null bytes in groups of four), as the format allows. A stream whose
// dictionary exceeds kMaxWindowBytes (window_limit.h) fails with kMemoryError.
std::unique_ptr<Decoder> MakeXzDecoder(std::uint64_t uncompressed_size);

}  // namespace lorvante::codecs
