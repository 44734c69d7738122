// WinZip's AES encryption of zip entries (AE-1 and AE-2): a salt and a 2-byte password verifier
// in front of the data, keys from PBKDF2-HMAC-SHA1 (1000 iterations), AES in counter mode with a
// little-endian counter starting at 1, and a 10-byte HMAC-SHA1 of the encrypted data behind it.
#pragma once

#include <nettle/aes.h>
#include <nettle/hmac.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "zipformat/records.h"

namespace unzdll {

inline constexpr std::size_t kAesVerifierSize = 2;
inline constexpr std::size_t kAesAuthCodeSize = 10;

using lorvante::zipformat::AesField;

// Salt bytes of a strength (8, 12, 16).
std::size_t AesSaltSize(std::uint8_t strength);

class AesEntry {
 public:
  // Derives the keys from `password` and `salt`; false when the verifier differs (a wrong
  // password, or about one in 65536 of them passing it).
  bool Start(std::uint8_t strength, std::string_view password, std::span<const std::uint8_t> salt,
             std::span<const std::uint8_t, kAesVerifierSize> verifier);
  // Authenticates and decrypts `data` in place, in pieces of any size.
  void Decrypt(std::span<std::uint8_t> data);
  // Whether `code` is the authentication code of all the data decrypted.
  bool Authentic(std::span<const std::uint8_t, kAesAuthCodeSize> code);

 private:
  void Encrypt(std::size_t length, std::uint8_t* dst, const std::uint8_t* src);

  static constexpr std::size_t kBlock = 16;
  static constexpr std::size_t kStreamBlocks = 256;  // key stream made 4 KiB at a time

  std::uint8_t strength_ = 0;
  union {
    aes128_ctx aes128;
    aes192_ctx aes192;
    aes256_ctx aes256;
  } cipher_{};
  hmac_sha1_ctx mac_{};
  std::uint64_t counter_ = 0;
  std::uint8_t stream_[kBlock * kStreamBlocks] = {};
  std::size_t stream_used_ = sizeof stream_;
};

}  // namespace unzdll
