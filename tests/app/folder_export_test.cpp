// The folder export of a zip payload, through the scripted front end and the real unzip library.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "tests/app/form_fixture.h"
#include "tests/support/zip_builder.h"
#include "ui/message_box.h"

namespace lorvante {
namespace {

using test::Bytes;
using Texts = std::vector<std::string>;

using test::kArchived;
using test::MakeStoredArchive;

void SetTime(const std::string& path, time_t when) {
  const utimbuf times{when, when};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

class FolderExport : public test::FormTest {
 protected:
  FolderExport() { mkdir(out.c_str(), 0755); }

  // Converts a tagged file holding `archive`, the folder dialog answered by `script`.
  Texts Convert(const std::vector<std::uint8_t>& archive,
                ScriptedUserInterface::FolderScript script) {
    const std::string input = Encrypted("data.zip.des", archive, true);
    ui.AnswerFolderDialog(std::move(script));
    auto form = MakeForm(input);
    form->Button1->Click();
    EXPECT_EQ(Application.TerminateRequests(), 1);
    return ui.MessageTexts();
  }

  const std::string out = dir / "out";
  test::ScopedCurrentDir cwd_;  // the extraction enters the chosen folder
};

TEST_F(FolderExport, ChosenFolderReceivesEveryFileWithProgress) {
  const std::string big(300000, 'x');
  const auto archive = MakeStoredArchive({{"readme.txt", "első sor\n", kArchived},
                                          {"sub/data.bin", big, kArchived},
                                          {"sub/deeper/empty.txt", "", kArchived}});
  EXPECT_EQ(Convert(archive, ScriptedUserInterface::ChooseFolder(out)), Texts{});
  EXPECT_EQ(test::ReadText(out + "/readme.txt"), "első sor\n");
  EXPECT_EQ(test::ReadText(out + "/sub/data.bin"), big);
  EXPECT_EQ(test::ReadText(out + "/sub/deeper/empty.txt"), "");
  // the folder picker opened where it should, and the progress window ran its course
  ASSERT_FALSE(ui.shown.empty());
  EXPECT_EQ(ui.shown.front().kind, ShownItem::Kind::kFolderDialog);
  ASSERT_GE(ui.progress_log.size(), 4u);
  EXPECT_EQ(ui.progress_log.front(), "show");
  EXPECT_EQ(ui.progress_log.back(), "free");
  EXPECT_NE(std::find(ui.progress_log.begin(), ui.progress_log.end(), "pos 65535"),
            ui.progress_log.end());
}

TEST_F(FolderExport, CancelledPickerEndsSilentlyWithNothingExtracted) {
  const auto archive = MakeStoredArchive({{"a.txt", "a", kArchived}});
  EXPECT_EQ(Convert(archive, ScriptedUserInterface::CancelFolder()), Texts{});
  EXPECT_TRUE(std::filesystem::is_empty(out));
  EXPECT_TRUE(ui.progress_log.empty());
}

// Existing files older than the archived copies are replaced, newer or equally old ones kept,
// and nobody is asked.
TEST_F(FolderExport, ExistingFilesAreReplacedOnlyWhenOlder) {
  const auto archive = MakeStoredArchive({{"old.txt", "archived", kArchived},
                                          {"new.txt", "archived", kArchived},
                                          {"same.txt", "archived", kArchived}});
  test::WriteText(out + "/old.txt", "mine");
  SetTime(out + "/old.txt", kArchived - 3600);
  test::WriteText(out + "/new.txt", "mine");
  SetTime(out + "/new.txt", kArchived + 3600);
  test::WriteText(out + "/same.txt", "mine");
  SetTime(out + "/same.txt", kArchived);
  EXPECT_EQ(Convert(archive, ScriptedUserInterface::ChooseFolder(out)), Texts{});
  EXPECT_EQ(test::ReadText(out + "/old.txt"), "archived");
  EXPECT_EQ(test::ReadText(out + "/new.txt"), "mine");
  EXPECT_EQ(test::ReadText(out + "/same.txt"), "mine");
  for (const auto& item : ui.shown) EXPECT_NE(item.kind, ShownItem::Kind::kMessageBox);
}

TEST_F(FolderExport, ArchiveWithoutEntriesSucceedsWithNothingExtracted) {
  const std::vector<std::uint8_t> empty = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0,
                                           0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0};
  // an empty archive does not pass the payload check (it starts with the end record)
  std::vector<std::uint8_t> payload = {0x50, 0x4B, 0x03, 0x04};
  payload.insert(payload.end(), empty.begin(), empty.end());
  EXPECT_EQ(Convert(payload, ScriptedUserInterface::ChooseFolder(out)), Texts{});
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(FolderExport, UnreadableArchiveShowsTheComponentsMessage) {
  std::vector<std::uint8_t> payload = {0x50, 0x4B, 0x03, 0x04};
  payload.resize(100, 0x20);
  const Texts texts = Convert(payload, ScriptedUserInterface::ChooseFolder(out));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("\"\nis not a valid Zip file."), std::string::npos) << texts[0];
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

// A file whose data is damaged: the component asks, the answer No discards it, and the driver
// reports the export as failed after the component's question.
TEST_F(FolderExport, FileSkippedWithAnErrorFailsTheExport) {
  auto archive = MakeStoredArchive(
      {{"good.txt", "good", kArchived}, {"bad.txt", "DAMAGED-PART-OF-THE-DATA", kArchived}});
  test::DamageAt(archive, "DAMAGED");
  ui.AnswerMessageBox(IDNO);
  const Texts texts = Convert(archive, ScriptedUserInterface::ChooseFolder(out));
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "\"bad.txt\" may be corrupted (CRC error).\nExtract this file anyway? ...");
  EXPECT_EQ(texts[1], messages::kExportFailed);
  EXPECT_EQ(test::ReadText(out + "/good.txt"), "good");
  EXPECT_FALSE(std::filesystem::exists(out + "/bad.txt"));
}

// A damaged file discarded in a folder of its own leaves no empty folder behind; the folder of
// a file that is extracted is made.
TEST_F(FolderExport, DiscardedFileLeavesNoEmptyFolder) {
  auto archive =
      MakeStoredArchive({{"docs/good.txt", "good", kArchived},
                         {"broken/deep/bad.txt", "DAMAGED-PART-OF-THE-DATA", kArchived}});
  test::DamageAt(archive, "DAMAGED");
  ui.AnswerMessageBox(IDNO);
  const Texts texts = Convert(archive, ScriptedUserInterface::ChooseFolder(out));
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], messages::kExportFailed);
  EXPECT_EQ(test::ReadText(out + "/docs/good.txt"), "good");
  EXPECT_FALSE(std::filesystem::exists(out + "/broken"));
}

