#include <gtest/gtest.h>

#include <cstring>

#include "app/conversion_form.h"
#include "format/key.h"
#include "des/des_ecb.h"
#include "platform/error_texts.h"
#include "tests/support/des_vectors.h"
#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::RandomBytes;

// Published vectors, both ways through the kernel the program uses.
TEST(DesEcb, PublishedVectorsBothWays) {
  for (const test::DesKnownAnswer& v : test::kDesVectors) {
    const des::EcbCipher cipher(v.key);
    std::uint8_t out[8];
    cipher.Encrypt(v.plain, out, 1);
    EXPECT_EQ(0, std::memcmp(out, v.cipher, 8));
    cipher.Decrypt(v.cipher, out, 1);
    EXPECT_EQ(0, std::memcmp(out, v.plain, 8));
  }
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The program's key decrypts what a second, independent DES implementation encrypted.
TEST(DesEcb, AgreesWithOpenSsl) {
  test::TempDir dir;
  const std::string key = BuildKey();
  std::uint8_t key_bytes[8];
  std::memcpy(key_bytes, key.data(), 8);
  const des::EcbCipher cipher(key_bytes);
  for (const std::size_t size : {8u, 4096u, 4104u, 70000u}) {
    const auto plain = RandomBytes(size, static_cast<std::uint32_t>(size));
    test::WriteBytes(dir / "plain", plain);
    const auto run =
        test::Run({"/usr/bin/openssl", "enc", "-des-ecb", "-nopad", "-K", Hex(key), "-provider",
                   "legacy", "-provider", "default", "-in", dir / "plain", "-out", dir / "cipher"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto data = test::ReadBytes(dir / "cipher");
    ASSERT_EQ(data.size(), size);
    cipher.Decrypt(data.data(), data.data(), size / 8);
    EXPECT_EQ(data, plain) << size;
  }
}

TEST(DesKey, EightCharactersAndNoWeakOrSemiWeakKey) {
  const std::string key = BuildKey();
  ASSERT_EQ(key.size(), 8u);
  constexpr std::uint64_t kWeak[] = {
      0x0101010101010101, 0xFEFEFEFEFEFEFEFE, 0xE0E0E0E0F1F1F1F1, 0x1F1F1F1F0E0E0E0E,
      0x01FE01FE01FE01FE, 0xFE01FE01FE01FE01, 0x1FE01FE00EF10EF1, 0xE01FE01FF10EF10E,
      0x01E001E001F101F1, 0xE001E001F101F101, 0x1FFE1FFE0EFE0EFE, 0xFE1FFE1FFE0EFE0E,
      0x011F011F010E010E, 0x1F011F010E010E01, 0xE0FEE0FEF1FEF1FE, 0xFEE0FEE0FEF1FEF1};
  std::uint64_t value = 0;
  for (const unsigned char c : key) value = value << 8 | c;
  for (const std::uint64_t weak : kWeak) {
    // Parity bits play no part in DES.
    EXPECT_NE(value & 0xFEFEFEFEFEFEFEFE, weak & 0xFEFEFEFEFEFEFEFE);
  }
}

TEST(FormatSystemError, HexWithAtLeastTwoUpperCaseDigitsAndTheSystemText) {
  EXPECT_EQ(TForm1::FormatSystemError(5), "ErrorCode: 0x05 - Input/output error");
  EXPECT_EQ(TForm1::FormatSystemError(kErrorBadData), "ErrorCode: 0x80090005 - Bad Data.");
  EXPECT_EQ(TForm1::FormatSystemError(0xFFFFFFFF), "ErrorCode: 0xFFFFFFFF - ");
  EXPECT_EQ(TForm1::FormatSystemError(0x1AB), "ErrorCode: 0x1AB - ");
}

}  // namespace
}  // namespace lorvante
