// The encrypting side of the two ciphers of zip entries, written for the tests on their own
// (zlib's CRC table, Nettle's primitives): ZipCrypto and WinZip AES (AE-1, AE-2). Their output is
// checked against Debian's 7z, which must read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/zip_builder.h"

namespace unzdll::test {

// `payload` behind the 12-byte ZipCrypto header whose last byte is `check`, all encrypted.
std::vector<std::uint8_t> ZipCryptoEncrypt(const std::vector<std::uint8_t>& payload,
                                           const std::string& password, std::uint8_t check);

// Salt, password verifier, `payload` encrypted with AES-CTR (strength 1, 2, 3 for 128, 192,
// 256 bits), and the 10-byte HMAC-SHA1 of the encrypted bytes.
std::vector<std::uint8_t> AesEncrypt(const std::vector<std::uint8_t>& payload,
                                     const std::string& password, std::uint8_t strength);

// The 0x9901 extra field of an AES entry.
std::string AesExtraField(std::uint16_t version, std::uint8_t strength, std::uint16_t method);

enum class Encryption { kNone, kZipCrypto, kAe1, kAe2 };

// Encrypts `item` (whose `stored` bytes are its compressed payload and whose `data` is the plain
// content) with `password`: flags, method, extra fields and CRC as the writers set them.
void Encrypt(lorvante::test::ZipItem& item, Encryption how, const std::string& password);

}  // namespace unzdll::test
