#include "des/bitslice_keys.h"

#include "des/bitslice_circuit.h"

namespace lorvante::des::bitslice {

RoundKeys MakeDecryptKeys(const std::uint8_t (&key)[8]) {
  std::uint64_t word = 0;
  for (int i = 7; i >= 0; --i) word = (word << 8) | key[i];
  RoundKeys keys{};
  for (std::size_t r = 0; r < kRounds; ++r) {
    for (std::size_t j = 0; j < kSubkeyBits; ++j) {
      const unsigned entry = kDecryptKeyBits[r][j];
      const std::uint64_t bit = (word >> (entry & 63u)) & 1u;
      const std::uint64_t invert = 0 - static_cast<std::uint64_t>(entry >> 7);
      keys.mask[r][j] = (0 - bit) ^ invert;
    }
  }
  return keys;
}

}  // namespace lorvante::des::bitslice
