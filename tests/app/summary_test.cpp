// The word at the end of a conversion: sent once when the text was saved or the files extracted,
// naming the result and its folder; never after a failure, a cancelled dialog or a stopped run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/encrypt.h"
#include "tests/app/form_fixture.h"
#include "tests/support/zip_builder.h"
#include "ui/message_box.h"

namespace lorvante {
namespace {

constexpr time_t kArchived = 1700000000;

class Summary : public test::FormTest {
 protected:
  Summary() { mkdir(out.c_str(), 0755); }
  // The folder dialog moves the current directory into the scratch folder, which goes.
  ~Summary() override { (void)!chdir("/"); }

  void Click(const std::string& input) { MakeForm(input)->Button1->Click(); }

  std::string Bare(const std::string& text) {
    return Encrypted("jelentés.txt.des", GzipPayload(test::Bytes(text)), false);
  }
  std::string Tagged(const std::vector<test::ZipEntry>& entries) {
    return Encrypted("adatok.zip.des", test::MakeStoredArchive(entries), true);
  }

  const std::string out = dir / "kimenet";
};

TEST_F(Summary, SavedTextIsNamedWithItsFolder) {
  ui.AnswerSaveDialog(out + "/jelentés.txt");
  Click(Bare("első sor\n"));
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{});
  ASSERT_EQ(ui.notifications.size(), 1u);
  EXPECT_EQ(ui.notifications[0].summary, "LORVANTE");
  EXPECT_EQ(ui.notifications[0].body, "A szöveg mentve: " + out + "/jelentés.txt");
  EXPECT_EQ(ui.notifications[0].folder, out);
}

TEST_F(Summary, RelativeChoiceIsNamedInFull) {
  ASSERT_EQ(chdir(out.c_str()), 0);
  ui.AnswerSaveDialog("szöveg.txt");
  Click(Bare("x"));
  (void)!chdir("/");
  ASSERT_EQ(ui.notifications.size(), 1u);
  EXPECT_EQ(ui.notifications[0].body, "A szöveg mentve: " + out + "/szöveg.txt");
  EXPECT_EQ(ui.notifications[0].folder, out);
}

// Folders are made, not counted; a file kept because the one in place is newer is no file
// extracted.
TEST_F(Summary, ExtractedFilesAreCountedWithoutFoldersAndKeptFiles) {
  test::WriteText(out + "/kept.txt", "mine");
  const std::string input = Tagged({{"a.txt", "a", kArchived},
                                    {"sub/", "", kArchived},
                                    {"sub/b.txt", "b", kArchived},
                                    {"kept.txt", "archived", kArchived}});
  ui.AnswerFolderDialog(ScriptedUserInterface::ChooseFolder(out + "/"));
  Click(input);
  EXPECT_EQ(test::ReadText(out + "/kept.txt"), "mine");
  ASSERT_EQ(ui.notifications.size(), 1u);
  EXPECT_EQ(ui.notifications[0].body, "2 állomány kibontva ide: " + out);
  EXPECT_EQ(ui.notifications[0].folder, out);
}

TEST_F(Summary, NothingAfterAFailureOrACancel) {
  // cancelled save dialog
  ui.AnswerSaveDialog(std::nullopt);
  Click(Bare("x"));
  // cancelled folder picker
  ui.AnswerFolderDialog(ScriptedUserInterface::CancelFolder());
  Click(Tagged({{"a.txt", "a", kArchived}}));
  // a payload that is no gzip stream
  ui.AnswerSaveDialog(out + "/rossz.txt");
  Click(Encrypted("rossz.txt.des", test::Bytes("not a gzip stream at all"), false));
  // a file skipped for its damage
  auto archive = test::MakeStoredArchive(
      {{"good.txt", "good", kArchived}, {"bad.txt", "DAMAGED-PART", kArchived}});
  test::DamageAt(archive, "DAMAGED");
  ui.AnswerMessageBox(IDNO);
  ui.AnswerFolderDialog(ScriptedUserInterface::ChooseFolder(out));
  Click(Encrypted("bad.zip.des", archive, true));
  // a missing input
  Click(dir / "missing.des");
  EXPECT_EQ(ui.notifications.size(), 0u);
  EXPECT_GE(ui.MessageTexts().size(), 4u);
}

// Cancel pressed in the progress window stops the run: the user knows, nothing is announced.
TEST_F(Summary, NothingAfterTheRunWasStopped) {
  ui.on_process_messages = [this] { ui.PressProgressCancel(); };
  ui.AnswerFolderDialog(ScriptedUserInterface::ChooseFolder(out));
  Click(Tagged({{"a.txt", "a", kArchived}, {"b.txt", "b", kArchived}}));
  EXPECT_EQ(ui.notifications.size(), 0u);
}

}  // namespace
}  // namespace lorvante