// A choice that has only a network form that cannot be reached: the archive must not land in
// the temporary folder; the export fails openly.
TEST_F(FolderExport, NetworkOnlyChoiceThatCannotBeReachedFailsTheExport) {
  const auto archive = MakeStoredArchive({{"a.txt", "a", kArchived}});
  const Texts texts =
      Convert(archive, ScriptedUserInterface::ChooseFolder("//nowhere-server/share/x"));
  EXPECT_EQ(texts, Texts{messages::kExportFailed});
  EXPECT_FALSE(std::filesystem::exists(TempFolder() + "a.txt"));
}

// A network name is no local path: //tmp/... names no folder /tmp/... here. Read as a local path,
// the choice below would put the archive into `out`, a folder the user did not choose.
TEST_F(FolderExport, NetworkOnlyChoiceIsNotReadAsALocalPath) {
  const auto archive = MakeStoredArchive({{"a.txt", "a", kArchived}});
  const Texts texts = Convert(archive, ScriptedUserInterface::ChooseFolder("/" + out));
  EXPECT_EQ(texts, Texts{messages::kExportFailed});
  EXPECT_FALSE(std::filesystem::exists(out + "/a.txt"));
  EXPECT_FALSE(std::filesystem::exists(TempFolder() + "a.txt"));
}

// A choice with only its network form, on a share that is mounted: the files go to the folder the
// share is mounted at.
TEST_F(FolderExport, NetworkOnlyChoiceOnAMountedShareExtractsThere) {
  const auto archive = MakeStoredArchive({{"a.txt", "a", kArchived}});
  const std::string mount = dir / "mnt";
  mkdir(mount.c_str(), 0755);
  mkdir((mount + "/x").c_str(), 0755);
  const std::string input = Encrypted("data.zip.des", archive, true);
  ui.AnswerFolderDialog(ScriptedUserInterface::ChooseFolder("//server/share/x"));
  auto form = MakeForm(input);
  form->OpenDirectory->ReadMountTable = [mount] {
    return MountTable({{mount, "/", "cifs", "//server/share", 0, 50}});
  };
  form->Button1->Click();
  EXPECT_EQ(ui.MessageTexts(), Texts{});
  EXPECT_EQ(test::ReadText(mount + "/x/a.txt"), "a");
}

}  // namespace
}  // namespace lorvante
