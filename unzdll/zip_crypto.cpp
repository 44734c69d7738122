#include "unzdll/zip_crypto.h"

#include <array>

namespace unzdll {
namespace {

// The byte-wise CRC-32 table the cipher's key schedule runs on.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr std::uint32_t CrcByte(std::uint32_t crc, std::uint8_t byte) {
  return kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

ZipCrypto::ZipCrypto(std::string_view password) {
  for (const char c : password) Update(static_cast<std::uint8_t>(c));
}

void ZipCrypto::Update(std::uint8_t plain) {
  keys_[0] = CrcByte(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = CrcByte(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
}

std::uint8_t ZipCrypto::StreamByte() const {
  const std::uint32_t temp = (keys_[2] | 2) & 0xFFFF;
  return static_cast<std::uint8_t>((temp * (temp ^ 1)) >> 8);
}

void ZipCrypto::Decrypt(std::span<std::uint8_t> data) {
  for (std::uint8_t& byte : data) {
    byte = static_cast<std::uint8_t>(byte ^ StreamByte());
    Update(byte);
  }
}

bool ZipCrypto::CheckHeader(std::span<const std::uint8_t, kZipCryptoHeaderSize> header,
                            std::uint8_t check) {
  std::array<std::uint8_t, kZipCryptoHeaderSize> plain{};
  std::copy(header.begin(), header.end(), plain.begin());
  Decrypt(plain);
  return plain.back() == check;
}

}  // namespace unzdll
