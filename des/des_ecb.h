// DES (FIPS 46-3) in ECB mode: every 8-byte block on its own under one 64-bit key. The key is
// used as it is: parity bits are ignored and weak keys are not refused.
#pragma once

#include <nettle/des.h>

#include <cstddef>
#include <cstdint>

namespace lorvante::des {

inline constexpr std::size_t kBlockSize = 8;
inline constexpr std::size_t kKeySize = 8;

class EcbCipher {
 public:
  explicit EcbCipher(const std::uint8_t (&key)[kKeySize]);

  // Decrypt or encrypt `blocks` blocks from `in` to `out`; `out` may equal `in`.
  void Decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;
  void Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;

 private:
  des_ctx ctx_{};
};

}  // namespace lorvante::des
