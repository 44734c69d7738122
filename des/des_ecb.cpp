#include "des/des_ecb.h"

namespace lorvante::des {

EcbCipher::EcbCipher(const std::uint8_t (&key)[kKeySize]) {
  // The result only tells whether the key is weak; the schedule is set up either way.
  des_set_key(&ctx_, key);
}

void EcbCipher::Decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
  if (blocks != 0) des_decrypt(&ctx_, blocks * kBlockSize, out, in);
}

void EcbCipher::Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
  if (blocks != 0) des_encrypt(&ctx_, blocks * kBlockSize, out, in);
}

}  // namespace lorvante::des
