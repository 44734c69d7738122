// The bitsliced batch kernels. Each decrypts exactly its batch of blocks from `in` to `out`;
// `out` may equal `in` (the whole batch is read before anything is written).
#pragma once

#include <cstddef>
#include <cstdint>

#include "des/bitslice_keys.h"

namespace lorvante::des::bitslice {

// 64 blocks in the 64 bits of a machine word; plain C++.
inline constexpr std::size_t kPortableBatch = 64;
void DecryptPortable(const RoundKeys& keys, const std::uint8_t* in, std::uint8_t* out);

// 256 blocks in the 256 bits of an AVX2 register. Only on a processor with AVX2.
inline constexpr std::size_t kAvx2Batch = 256;
void DecryptAvx2(const RoundKeys& keys, const std::uint8_t* in, std::uint8_t* out);

}  // namespace lorvante::des::bitslice
