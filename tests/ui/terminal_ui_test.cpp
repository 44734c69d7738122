// The terminal front end with piped answers and a plain (non-terminal) error output.
#include "ui/terminal/terminal_ui.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/message_box.h"

namespace lorvante {
namespace {

using test::TempDir;

// A front end whose answers are `answers` on a pipe and whose output goes to a file.
class PipedTerminal : public testing::Test {
 protected:
  void TearDown() override {
    ui_.reset();
    if (input_ >= 0) close(input_);
    if (output_ >= 0) close(output_);
    input_ = output_ = -1;
  }

  TerminalUserInterface& Ui(const std::string& answers) {
    TearDown();
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    close(fds[1]);
    input_ = fds[0];
    output_ = open((dir / "output").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(output_, 0);
    ui_ = std::make_unique<TerminalUserInterface>(input_, output_);
    return *ui_;
  }

  std::string Output() const { return test::ReadText(dir / "output"); }

  TempDir dir;

 private:
  int input_ = -1;
  int output_ = -1;
  std::unique_ptr<TerminalUserInterface> ui_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---- message boxes -------------------------------------------------------------------------

// With several files, a line naming the file at hand comes before the first question or
// message of its conversion, once, also for a second file of the same name; a single file has
// none.
TEST_F(PipedTerminal, EachFilesQuestionsFollowALineNamingIt) {
  const TApplication saved = Application;
  auto& ui = Ui("y\nsecret\nn\n");
  Application.Title = "LORVANTE";
  Application.Subject = "adatok.zip.des";
  ++Application.SubjectTurn;
  EXPECT_EQ(ui.MessageBox("Replace?", "LORVANTE", MB_YESNO), IDYES);
  EXPECT_EQ(ui.InputBox("LORVANTE", "Password", "", true), "secret");
  ++Application.SubjectTurn;  // another file of the same name
  EXPECT_EQ(ui.MessageBox("Replace?", "LORVANTE", MB_YESNO), IDNO);
  Application.Subject.clear();
  ++Application.SubjectTurn;
  EXPECT_EQ(ui.MessageBox("Done.", "LORVANTE", MB_OK), IDOK);
  const std::string answers = "[y]es / [n]o (Enter: yes)? \n";
  EXPECT_EQ(Output(),
            "LORVANTE — adatok.zip.des\n"
            "LORVANTE: Replace?\n" +
                answers +
                "LORVANTE: Password\n> \n"
                "LORVANTE — adatok.zip.des\n"
                "LORVANTE: Replace?\n" +
                answers + "LORVANTE: Done.\n");
  Application.Title = saved.Title;
  Application.Subject = saved.Subject;
  Application.SubjectTurn = saved.SubjectTurn;
}

TEST_F(PipedTerminal, InformationGoesToTheOutputAndReadsNoAnswer) {
  auto& ui = Ui("kept\n");
  EXPECT_EQ(ui.MessageBox("Az állomány kitömörítése sikertelen.", "LORVANTE", MB_OK), IDOK);
  EXPECT_EQ(ui.MessageBox("Unable to extract files to:\n\"/x\"\nThis folder does not exist.",
                          "LORVANTE", MB_OK | MB_ICONINFORMATION),
            IDOK);
  EXPECT_EQ(Output(),
            "LORVANTE: Az állomány kitömörítése sikertelen.\n"
            "LORVANTE: Unable to extract files to:\n\"/x\"\nThis folder does not exist.\n");
  // The line piped in is still there for the next question.
  EXPECT_EQ(ui.InputBox("LORVANTE", "Password", "", true), "kept");
}

struct QuestionCase {
  const char* name;
  unsigned style;
  const char* answers;
  int expected;
};

void PrintTo(const QuestionCase& c, std::ostream* out) {
  *out << c.name;
}

class Question : public PipedTerminal, public testing::WithParamInterface<QuestionCase> {};

TEST_P(Question, Answer) {
  const QuestionCase& c = GetParam();
  EXPECT_EQ(Ui(c.answers).MessageBox("\"a.txt\" may be corrupted", "LORVANTE", c.style),
            c.expected);
  EXPECT_TRUE(Contains(Output(), "LORVANTE: \"a.txt\" may be corrupted\n")) << Output();
}

constexpr unsigned kDamaged = MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2;  // 0x123
constexpr unsigned kOlder = MB_YESNOCANCEL | MB_ICONINFORMATION;                 // 0x43
constexpr unsigned kNoPassword = MB_YESNO | MB_ICONQUESTION;                     // 0x24

INSTANTIATE_TEST_SUITE_P(
    TerminalMessageBox, Question,
    testing::Values(QuestionCase{"EnterTakesTheSecondButtonAsDefault", kDamaged, "\n", IDNO},
                    QuestionCase{"EnterTakesTheFirstButtonAsDefault", kOlder, "\n", IDYES},
                    QuestionCase{"LetterYes", kDamaged, "y\n", IDYES},
                    QuestionCase{"WordInCapitals", kDamaged, "CANCEL\n", IDCANCEL},
                    QuestionCase{"WordWithSpaces", kOlder, "  no \n", IDNO},
                    QuestionCase{"EndOfInputIsCancel", kDamaged, "", IDCANCEL},
                    QuestionCase{"EndOfInputWithoutCancelIsNo", kNoPassword, "", IDNO},
                    QuestionCase{"UnknownAnswerAsksAgain", kDamaged, "maybe\nc\n", IDCANCEL},
                    QuestionCase{"CancelIsNoAnswerToYesNo", kNoPassword, "c\nn\n", IDNO},
                    QuestionCase{"OkCancelEnter", MB_OKCANCEL, "\n", IDOK},
                    QuestionCase{"OkCancelEndOfInput", MB_OKCANCEL, "", IDCANCEL},
                    QuestionCase{"ThirdDefaultButton", MB_YESNOCANCEL | MB_DEFBUTTON3, "\r\n",
                                 IDCANCEL}),
    [](const testing::TestParamInfo<QuestionCase>& param) { return param.param.name; });

TEST_F(PipedTerminal, QuestionShowsItsButtonsAndItsDefault) {
  Ui("what\n\n").MessageBox("Overwrite?", "LORVANTE", kDamaged);
  EXPECT_EQ(Output(),
            "LORVANTE: Overwrite?\n"
            "[y]es / [n]o / [c]ancel (Enter: no)? \n"
            "Please answer [y]es / [n]o / [c]ancel.\n"
            "[y]es / [n]o / [c]ancel (Enter: no)? \n");
}

// ---- input box -----------------------------------------------------------------------------

TEST_F(PipedTerminal, InputBoxAnswers) {
  auto& ui = Ui("s3cret\n\n");
  EXPECT_EQ(ui.InputBox("LORVANTE", "A new password is required for \"a.txt\"", "", true),
            "s3cret");
  EXPECT_EQ(ui.InputBox("LORVANTE", "again", "offered", false), "");              // an empty answer
  EXPECT_EQ(ui.InputBox("LORVANTE", "at the end", "offered", false), "offered");  // cancelled
  const std::string output = Output();
  EXPECT_TRUE(Contains(output, "LORVANTE: A new password is required for \"a.txt\"\n> "));
  EXPECT_FALSE(Contains(output, "s3cret"));
}

// ---- save dialog ---------------------------------------------------------------------------

class SaveDialogTest : public PipedTerminal {
 protected:
  SaveDialogRequest Request() {
    SaveDialogRequest request;
    request.initial_dir = dir.path();
    request.file_name = dir / "report.txt";
    request.default_suffix = "txt";
    request.filters = {{"Egyszerű szöveg (*.txt)", "*.txt"}, {"MS-DOS szöveg (*.txt)", "*.txt"}};
    request.overwrite_prompt = true;
    return request;
  }
  std::optional<std::string> Save(const std::string& answers) {
    return Ui(answers).SaveDialog(Request());
  }
};

TEST_F(SaveDialogTest, EnterAcceptsTheOfferedPath) {
  EXPECT_EQ(Save("\n"), dir / "report.txt");
  EXPECT_EQ(Output(), "Save As [" + (dir / "report.txt") + "]: \n");
}

TEST_F(SaveDialogTest, BareFileNameIsOfferedInTheInitialFolder) {
  auto request = Request();
  request.file_name = "report.txt";
  EXPECT_EQ(Ui("\n").SaveDialog(request), dir / "report.txt");
}

TEST_F(SaveDialogTest, EndOfInputCancels) {
  EXPECT_EQ(Save(""), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir / "report.txt"));
}

TEST_F(SaveDialogTest, TypedNames) {
  test::ScopedEnv home("HOME", dir.path());
  const std::pair<std::string, std::string> cases[] = {
      {dir / "name", dir / "name.txt"},             // the default extension is added
      {dir / "name.csv", dir / "name.csv"},         // an extension of its own is kept
      {dir / "x/../name", dir / "name.txt"},        // the path is made plain
      {"~/home.txt", dir / "home.txt"},             // as in the shell
      {dir / "my.dir/../plain", dir / "plain.txt"}  // a dot in a folder is no extension
  };
  for (const auto& [typed, expected] : cases) {
    EXPECT_EQ(Save(typed + "\n"), expected) << typed;
  }
}

TEST_F(SaveDialogTest, RelativeNameIsTakenFromTheCurrentFolder) {
  const test::ScopedCurrentDir in_dir(dir.path());
  EXPECT_EQ(Save("relative\n"), dir / "relative.txt");
}

TEST_F(SaveDialogTest, ExistingFileAsksBeforeItIsReplaced) {
  test::WriteText(dir / "report.txt", "old");
  EXPECT_EQ(Save("\ny\n"), dir / "report.txt");
  EXPECT_TRUE(Contains(Output(), "Confirm Save As: " + (dir / "report.txt") +
                                     " already exists.\nDo you want to replace it?\n"
                                     "[y]es / [n]o (Enter: no)? "))
      << Output();
  EXPECT_EQ(test::ReadText(dir / "report.txt"), "old");  // the dialog itself writes nothing
}

TEST_F(SaveDialogTest, RefusedReplacementAsksForAnotherName) {
  test::WriteText(dir / "report.txt", "old");
  test::WriteText(dir / "other.txt", "old");
  // Enter keeps the default "no"; the typed name without extension reaches the existing
  // other.txt and is asked about as well.
  EXPECT_EQ(Save("\n\n" + dir / "other\nn\n" + dir / "new\n"), dir / "new.txt");
}

TEST_F(SaveDialogTest, EndOfInputAtTheReplacementQuestionCancels) {
  test::WriteText(dir / "report.txt", "old");
  EXPECT_EQ(Save("\n"), std::nullopt);
}

TEST_F(SaveDialogTest, ExistingFileWithoutOverwritePromptIsTakenAtOnce) {
  test::WriteText(dir / "report.txt", "old");
  auto request = Request();
  request.overwrite_prompt = false;
  EXPECT_EQ(Ui("\n").SaveDialog(request), dir / "report.txt");
  EXPECT_FALSE(Contains(Output(), "already exists"));
}

TEST_F(SaveDialogTest, FolderOrMissingFolderIsRefused) {
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir / "made.txt").c_str(), 0700), 0);
  EXPECT_EQ(Save(dir / "sub\n" + dir / "made\n" + dir / "missing/name.txt\n"), std::nullopt);
  const std::string output = Output();
  EXPECT_TRUE(Contains(output, dir / "sub\nThis is a folder. Type a file name.\n")) << output;
  EXPECT_TRUE(Contains(output, dir / "made.txt\nThis is a folder. Type a file name.\n"));
  EXPECT_TRUE(Contains(output, dir / "missing/name.txt\nThe folder does not exist."));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// ---- folder dialog -------------------------------------------------------------------------

// Records what the front end reports; OK is refused as often as told.
class RecordingClient : public FolderDialogClient {
 public:
  void DialogShow() override { log.push_back("show"); }
  void DialogFolderChange(const std::string& folder) override { log.push_back("folder " + folder); }
  bool FolderListClick(const std::string& name) override {
    log.push_back("click " + name);
    return true;
  }
  bool CanChoose() const override { return true; }
  bool OkButtonRelease(const std::string&) override {
    log.push_back("ok");
    if (refusals > 0) {
      --refusals;
      return false;
    }
    return true;
  }
  std::string FileNameText() const override { return {}; }
  void DialogClose() override { log.push_back("close"); }

