// Zstandard (zip methods 93 and 20), through libzstd's streaming decoder.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of the Zstandard frames of one entry of `uncompressed_size` bytes: a frame that ends
// before that many bytes came out is followed by another (writers that work in parallel emit
// several). Content checksums in the frames are verified. A frame whose window exceeds
// kMaxWindowBytes (window_limit.h) fails with kMemoryError.
std::unique_ptr<Decoder> MakeZstdDecoder(std::uint64_t uncompressed_size);

}  // namespace lorvante::codecs
