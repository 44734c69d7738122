// DES (FIPS 46-3) in ECB mode: every 8-byte block on its own under one 64-bit key. The key is
// used as it is: parity bits are ignored and weak keys are not refused.
//
// Decryption runs through a bitsliced kernel (many blocks at once as boolean circuits over
// machine words, no key-dependent table lookups); runs shorter than a batch are padded into one,
// and very short runs go through the table-driven library routine, which is faster there.
// Encryption, off the hot path, always uses the library routine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "des/bitslice_keys.h"
#include "des/des_kernel.h"

namespace lorvante::des {

inline constexpr std::size_t kBlockSize = 8;
inline constexpr std::size_t kKeySize = 8;

// Runs of fewer blocks than this are decrypted by the table-driven routine instead of a padded
// batch of a bitsliced kernel.
inline constexpr std::size_t kMinPaddedBlocks = 16;

class EcbCipher {
 public:
  explicit EcbCipher(const std::uint8_t (&key)[kKeySize]);
  ~EcbCipher();
  EcbCipher(EcbCipher&&) noexcept;
  EcbCipher& operator=(EcbCipher&&) noexcept;

  // Decrypt or encrypt `blocks` blocks from `in` to `out`; `out` may equal `in`, other overlaps
  // are not allowed.
  void Decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;
  void Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;

  // Decrypt with the given kernel (the table-driven routine when this processor cannot run it).
  // For tests and measurements; Decrypt uses BestKernel().
  void DecryptWith(Kernel kernel, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t blocks) const;

 private:
  struct TableKey;  // the library routine's key schedule, kept out of this header
  std::unique_ptr<TableKey> table_key_;
  bitslice::RoundKeys round_keys_{};
};

}  // namespace lorvante::des