  std::vector<std::string> log;
  int refusals = 0;
};

class FolderDialogTest : public PipedTerminal {
 protected:
  std::vector<std::string> Run(const std::string& answers, const std::string& initial) {
    FolderDialogRequest request;
    request.initial_dir = initial;
    Ui(answers).RunFolderDialog(request, client);
    return client.log;
  }
  RecordingClient client;
  using Log = std::vector<std::string>;
};

TEST_F(FolderDialogTest, EnterChoosesTheInitialFolder) {
  EXPECT_EQ(Run("\n", dir.path() + "/"), (Log{"show", "folder " + dir.path(), "ok", "close"}));
  EXPECT_EQ(Output(), "Folder [" + dir.path() + "]: \n");
}

TEST_F(FolderDialogTest, TypedFolderIsOpenedThenChosen) {
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0700), 0);
  EXPECT_EQ(Run(dir / "sub/\n", dir.path()),
            (Log{"show", "folder " + dir.path(), "folder " + (dir / "sub"), "ok", "close"}));
}

TEST_F(FolderDialogTest, OnlyAnExistingFolderIsAccepted) {
  test::WriteText(dir / "file", "");
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0700), 0);
  EXPECT_EQ(Run(dir / "missing\nn\n" + dir / "file\n" + dir / "sub\n", dir.path()),
            (Log{"show", "folder " + dir.path(), "folder " + (dir / "sub"), "ok", "close"}));
  EXPECT_TRUE(Contains(Output(), dir / "missing\nThis folder does not exist.\nCreate it?\n"));
  EXPECT_TRUE(Contains(Output(), dir / "file\nThis folder does not exist.\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// A typed folder that does not exist is made, with its parents, and chosen on Yes; No, Enter and
// the end of input leave it unmade and the prompt open; one that cannot be made is named with
// the reason.
struct MissingFolderCase {
  const char* label;
  const char* typed;   // below the scratch folder
  const char* answer;  // the line after the question, with its line break
  bool made;
  const char* shown;  // what the output holds besides the question; empty: nothing more
};

TEST_F(FolderDialogTest, ATypedMissingFolderIsMadeOnlyOnYes) {
  const MissingFolderCase cases[] = {
      {"yes", "new/deeper", "y\n", true, ""},
      {"yes in full", "new/deeper", "Yes\n", true, ""},
      {"no", "new/deeper", "n\n", false, ""},
      {"enter", "new/deeper", "\n", false, ""},
      {"end of input", "new/deeper", "", false, ""},
      {"below a file", "file/deeper", "y\n", false, "The folder cannot be created: "},
  };
  test::WriteText(dir / "file", "");
  for (const MissingFolderCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(dir / "new");
    client.log.clear();
    const std::string folder = dir / c.typed;
    const Log log = Run(folder + "\n" + c.answer, dir.path());
    const std::string output = Output();
    EXPECT_TRUE(Contains(output, folder + "\nThis folder does not exist.\nCreate it?\n")) << output;
    EXPECT_TRUE(Contains(output, "[y]es / [n]o (Enter: no)? ")) << output;
    EXPECT_EQ(std::filesystem::is_directory(folder), c.made);
    EXPECT_EQ(log, c.made ? (Log{"show", "folder " + dir.path(), "folder " + folder, "ok", "close"})
                          : (Log{"show", "folder " + dir.path(), "close"}));
    if (*c.shown != '\0') {
      EXPECT_TRUE(Contains(output, folder + "\n" + c.shown)) << output;
    }
  }
}

TEST_F(FolderDialogTest, EndOfInputCancels) {
  EXPECT_EQ(Run("", dir.path()), (Log{"show", "folder " + dir.path(), "close"}));
  client.log.clear();
  EXPECT_EQ(Run(dir / "missing\n", dir.path()), (Log{"show", "folder " + dir.path(), "close"}));
}

TEST_F(FolderDialogTest, RefusedOkAsksAgain) {
  client.refusals = 1;
  EXPECT_EQ(Run("\n\n", dir.path()), (Log{"show", "folder " + dir.path(), "ok", "ok", "close"}));
}

TEST_F(FolderDialogTest, MissingInitialFolderOpensTheCurrentFolder) {
  const test::ScopedCurrentDir in_dir(dir.path());
  EXPECT_EQ(Run("", dir / "missing"), (Log{"show", "folder " + dir.path(), "close"}));
}

// ---- progress ------------------------------------------------------------------------------

// Off a terminal (a file, a pipe) the progress is not shown at all: redrawn there, every step
// would be a line of its own. What is said around it keeps its lines.
TEST_F(PipedTerminal, ProgressIsNotShownOffATerminal) {
  auto& ui = Ui("");
  {
    auto progress = ui.CreateProgressDisplay({});
    progress->Show();
    progress->SetProgressMax(65535);
    for (const char* file : {"a.txt", "b.txt", "c.txt"}) {
      progress->SetMessage(file);
      for (int tenth = 0; tenth <= 10; ++tenth) progress->SetProgressPos(tenth * 6553);
    }
    EXPECT_EQ(ui.MessageBox("text", "LORVANTE", MB_OK), IDOK);
    progress->SetMessage("d.txt");
    progress->Hide();
  }
  EXPECT_EQ(Output(), "LORVANTE: text\n");
}

struct LineCase {
  const char* name;
  std::string file;
  int position;
  int maximum;
  int width;
  std::string expected;
};

void PrintTo(const LineCase& c, std::ostream* out) {
  *out << c.name;
}

class ProgressLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ProgressLineTest, Text) {
  const LineCase& c = GetParam();
  EXPECT_EQ(ProgressLine(c.file, c.position, c.maximum, c.width), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TerminalProgress, ProgressLineTest,
    testing::Values(
        LineCase{"Start", "a.txt", 0, 65535, 80, "a.txt [--------------------]   0%"},
        LineCase{"Half", "a.txt", 32768, 65535, 80, "a.txt [##########----------]  50%"},
        LineCase{"Full", "a.txt", 65535, 65535, 80, "a.txt [####################] 100%"},
        LineCase{"AboveTheMaximumStaysFull", "a", 70000, 65535, 80,
                 "a [####################] 100%"},
        LineCase{"ZeroMaximum", "a", 5, 0, 80, "a [--------------------]   0%"},
        LineCase{"NegativePosition", "a", -5, 10, 80, "a [--------------------]   0%"},
        // 40 columns: 39 usable, 28 for the tail, 11 for the name.
        LineCase{"LongNameKeepsItsEnd", "folder/sub/file.txt", 0, 1, 40,
                 "...file.txt [--------------------]   0%"},
        LineCase{"CharactersNotBytes", "árvíztűrő.txt", 1, 1, 40,
                 "...tűrő.txt [####################] 100%"},
        LineCase{"NarrowTerminalShowsTheBarOnly", "a.txt", 1, 2, 30, "[##########----------]  50%"},
        LineCase{"VeryNarrowTerminalShowsThePercentage", "a.txt", 1, 2, 20, "50%"}),
    [](const testing::TestParamInfo<LineCase>& param) { return param.param.name; });

// ---- Ctrl+C --------------------------------------------------------------------------------

TEST_F(PipedTerminal, CtrlCPressesCancelAtTheNextProcessMessages) {
  const TApplication saved = Application;
  Application.Title = "LORVANTE";
  auto& ui = Ui("");
  struct sigaction before {};
  sigaction(SIGINT, nullptr, &before);
  int cancels = 0;
  {
    auto progress = ui.CreateProgressDisplay([&] { ++cancels; });
    progress->Show();
    ui.ProcessMessages();
    EXPECT_EQ(cancels, 0);
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_EQ(cancels, 0);  // nothing happens inside the signal
    ui.ProcessMessages();
    EXPECT_EQ(cancels, 1);
    ui.ProcessMessages();
    EXPECT_EQ(cancels, 1);  // pressed once
  }
  EXPECT_EQ(Output(), "LORVANTE: Megszakítva (Ctrl+C).\n");  // said once
  ui.ProcessMessages();
  struct sigaction after {};
  sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);  // the program's own handling is back
  // A new display starts without the old interrupt.
  auto progress = ui.CreateProgressDisplay([&] { ++cancels; });
  ui.ProcessMessages();
  EXPECT_EQ(cancels, 1);
  Application = saved;
}

TEST_F(PipedTerminal, SecondCtrlCEndsTheProgram) {
  auto& ui = Ui("");
  EXPECT_EXIT(
      {
        auto progress = ui.CreateProgressDisplay({});
        raise(SIGINT);
        ui.ProcessMessages();
        raise(SIGINT);
        std::exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

// ---- the word at the end -------------------------------------------------------------------

TEST_F(PipedTerminal, NotificationIsOneLineAndReadsNoAnswer) {
  auto& ui = Ui("kept\n");
  ui.Notify({"LORVANTE", "A szöveg mentve: /out/jelentés.txt", "/out"});
  // A line break in a file name would split the line.
  ui.Notify({"LORVANTE", "2 állomány kibontva ide: /out/két\nsor", "/out/két\nsor"});
  EXPECT_EQ(Output(),
            "LORVANTE: A szöveg mentve: /out/jelentés.txt\n"
            "LORVANTE: 2 állomány kibontva ide: /out/két sor\n");
  EXPECT_EQ(ui.InputBox("LORVANTE", "Password", "", true), "kept");
}

TEST_F(PipedTerminal, NotificationKeepsAProgressLineOutOfItsWay) {
  auto& ui = Ui("");
  auto progress = ui.CreateProgressDisplay({});
  progress->SetMessage("a.txt");
  progress->Show();
  ui.Notify({"LORVANTE", "1 állomány kibontva ide: /out", "/out"});
  progress.reset();
  EXPECT_EQ(Output(), "LORVANTE: 1 állomány kibontva ide: /out\n");
}

// ---- entries not extracted -----------------------------------------------------------------

TEST_F(PipedTerminal, SkippedEntryIsOneLineNamingTheEntryAndTheReason) {
  auto& ui = Ui("kept\n");
  ui.ReportSkippedEntry({"LORVANTE", "adatok/régi.bin",
                         "not extracted: compression method 97 (WavPack) is not supported"});
  ui.ReportSkippedEntry({"LORVANTE", "titok.txt", "not extracted: wrong password"});
  // A name refused for its control characters is shown, but neither breaks the line nor
  // reaches the terminal as an escape sequence.
  ui.ReportSkippedEntry(
      {"LORVANTE", "két\nsor\x1b[2J\x7f", "not extracted: unsafe name or entry type"});
  EXPECT_EQ(Output(),
            "LORVANTE: \"adatok/régi.bin\": not extracted: compression method 97 (WavPack) is "
            "not supported\n"
            "LORVANTE: \"titok.txt\": not extracted: wrong password\n"
            "LORVANTE: \"két?sor?[2J?\": not extracted: unsafe name or entry type\n");
  // Nothing was read: the answer is still there for the next question.
  EXPECT_EQ(ui.InputBox("LORVANTE", "Password", "", true), "kept");
}

TEST_F(PipedTerminal, SkippedEntryKeepsAProgressLineOutOfItsWay) {
  auto& ui = Ui("");
  auto progress = ui.CreateProgressDisplay({});
  progress->SetMessage("a.txt");
  progress->Show();
  ui.ReportSkippedEntry({"LORVANTE", "b.txt", "not extracted: the data are damaged"});
  progress.reset();
  EXPECT_EQ(Output(), "LORVANTE: \"b.txt\": not extracted: the data are damaged\n");
}

}  // namespace
}  // namespace lorvante
