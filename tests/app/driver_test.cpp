// The conversion driver: what the user sees for every outcome, in order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error_texts.h"
#include "tests/app/form_fixture.h"

namespace lorvante {
namespace {

using test::Bytes;
using Texts = std::vector<std::string>;

class Driver : public test::FormTest {
 protected:
  // Runs the conversion as the program does and returns the message texts shown.
  Texts Convert(std::optional<std::string> argument) {
    auto form = MakeForm(argument);
    if (customise) customise(*form);
    form->Button1->Click();
    EXPECT_EQ(Application.TerminateRequests(), 1);
    for (const auto& item : ui.shown) {
      if (item.kind == ShownItem::Kind::kMessageBox) {
        EXPECT_EQ(item.caption, "LORVANTE");
        EXPECT_EQ(item.style, 0u);  // OK, no icon
      }
    }
    return ui.MessageTexts();
  }

  std::function<void(TForm1&)> customise;
};

TEST_F(Driver, NoArgumentCannotOpenTheEmptyPath) {
  EXPECT_EQ(Convert(std::nullopt), Texts{"Cannot open file \"\". No such file or directory"});
}

TEST_F(Driver, MissingInputShowsTheOpenErrorWithTheFullPath) {
  const test::ScopedCurrentDir in_dir(dir.path());
  EXPECT_EQ(Convert("missing.des"), Texts{"Cannot open file \"" + dir.path() +
                                          "/missing.des\". No such file or directory"});
}

TEST_F(Driver, InputShorterThanTheTag) {
  test::WriteText(dir / "short", "123456789");
  EXPECT_EQ(Convert(dir / "short"), Texts{"Stream read error"});
}

// A folder, a FIFO or a device is refused at once instead of hanging or filling the disk.
TEST_F(Driver, InputThatIsNoRegularFileIsRefused) {
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
  const std::pair<std::string, std::string> cases[] = {
      {dir / "fifo", "Not a regular file."},
      {dir / "folder", "Is a directory"},
      {"/dev/zero", "Not a regular file."},
  };
  for (const auto& [path, reason] : cases) {
    ui.shown.clear();
    Application.ResetTerminate();
    EXPECT_EQ(Convert(path), Texts{"Cannot open file \"" + path + "\". " + reason});
  }
}

// A cipher service that fails at one step.
class FailingCipher : public DesDecryptService {
 public:
  explicit FailingCipher(int step) : step_(step) {}
  std::uint32_t AcquireContext() override { return step_ == 0 ? 0x80090016 : 0; }
  std::uint32_t ImportKey(std::string_view) override { return step_ == 1 ? 0x80090003u : 0u; }
  std::uint32_t SetModeEcb() override { return step_ == 2 ? 0x80090008u : 0u; }
  std::uint32_t Decrypt(std::uint8_t*, std::size_t) override { return step_ == 3 ? 5 : 0; }
  void ReleaseContext() override {}

 private:
  int step_;
};

TEST_F(Driver, EveryCipherFailureIsShownThenTheDecryptionMessage) {
  const std::string input = Encrypted("in.txt.des", GzipPayload(Bytes("text")), false);
  const std::string texts[] = {
      "CryptAcquireContext: ErrorCode: 0x80090016 - ",
      "CryptImportKey: ErrorCode: 0x80090003 - Bad Key.",
      "CryptSetKeyParam: ErrorCode: 0x80090008 - Invalid algorithm specified.",
      "CryptDecrypt: ErrorCode: 0x05 - Input/output error"};
  for (int step = 0; step < 4; ++step) {
    ui.shown.clear();
    Application.ResetTerminate();
    customise = [step](TForm1& form) {
      form.MakeCipher = [step] { return std::make_unique<FailingCipher>(step); };
    };
    EXPECT_EQ(Convert(input), (Texts{texts[step], messages::kDecryptFailed}));
  }
}

TEST_F(Driver, PayloadCheckFailureShowsOnlyTheDecryptionMessage) {
  const std::string input = Encrypted("in.des", Bytes("PK\3\4 but no tag"), false);
  EXPECT_EQ(Convert(input), Texts{messages::kDecryptFailed});
}

// Each run decrypts into a fresh folder of its own: an input lying in the private temporary
// folder under the payload's old shared name, or a link planted there, is never written; the
// conversion goes ahead and nothing of the run is left.
TEST_F(Driver, NamesInThePrivateTemporaryFolderAreNeverWritten) {
  const std::string victim = dir / "victim";
  test::WriteText(victim, "keep me");
  const auto cipher = EncryptPayload(GzipPayload(Bytes("text")), false);
  const std::string input = TempFolder() + "plain";
  test::WriteBytes(input, cipher);
  ASSERT_EQ(symlink(victim.c_str(), (TempFolder() + "report.txt").c_str()), 0);
  for (const std::string& argument :
       {input, Encrypted("report.txt.des", GzipPayload(Bytes("text")), false)}) {
    ui.shown.clear();
    Application.ResetTerminate();
    ui.AnswerSaveDialog(dir / "out.txt");
    EXPECT_EQ(Convert(argument), Texts{}) << argument;
    EXPECT_EQ(test::ReadText(dir / "out.txt"), "text");
  }
  EXPECT_EQ(test::ReadBytes(input), cipher);
  EXPECT_EQ(test::ReadText(victim), "keep me");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(TempFolder()),
                          std::filesystem::directory_iterator()),
            2);  // "plain" and the link
}

}  // namespace
}  // namespace lorvante
