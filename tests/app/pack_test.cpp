// The companion encryptor lorvante-pack, run as a program: what it writes converts back, and it
// refuses what it cannot pack.
#include <gtest/gtest.h>

#include "tests/app/form_fixture.h"

namespace lorvante {
namespace {

using test::Bytes;
using test::ReadBytes;
using ByteVector = std::vector<std::uint8_t>;

class Pack : public test::FormTest {
 protected:
  test::RunResult RunPack(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {test::BinDir() + "/lorvante-pack"};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::Run(argv);
  }

  // Decrypts `file` as the program does; returns the payload, or nothing when it fails.
  std::optional<ByteVector> Decrypted(const std::string& file, bool* tagged) {
    auto form = MakeForm(file);
    const std::string temp = TempFolder() + "payload";
    if (!form->DecryptInput(file, temp, form->BuildKey())) return std::nullopt;
    *tagged = form->IsZipPayload;
    return ReadBytes(temp);
  }

  // Converts `file` with the save dialog answering `output`; returns the messages shown.
  std::vector<std::string> Convert(const std::string& file, const std::string& output) {
    ui.AnswerSaveDialog(output);
    auto form = MakeForm(file);
    form->Button1->Click();
    return ui.MessageTexts();
  }
};

TEST_F(Pack, TextFileConvertsBackUnchanged) {
  const ByteVector text = test::RandomBytes(70000, 21);
  test::WriteBytes(dir / "text", text);
  const auto run = RunPack({"--text", dir / "text", dir / "text.des"});
  ASSERT_EQ(run.status, 0) << run.err;
  bool tagged = true;
  const auto payload = Decrypted(dir / "text.des", &tagged);
  ASSERT_TRUE(payload.has_value());
  EXPECT_FALSE(tagged);
  EXPECT_EQ(payload->size() % 8, 0u);
  EXPECT_EQ(Convert(dir / "text.des", dir / "back.txt"), std::vector<std::string>{});
  EXPECT_EQ(ReadBytes(dir / "back.txt"), text);
}

TEST_F(Pack, ZipArchiveBecomesATaggedFileFilledWithZeros) {
  const ByteVector archive = Bytes("PK\3\4 the rest of an archive (13)");
  test::WriteBytes(dir / "a.zip", archive);
  const auto run = RunPack({"--zip", dir / "a.zip", dir / "a.des"});
  ASSERT_EQ(run.status, 0) << run.err;
  const ByteVector file = ReadBytes(dir / "a.des");
  EXPECT_EQ(std::string(file.begin(), file.begin() + 10), "DESM4G!C11");
  bool tagged = false;
  const auto payload = Decrypted(dir / "a.des", &tagged);
  ASSERT_TRUE(payload.has_value());
  EXPECT_TRUE(tagged);
  ByteVector expected = archive;
  expected.resize((archive.size() + 7) / 8 * 8, 0);
  EXPECT_EQ(*payload, expected);
}

TEST_F(Pack, WhatCannotBePackedIsRefused) {
  test::WriteText(dir / "not.zip", "plain text");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string error;  // part of the error output
  };
  const Case cases[] = {
      {{}, 2, "usage:"},
      {{"--gzip", dir / "not.zip", dir / "out"}, 2, "usage:"},
      {{"--text", dir / "not.zip"}, 2, "usage:"},
      {{"--text", dir / "missing", dir / "out"},
       1,
       "Cannot open file \"" + dir / "missing" + "\". No such file or directory"},
      {{"--zip", dir / "not.zip", dir / "out"}, 1, "does not begin with a zip local file header"},
      {{"--text", dir / "not.zip", dir / "no-folder/out"}, 1, "Cannot create file"},
  };
  for (const auto& c : cases) {
    const auto run = RunPack(c.args);
    EXPECT_EQ(run.status, c.status) << c.error;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

// The bundled sample is exactly what the encryptor makes of its plain text (code page 1250),
// and it converts back to those bytes.
TEST_F(Pack, TheBundledSampleIsItsPlainTextPacked) {
  const std::string examples = LORVANTE_SOURCE_DIR "/examples";
  const auto run = RunPack({"--text", examples + "/jelentes.cp1250.txt", dir / "sample.des"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir / "sample.des"), ReadBytes(examples + "/jelentes.txt.des"));
  EXPECT_EQ(Convert(examples + "/jelentes.txt.des", dir / "jelentes.txt"),
            std::vector<std::string>{});
  const ByteVector text = ReadBytes(dir / "jelentes.txt");
  EXPECT_EQ(text, ReadBytes(examples + "/jelentes.cp1250.txt"));
  EXPECT_NE(std::find(text.begin(), text.end(), 0xFB), text.end());  // ű in code page 1250
}

}  // namespace
}  // namespace lorvante
