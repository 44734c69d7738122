#include <gtest/gtest.h>

#include "format/payload_check.h"
#include "tests/app/form_fixture.h"

namespace lorvante {
namespace {

using test::Bytes;
using test::RandomBytes;
using test::ReadBytes;
using test::WriteBytes;

class Decrypt : public test::FormTest {};

std::vector<std::uint8_t> ZipLike(std::size_t size) {
  auto data = RandomBytes(size, 7);
  const std::uint8_t header[] = {0x50, 0x4B, 3, 4};
  std::copy(std::begin(header), std::end(header), data.begin());
  return data;
}

// Ciphertext lengths around the 4096-byte chunks and the 4 MiB blocks they are read in (each
// decrypted in shares on every core), including exact multiples that end with an empty read.
TEST_F(Decrypt, TheWholeCiphertextLandsInTheTemporaryFile) {
  auto form = MakeForm("x");
  constexpr std::size_t kMiB = 1 << 20;
  for (const std::size_t size :
       {std::size_t{8}, std::size_t{4088}, std::size_t{4096}, std::size_t{4104}, std::size_t{8192},
        std::size_t{12296}, kMiB, kMiB + 8, 2 * kMiB, 2 * kMiB + 4096 + 8, 4 * kMiB, 4 * kMiB + 8,
        9 * kMiB + 4096 + 8}) {
    const auto payload = ZipLike(size);
    const std::string input = Encrypted("in", payload, true);
    const std::string temp = TempFolder() + "in";
    EXPECT_TRUE(form->DecryptInput(input, temp, form->BuildKey())) << size;
    EXPECT_EQ(ReadBytes(temp), payload) << size;
  }
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(Decrypt, TaggedFileOfTenBytesHasAnEmptyPayloadThatFailsTheCheck) {
  auto form = MakeForm("x");
  const std::string input = dir / "tag";
  test::WriteText(input, "DESM4G!C11");
  const std::string temp = TempFolder() + "tag";
  EXPECT_FALSE(form->DecryptInput(input, temp, form->BuildKey()));
  EXPECT_TRUE(form->IsZipPayload);
  EXPECT_TRUE(ReadBytes(temp).empty());
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(Decrypt, LengthNotAMultipleOfEightFailsOnTheLastChunkKeepingEarlierOnes) {
  // Within the first block read, and after a whole block.
  for (const std::size_t whole : {std::size_t{8192}, std::size_t{(1 << 20) + 4096}}) {
    SCOPED_TRACE(whole);
    ui.shown.clear();
    auto form = MakeForm("x");
    auto cipher = EncryptPayload(ZipLike(whole), false);
    cipher.resize(whole + 5, 0xAA);
    WriteBytes(dir / "odd", cipher);
    const std::string temp = TempFolder() + "odd";
    EXPECT_FALSE(form->DecryptInput(dir / "odd", temp, form->BuildKey()));
    EXPECT_EQ(ui.MessageTexts(),
              std::vector<std::string>{"CryptDecrypt: ErrorCode: 0x80090005 - Bad Data."});
    const auto kept = ReadBytes(temp);
    EXPECT_EQ(kept, ZipLike(whole));
  }
}

TEST_F(Decrypt, PrivateFileModeAndAnOldLargerTemporaryFileIsTruncated) {
  auto form = MakeForm("x");
  const std::string temp = TempFolder() + "in";
  WriteBytes(temp, RandomBytes(100000, 1));
  const auto payload = ZipLike(64);
  EXPECT_TRUE(form->DecryptInput(Encrypted("in", payload, true), temp, form->BuildKey()));
  EXPECT_EQ(ReadBytes(temp), payload);
  struct stat st {};
  ASSERT_EQ(stat(temp.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A wrong kind of payload: the decryption itself succeeds, only the check fails.
TEST_F(Decrypt, KindsThatDoNotMatchTheTagFailTheCheckSilently) {
  auto form = MakeForm("x");
  const auto gzip = GzipPayload(Bytes("hello"));
  const std::string temp = TempFolder() + "t";
  EXPECT_FALSE(form->DecryptInput(Encrypted("a", gzip, true), temp, form->BuildKey()));
  EXPECT_FALSE(form->DecryptInput(Encrypted("b", ZipLike(64), false), temp, form->BuildKey()));
  EXPECT_TRUE(form->DecryptInput(Encrypted("c", gzip, false), temp, form->BuildKey()));
  EXPECT_TRUE(ui.shown.empty());
}

}  // namespace
}  // namespace lorvante
