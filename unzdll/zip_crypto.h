// The traditional PKWARE stream cipher of zip entries ("ZipCrypto"): three 32-bit keys
// updated by every plain byte, a 12-byte header in front of the data whose last byte checks the
// password.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace unzdll {

// The header in front of the encrypted data.
inline constexpr std::size_t kZipCryptoHeaderSize = 12;

class ZipCrypto {
 public:
  explicit ZipCrypto(std::string_view password);

  // Decrypts the header and compares its last byte with `check` (the CRC's high byte or, for an
  // entry with a data descriptor, the high byte of its MS-DOS time).
  bool CheckHeader(std::span<const std::uint8_t, kZipCryptoHeaderSize> header, std::uint8_t check);
  // Decrypts `data` in place.
  void Decrypt(std::span<std::uint8_t> data);

 private:
  void Update(std::uint8_t plain);
  std::uint8_t StreamByte() const;

  std::uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace unzdll
