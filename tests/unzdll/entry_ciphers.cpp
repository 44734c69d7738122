#include "tests/unzdll/entry_ciphers.h"

#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>
#include <zlib.h>

#include <algorithm>
#include <random>

namespace unzdll::test {
namespace {

class Keys {
 public:
  explicit Keys(const std::string& password) {
    for (const char c : password) Update(static_cast<std::uint8_t>(c));
  }
  std::uint8_t Encrypt(std::uint8_t plain) {
    const std::uint32_t t = (k_[2] | 2) & 0xFFFF;
    const auto cipher = static_cast<std::uint8_t>(plain ^ ((t * (t ^ 1)) >> 8));
    Update(plain);
    return cipher;
  }

 private:
  static std::uint32_t Crc(std::uint32_t crc, std::uint8_t b) {
    return static_cast<std::uint32_t>(get_crc_table()[(crc ^ b) & 0xFF]) ^ (crc >> 8);
  }
  void Update(std::uint8_t b) {
    k_[0] = Crc(k_[0], b);
    k_[1] = (k_[1] + (k_[0] & 0xFF)) * 134775813u + 1;
    k_[2] = Crc(k_[2], static_cast<std::uint8_t>(k_[1] >> 24));
  }
  std::uint32_t k_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace

std::vector<std::uint8_t> ZipCryptoEncrypt(const std::vector<std::uint8_t>& payload,
                                           const std::string& password, std::uint8_t check) {
  std::mt19937 random(7);
  // The 12-byte encryption header (random bytes, the check byte last), then the payload.
  std::vector<std::uint8_t> plain(12 + payload.size());
  for (std::size_t i = 0; i < 11; ++i) plain[i] = static_cast<std::uint8_t>(random());
  plain[11] = check;
  std::copy(payload.begin(), payload.end(), plain.begin() + 12);
  Keys keys(password);
  for (auto& b : plain) b = keys.Encrypt(b);
  return plain;
}

std::vector<std::uint8_t> AesEncrypt(const std::vector<std::uint8_t>& payload,
                                     const std::string& password, std::uint8_t strength) {
  const std::size_t key = 8 + 8 * strength;
  std::vector<std::uint8_t> out(key / 2);
  std::mt19937 random(strength);
  for (auto& b : out) b = static_cast<std::uint8_t>(random());
  std::vector<std::uint8_t> derived(2 * key + 2);
  pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const std::uint8_t*>(password.data()), 1000,
                   out.size(), out.data(), derived.size(), derived.data());
  out.push_back(derived[2 * key]);
  out.push_back(derived[2 * key + 1]);
  const std::size_t start = out.size();
  out.insert(out.end(), payload.begin(), payload.end());
  aes256_ctx c256;
  aes192_ctx c192;
  aes128_ctx c128;
  if (strength == 3) aes256_set_encrypt_key(&c256, derived.data());
  if (strength == 2) aes192_set_encrypt_key(&c192, derived.data());
  if (strength == 1) aes128_set_encrypt_key(&c128, derived.data());
  for (std::size_t i = 0; i < payload.size(); i += 16) {
    std::uint8_t block[16] = {};
    std::uint64_t counter = i / 16 + 1;
    for (int b = 0; b < 8; ++b) block[b] = static_cast<std::uint8_t>(counter >> (8 * b));
    if (strength == 3) aes256_encrypt(&c256, 16, block, block);
    if (strength == 2) aes192_encrypt(&c192, 16, block, block);
    if (strength == 1) aes128_encrypt(&c128, 16, block, block);
    for (std::size_t b = 0; b < 16 && i + b < payload.size(); ++b) out[start + i + b] ^= block[b];
  }
  hmac_sha1_ctx mac;
  hmac_sha1_set_key(&mac, key, derived.data() + key);
  hmac_sha1_update(&mac, payload.size(), out.data() + start);
  std::uint8_t code[10];
  hmac_sha1_digest(&mac, sizeof code, code);
  out.insert(out.end(), code, code + sizeof code);
  return out;
}

std::string AesExtraField(std::uint16_t version, std::uint8_t strength, std::uint16_t method) {
  std::vector<std::uint8_t> field;
  lorvante::test::PutLE(field, 0x9901, 2);
  lorvante::test::PutLE(field, 7, 2);
  lorvante::test::PutLE(field, version, 2);
  field.push_back('A');
  field.push_back('E');
  field.push_back(strength);
  lorvante::test::PutLE(field, method, 2);
  return std::string(field.begin(), field.end());
}

void Encrypt(lorvante::test::ZipItem& item, Encryption how, const std::string& password) {
  const std::uint32_t crc =
      item.crc.value_or(crc32(0, item.data.data(), static_cast<uInt>(item.data.size())));
  switch (how) {
    case Encryption::kNone:
      return;
    case Encryption::kZipCrypto:
      item.stored = ZipCryptoEncrypt(*item.stored, password, static_cast<std::uint8_t>(crc >> 24));
      break;
    case Encryption::kAe1:
    case Encryption::kAe2: {
      const std::uint16_t version = how == Encryption::kAe1 ? 1 : 2;
      const std::uint8_t strength = how == Encryption::kAe1 ? 1 : 3;
      item.stored = AesEncrypt(*item.stored, password, strength);
      item.extra = item.local_extra = AesExtraField(version, strength, item.method);
      item.method = 99;
      if (version == 2) item.crc = 0;  // AE-2 keeps no CRC
      break;
    }
  }
  item.flags |= 1;
}

}  // namespace unzdll::test
