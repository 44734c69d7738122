// The answers of the command line in front of another front end: --batch gives every question
// its default answer without showing it, -o answers the save and folder dialogs, and what is
// left undone is still told through the front end behind.
#include "ui/preset/preset_ui.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/scripted/scripted_ui.h"

namespace lorvante {
namespace {

// Records what a folder dialog run reported.
class RecordingClient : public FolderDialogClient {
 public:
  void DialogShow() override { log.push_back("show"); }
  void DialogFolderChange(const std::string& folder) override { log.push_back("folder " + folder); }
  bool FolderListClick(const std::string&) override { return false; }
  bool CanChoose() const override { return true; }
  bool OkButtonRelease(const std::string& name_box) override {
    log.push_back("ok " + name_box);
    return true;
  }
  std::string FileNameText() const override { return {}; }
  void DialogClose() override { log.push_back("close"); }
  std::vector<std::string> log;
};

struct QuestionCase {
  const char* name;
  unsigned style;
  int answer;
};

void PrintTo(const QuestionCase& c, std::ostream* out) {
  *out << c.name;
}

class BatchQuestion : public testing::TestWithParam<QuestionCase> {};

TEST_P(BatchQuestion, TakesTheDefaultButtonWithoutShowingIt) {
  ScriptedUserInterface inner;  // would raise on a question it has no answer for
  PresetUserInterface ui(inner, {std::nullopt, false, true});
  EXPECT_EQ(ui.MessageBox("kérdés", "LORVANTE", GetParam().style), GetParam().answer);
  EXPECT_EQ(ui.DetailedMessageBox("kérdés", "részlet", "LORVANTE", GetParam().style),
            GetParam().answer);
  EXPECT_TRUE(inner.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Preset, BatchQuestion,
    testing::Values(
        // going on without a password skips the entry
        QuestionCase{"NoPasswordGoesOn", MB_YESNO | MB_ICONQUESTION, IDYES},
        // a damaged entry is not extracted
        QuestionCase{"DamagedEntryNo", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO},
        // a newer file is kept
        QuestionCase{"NewerFileKept", MB_YESNOCANCEL | MB_ICONSTOP | MB_DEFBUTTON2, IDNO},
        QuestionCase{"OkCancelSecond", MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        QuestionCase{"YesNoCancelThird", MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL}));

TEST(Preset, BatchStillShowsABoxThatAsksNothing) {
  ScriptedUserInterface inner;
  PresetUserInterface ui(inner, {std::nullopt, false, true});
  EXPECT_EQ(ui.DetailedMessageBox("Stream read error", "Állomány: /x.des", "LORVANTE", MB_OK),
            IDOK);
  ASSERT_EQ(inner.shown.size(), 1u);
  EXPECT_EQ(inner.shown[0].text, "Stream read error");
  EXPECT_EQ(inner.shown[0].details, "Állomány: /x.des");
}

TEST(Preset, BatchCancelsTheInputBox) {
  ScriptedUserInterface inner;
  PresetUserInterface ui(inner, {std::nullopt, false, true});
  EXPECT_EQ(ui.InputBox("LORVANTE", "Jelszó?", "", true), "");
  EXPECT_TRUE(inner.shown.empty());
}

TEST(Preset, WithoutAnswersEverythingIsAskedBehind) {
  ScriptedUserInterface inner;
  inner.AnswerMessageBox(IDNO);
  inner.AnswerSaveDialog("/x/y.txt");
  PresetUserInterface ui(inner, {});
  EXPECT_EQ(ui.MessageBox("kérdés", "LORVANTE", MB_YESNO), IDNO);
  EXPECT_EQ(ui.SaveDialog({}), "/x/y.txt");
  EXPECT_EQ(inner.shown.size(), 2u);
}

struct SaveCase {
  const char* name;
  const char* output;  // below the scratch folder; nullptr: none
  bool several;
  bool batch;
  const char* existing;      // a file made first, below the scratch folder; nullptr: none
  std::vector<int> answers;  // of the questions behind
  const char* chosen;        // below the scratch folder; nullptr: cancelled
  std::size_t boxes;         // shown behind
};

void PrintTo(const SaveCase& c, std::ostream* out) {
  *out << c.name;
}

class PresetSave : public testing::TestWithParam<SaveCase> {};

TEST_P(PresetSave, ChoosesTheFileTheAnswersName) {
  const SaveCase& c = GetParam();
  test::TempDir dir;
  std::filesystem::create_directory(dir / "docs");
  std::filesystem::create_directory(dir / "kesz");
  if (c.existing != nullptr) test::WriteText(dir / c.existing, "régi");
  ScriptedUserInterface inner;
  for (const int answer : c.answers) inner.AnswerMessageBox(answer);
  std::optional<std::string> output;
  if (c.output != nullptr) output = dir / c.output;
  PresetUserInterface ui(inner, {output, c.several, c.batch});
  SaveDialogRequest request;
  request.initial_dir = dir / "docs";
  request.file_name = dir / "be/jelentes.txt";
  request.overwrite_prompt = true;
  const auto chosen = ui.SaveDialog(request);
  if (c.chosen == nullptr)
    EXPECT_EQ(chosen, std::nullopt);
  else
    EXPECT_EQ(chosen, dir / c.chosen);
  EXPECT_EQ(inner.shown.size(), c.boxes);
  // The existing file is never touched here: the export replaces it, or nothing does.
  if (c.existing != nullptr) {
    EXPECT_EQ(test::ReadText(dir / c.existing), "régi");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Preset, PresetSave,
    testing::Values(
        SaveCase{"BatchTakesTheOffered", nullptr, false, true, nullptr, {}, "be/jelentes.txt", 0},
        SaveCase{"OutputFile", "ki.txt", false, false, nullptr, {}, "ki.txt", 0},
        SaveCase{"OutputExistingFolder", "kesz", false, false, nullptr, {}, "kesz/jelentes.txt", 0},
        SaveCase{"OutputFolderOfSeveralIsMade",
                 "uj/mappa",
                 true,
                 true,
                 nullptr,
                 {},
                 "uj/mappa/jelentes.txt",
                 0},
        SaveCase{"BatchKeepsAnExistingFileAndSaysSo",
                 "kesz",
                 true,
                 true,
                 "kesz/jelentes.txt",
                 {},
                 nullptr,
                 1},
        SaveCase{
            "OutputAsksBeforeReplacingNo", "ki.txt", false, false, "ki.txt", {IDNO}, nullptr, 1},
        SaveCase{"OutputAsksBeforeReplacingYes",
                 "ki.txt",
                 false,
                 false,
                 "ki.txt",
                 {IDYES},
                 "ki.txt",
                 1}));

TEST(Preset, OutputAnswersTheFolderDialogAndMakesTheFolder) {
  test::TempDir dir;
  ScriptedUserInterface inner;
  const std::string folder = dir / "uj/cel";
  PresetUserInterface ui(inner, {folder + "/", false, false});
  RecordingClient client;
  ui.RunFolderDialog({}, client);
  EXPECT_EQ(client.log,
            (std::vector<std::string>{"show", "folder " + folder, "ok " + folder, "close"}));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(inner.shown.empty());
}

TEST(Preset, BatchTakesTheOfferedFolderAndChoosesNothingWhenItIsMissing) {
  test::TempDir dir;
  ScriptedUserInterface inner;
  PresetUserInterface ui(inner, {std::nullopt, false, true});
  RecordingClient client;
  FolderDialogRequest request;
  request.initial_dir = dir.path();
  ui.RunFolderDialog(request, client);
  EXPECT_EQ(client.log, (std::vector<std::string>{"show", "folder " + dir.path(),
                                                  "ok " + dir.path(), "close"}));
  RecordingClient missing;
  request.initial_dir = dir / "nincs";
  ui.RunFolderDialog(request, missing);
  EXPECT_EQ(missing.log, (std::vector<std::string>{"show", "close"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "nincs"));
}

}  // namespace
}  // namespace lorvante
