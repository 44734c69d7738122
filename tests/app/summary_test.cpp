// The word at the end of a conversion: sent once when the text was saved or the files extracted,
// naming the result and its folder; never after a failure, a cancelled dialog or a stopped run.
#include "app/summary.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include "format/encrypt.h"
#include "tests/app/form_fixture.h"
#include "tests/support/zip_builder.h"
#include "ui/message_box.h"
#include "unzdll/unzdll_api.h"

namespace lorvante {
namespace {

using test::kArchived;

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
// extracted, and is counted as not extracted, with its reason.
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
  EXPECT_EQ(ui.notifications[0].body, "2 állomány kibontva ide: " + out +
                                          "; 1 nem lett kibontva (1 meglévő állomány megtartva)");
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

// An entry left out because no password was given is no failure: the run is announced, with
// the entries it did not extract counted by reason.
TEST_F(Summary, EntriesNotExtractedAreCountedByReason) {
  test::WriteText(out + "/régi.txt", "mine");
  test::WriteLibzipArchive(
      dir / "mixed.zip",
      {{"régi.txt", test::Bytes("archived"), 0, "", 8, kArchived},
       {"új.txt", test::Bytes("new"), 0, "", 8, kArchived},
       {"titok.txt", test::Bytes("secret"), ZIP_EM_TRAD_PKWARE, "jelszó", 8, kArchived}});
  ui.AnswerFolderDialog(ScriptedUserInterface::ChooseFolder(out));
  ui.AnswerInputBox(std::nullopt);  // no password
  ui.AnswerMessageBox(IDYES);       // go on with the other files
  Click(Encrypted("mixed.zip.des", test::ReadBytes(dir / "mixed.zip"), true));
  EXPECT_EQ(test::ReadText(out + "/új.txt"), "new");
  ASSERT_EQ(ui.notifications.size(), 1u);
  EXPECT_EQ(ui.notifications[0].body,
            "1 állomány kibontva ide: " + out +
                "; 2 nem lett kibontva (1 meglévő állomány megtartva, 1 jelszó nélkül)");
  // Each entry was named to the front end on its own.
  ASSERT_EQ(ui.skipped_entries.size(), 2u);
  EXPECT_EQ(ui.skipped_entries[0].entry, "régi.txt");
  EXPECT_EQ(ui.skipped_entries[1].reason, "not extracted: no password was given");
}

// The words for every reason, in the order of the codes; reasons without words of their own are
// counted together at the end.
TEST(NotExtractedText, CountsByReason) {
  EXPECT_EQ(NotExtractedText({}), "");
  EXPECT_EQ(NotExtractedText({{UNZ_SKIP_UNSUPPORTED, 0}}), "");
  EXPECT_EQ(NotExtractedText({{UNZ_SKIP_WRONG_PASSWORD, 1}, {UNZ_SKIP_UNSUPPORTED, 1}}),
            "; 2 nem lett kibontva (1 hibás jelszó, 1 nem támogatott tömörítési mód)");
  EXPECT_EQ(NotExtractedText({{UNZ_SKIP_KEPT_EXISTING, 1},
                              {UNZ_SKIP_NO_TARGET, 2},
                              {UNZ_SKIP_NO_PASSWORD, 3},
                              {UNZ_SKIP_WRONG_PASSWORD, 4},
                              {UNZ_SKIP_CRC_ERROR, 5},
                              {UNZ_SKIP_UNSUPPORTED, 6},
                              {UNZ_SKIP_CANNOT_WRITE, 7},
                              {UNZ_SKIP_DAMAGED, 8},
                              {UNZ_SKIP_UNSAFE, 9},
                              {UNZ_SKIP_STOPPED, 10},
                              {0, 1},
                              {200, 2}}),
            "; 58 nem lett kibontva (1 meglévő állomány megtartva, 2 nincs frissítendő "
            "állomány, 3 jelszó nélkül, 4 hibás jelszó, 5 CRC-hiba, 6 nem támogatott tömörítési "
            "mód, 7 írási hiba, 8 sérült adat, 9 nem biztonságos név, 10 megszakítva, 3 egyéb "
            "ok)");
}

}  // namespace
}  // namespace lorvante
