// Round keys of the bitsliced kernels: every subkey bit of every round as a mask word (all zeros
// or all ones), in the order the decryption uses them, with the inversions the gate circuits
// expect already applied. Built with shifts and masks only: no table is indexed by key bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lorvante::des::bitslice {

inline constexpr std::size_t kRounds = 16;
inline constexpr std::size_t kSubkeyBits = 48;

struct RoundKeys {
  std::uint64_t mask[kRounds][kSubkeyBits];
};

RoundKeys MakeDecryptKeys(const std::uint8_t (&key)[8]);

}  // namespace lorvante::des::bitslice
