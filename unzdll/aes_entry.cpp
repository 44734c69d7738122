#include "unzdll/aes_entry.h"

#include <nettle/memops.h>
#include <nettle/pbkdf2.h>

#include <algorithm>
#include <vector>

#include "platform/byte_cursor.h"

namespace unzdll {
namespace {

constexpr unsigned kPbkdf2Iterations = 1000;

std::size_t KeySize(std::uint8_t strength) {
  return 8 + 8 * static_cast<std::size_t>(strength);  // 16, 24, 32
}

}  // namespace

std::size_t AesSaltSize(std::uint8_t strength) {
  return KeySize(strength) / 2;
}

bool AesEntry::Start(std::uint8_t strength, std::string_view password,
                     std::span<const std::uint8_t> salt,
                     std::span<const std::uint8_t, kAesVerifierSize> verifier) {
  strength_ = strength;
  const std::size_t key_size = KeySize(strength);
  std::vector<std::uint8_t> derived(2 * key_size + kAesVerifierSize);
  pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const std::uint8_t*>(password.data()),
                   kPbkdf2Iterations, salt.size(), salt.data(), derived.size(), derived.data());
  const bool match = std::equal(verifier.begin(), verifier.end(), derived.begin() + 2 * key_size);
  if (match) {
    switch (strength) {
      case 1:
        aes128_set_encrypt_key(&cipher_.aes128, derived.data());
        break;
      case 2:
        aes192_set_encrypt_key(&cipher_.aes192, derived.data());
        break;
      default:
        aes256_set_encrypt_key(&cipher_.aes256, derived.data());
        break;
    }
    hmac_sha1_set_key(&mac_, key_size, derived.data() + key_size);
    counter_ = 0;
    stream_used_ = sizeof stream_;
  }
  std::fill(derived.begin(), derived.end(), 0);
  return match;
}

void AesEntry::Encrypt(std::size_t length, std::uint8_t* dst, const std::uint8_t* src) {
  switch (strength_) {
    case 1:
      aes128_encrypt(&cipher_.aes128, length, dst, src);
      break;
    case 2:
      aes192_encrypt(&cipher_.aes192, length, dst, src);
      break;
    default:
      aes256_encrypt(&cipher_.aes256, length, dst, src);
      break;
  }
}

void AesEntry::Decrypt(std::span<std::uint8_t> data) {
  hmac_sha1_update(&mac_, data.size(), data.data());
  std::size_t done = 0;
  while (done < data.size()) {
    if (stream_used_ == sizeof stream_) {
      // The counter blocks, little-endian from 1, encrypted together.
      for (std::size_t b = 0; b < kStreamBlocks; ++b) {
        std::uint64_t value = ++counter_;
        std::uint8_t* block = stream_ + b * kBlock;
        std::fill(block, block + kBlock, 0);
        for (std::size_t i = 0; i < 8; ++i, value >>= 8) block[i] = value & 0xFF;
      }
      Encrypt(sizeof stream_, stream_, stream_);
      stream_used_ = 0;
    }
    const std::size_t n = std::min(data.size() - done, sizeof stream_ - stream_used_);
    memxor(data.data() + done, stream_ + stream_used_, n);
    done += n;
    stream_used_ += n;
  }
}

bool AesEntry::Authentic(std::span<const std::uint8_t, kAesAuthCodeSize> code) {
  std::uint8_t digest[kAesAuthCodeSize];
  hmac_sha1_digest(&mac_, sizeof digest, digest);
  return memeql_sec(digest, code.data(), sizeof digest) != 0;
}

}  // namespace unzdll
