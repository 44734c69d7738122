// Encrypted entries: passwords from the call record, asked from the host, counted down,
// remembered; ZipCrypto and AES.
#include <zip.h>

#include <ostream>

#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;

struct LibzipCipher {
  const char* label;
  std::uint16_t method;
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const LibzipCipher& c, std::ostream* os) {
  *os << c.label;
}

class PasswordTest : public UnzTest, public ::testing::WithParamInterface<LibzipCipher> {
 protected:
  void SetUp() override {
    first_ = Data(70000, 11);
    second_ = Data(3000, 12);
    WriteLibzipArchive(
        archive(),
        {{.name = "one.bin", .data = first_, .encryption = GetParam().method, .password = "secret"},
         {.name = "two.bin",
          .data = second_,
          .encryption = GetParam().method,
          .password = "secret"}});
  }
  std::vector<int> Requests(const HostRun& run) const {
    std::vector<int> values;
    for (const Callback& call : run.Of(UNZ_ACTION_PASSWORD)) values.push_back(call.value);
    return values;
  }
  std::vector<std::uint8_t> first_, second_;
};

TEST_P(PasswordTest, PasswordOfTheCallRecordIsUsedWithoutAsking) {
  Script script;
  script.password = "secret";
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 2);
  EXPECT_TRUE(Requests(run).empty());
  EXPECT_EQ(ReadBytes(In("one.bin")), first_);
  EXPECT_EQ(ReadBytes(In("two.bin")), second_);
}

TEST_P(PasswordTest, AskedAgainAfterWrongAnswersAndRememberedForLaterEntries) {
  Script script;
  script.password = "not it";
  script.passwords = {"wrong", "also wrong", "secret"};
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 2) << run.Messages();
  EXPECT_EQ(Requests(run), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(run.Of(UNZ_ACTION_PASSWORD)[0].text, "one.bin");
  EXPECT_EQ(ReadBytes(In("one.bin")), first_);
  EXPECT_EQ(ReadBytes(In("two.bin")), second_);
  EXPECT_TRUE(run.Of(UNZ_ACTION_CRC_ERROR).empty());
  // Bytes read with a wrong password are not reported twice.
  std::int64_t reported = 0;
  for (const Callback& call : run.Of(UNZ_ACTION_PROGRESS)) reported += call.value;
  EXPECT_EQ(reported, static_cast<std::int64_t>(first_.size() + second_.size()));
}

TEST_P(PasswordTest, TriesUsedUpIsWrongPassword) {
  Script script;
  script.passwords = {"a", "b", "c", "d", "e", "f"};
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(Requests(run), (std::vector<int>{3, 2, 1, 3, 2, 1}));
  EXPECT_EQ(run.Skips(), (std::vector<int>{UNZ_SKIP_WRONG_PASSWORD, UNZ_SKIP_WRONG_PASSWORD}));
  EXPECT_TRUE(Tree(target()).empty());
}

TEST_P(PasswordTest, DeclinedIsNoPassword) {
  Script script;
  script.passwords = {"", "secret"};
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_NO_PASSWORD});
  EXPECT_EQ(Tree(target()), std::set<std::string>{"two.bin"});
}

TEST_P(PasswordTest, TestModeChecksEncryptedEntries) {
  Script script;
  script.mode = Script::Mode::kTest;
  script.password = "secret";
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 2);
  EXPECT_TRUE(Tree(target()).empty());
}

INSTANTIATE_TEST_SUITE_P(Ciphers, PasswordTest,
                         ::testing::Values(LibzipCipher{"ZipCrypto", ZIP_EM_TRAD_PKWARE},
                                           LibzipCipher{"Aes128", ZIP_EM_AES_128},
                                           LibzipCipher{"Aes256", ZIP_EM_AES_256}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.label);
                         });

// About one wrong ZipCrypto password in 256 passes the header check; the data or CRC error that
// follows must count as a wrong password, not as damage. Many wrong passwords are tried so
// that some pass the check.
TEST_F(UnzTest, ZipCryptoPasswordsPassingTheHeaderCheckCountAsWrong) {
  const auto data = Data(5000, 21);
  WriteLibzipArchive(archive(), {{.name = "z.bin",
                                  .data = data,
                                  .encryption = ZIP_EM_TRAD_PKWARE,
                                  .password = "right",
                                  .compression = 0}});
  int passed_check = 0;
  for (int i = 0; i < 500 && passed_check == 0; ++i) {
    Script script;
    script.mode = Script::Mode::kTest;
    script.password = nullptr;
    const std::string guess = "guess" + std::to_string(i);
    script.passwords = {guess + "a", guess + "b", guess + "c"};
    const HostRun run = Run(script);
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_WRONG_PASSWORD}) << run.Messages();
    ASSERT_TRUE(run.Of(UNZ_ACTION_CRC_ERROR).empty());
    if (!run.Of(UNZ_ACTION_PROGRESS).empty()) ++passed_check;
  }
  EXPECT_GT(passed_check, 0);
}

}  // namespace
}  // namespace unzdll::test
