// Reduce (zip methods 2 to 5, compression factors 1 to 4): bytes coded by their follower sets
// (for each byte, up to 32 bytes likely to come next, sent at the start), then expanded: the
// byte 144 starts a match whose length and distance share the next bytes, more bits going to
// the distance the larger the factor. There is no end code: the entry's size ends the data.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

inline constexpr unsigned kReduceMinFactor = 1;
inline constexpr unsigned kReduceMaxFactor = 4;

// A decoder of one reduced entry of `uncompressed_size` bytes with compression `factor` (1 to 4,
// the method less 1). It holds the follower sets and a window of 4 KiB.
std::unique_ptr<Decoder> MakeReduceDecoder(std::uint64_t uncompressed_size, unsigned factor);

}  // namespace lorvante::codecs
