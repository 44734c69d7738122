// The terminal front end on a real pseudo-terminal: lines edited in place, passwords without
// echo, the progress line redrawn in place, and the terminal's settings always put back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/signal_cleanup.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/terminal/terminal_ui.h"

namespace lorvante {
namespace {

constexpr char kEnd[] = "<end of output>";

class PtyTerminal : public testing::Test {
 protected:
  void SetUp() override {
    winsize size{};
    size.ws_col = 60;
    size.ws_row = 24;
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, &size), 0);
    ui_ = std::make_unique<TerminalUserInterface>(slave_, slave_);
  }
  void TearDown() override {
    if (user_.joinable()) user_.join();
    ui_.reset();
    close(slave_);
    close(master_);
  }

  TerminalUserInterface& Ui() { return *ui_; }

  // The user types `keys` once the front end reads from the terminal in raw mode.
  void TypeWhenReading(std::string keys) {
    if (user_.joinable()) user_.join();
    user_ = std::thread([this, keys = std::move(keys)] {
      termios settings{};
      while (tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ICANON) != 0) {
        std::this_thread::yield();
      }
      EXPECT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    });
  }

  // Everything written to the terminal so far ("\n" arrives as "\r\n").
  std::string Screen() {
    if (user_.joinable()) user_.join();
    // The mark written last shows where the output ends.
    EXPECT_TRUE(WriteAll(slave_, kEnd));
    std::string screen;
    while (screen.find(kEnd) == std::string::npos) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, 10000) != 1) break;
      char buffer[4096];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      screen.append(buffer, static_cast<std::size_t>(n));
    }
    return screen.substr(0, screen.find(kEnd));
  }

  bool Echoes() const {
    termios settings{};
    return tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ECHO) != 0 &&
           (settings.c_lflag & ICANON) != 0;
  }

  test::TempDir dir;
  int master_ = -1;
  int slave_ = -1;

 private:
  std::unique_ptr<TerminalUserInterface> ui_;
  std::thread user_;
};

TEST_F(PtyTerminal, PasswordIsNotEchoed) {
  TypeWhenReading(
      "s3cr\x7f"
      "et\n");  // with a correction
  EXPECT_EQ(Ui().InputBox("LORVANTE", "A new password is required for \"a.txt\"", "", true),
            "s3cet");
  const std::string screen = Screen();
  EXPECT_EQ(screen, "LORVANTE: A new password is required for \"a.txt\"\r\n> \r\n");
  EXPECT_TRUE(Echoes());  // the terminal is as it was
}

TEST_F(PtyTerminal, UnmaskedAnswerIsEchoedAndEditable) {
  TypeWhenReading(
      "\x15"
      "ab\x7f"
      "c\n");  // Ctrl+U erases the offered text
  EXPECT_EQ(Ui().InputBox("LORVANTE", "Name", "offered", false), "ac");
  std::string erased;
  for (int i = 0; i < 7; ++i) erased += "\b \b";
  EXPECT_EQ(Screen(), "LORVANTE: Name\r\n> offered" + erased + "ab\b \bc\r\n");
}

TEST_F(PtyTerminal, SavePromptOffersThePathForEditing) {
  SaveDialogRequest request;
  request.file_name = dir / "report.txt";
  request.default_suffix = "txt";
  request.overwrite_prompt = true;
  // Backspace over "report.txt", type another name; the extension is added.
  TypeWhenReading(std::string(10, '\x7f') + "other\n");
  EXPECT_EQ(Ui().SaveDialog(request), dir / "other.txt");
  const std::string screen = Screen();
  EXPECT_EQ(screen.substr(0, screen.find('\b')), "Save As: " + (dir / "report.txt"));
  EXPECT_TRUE(Echoes());
}

TEST_F(PtyTerminal, SavePromptEnterAcceptsAndAnErasedLineCancels) {
  SaveDialogRequest request;
  request.file_name = dir / "report.txt";
  TypeWhenReading("\n");
  EXPECT_EQ(Ui().SaveDialog(request), dir / "report.txt");
  TypeWhenReading("\x15\n");
  EXPECT_EQ(Ui().SaveDialog(request), std::nullopt);
}

class RecordingFolderClient : public FolderDialogClient {
 public:
  void DialogShow() override {}
  void DialogFolderChange(const std::string& folder) override { folders.push_back(folder); }
  bool FolderListClick(const std::string&) override { return false; }
  bool CanChoose() const override { return true; }
  bool OkButtonRelease(const std::string&) override { return chosen = true; }
  std::string FileNameText() const override { return {}; }
  void DialogClose() override { closed = true; }
  std::vector<std::string> folders;
  bool chosen = false;
  bool closed = false;
};

TEST_F(PtyTerminal, FolderPromptEditsTheInitialFolder) {
  ASSERT_EQ(mkdir((dir / "sub1").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir / "sub2").c_str(), 0700), 0);
  RecordingFolderClient client;
  FolderDialogRequest request;
  request.initial_dir = dir / "sub1";
  TypeWhenReading(
      "\x7f"
      "2\n");
  Ui().RunFolderDialog(request, client);
  EXPECT_EQ(client.folders, (std::vector<std::string>{dir / "sub1", dir / "sub2"}));
  EXPECT_TRUE(client.chosen);
  EXPECT_TRUE(client.closed);
  EXPECT_EQ(Screen(), "Folder: " + (dir / "sub1") + "\b \b2\r\n");
}

TEST_F(PtyTerminal, FolderPromptCancelledByErasingOrCtrlD) {
  for (const std::string keys : {"\x15\n", "\x15\x04"}) {
    RecordingFolderClient client;
    FolderDialogRequest request;
    request.initial_dir = dir.path();
    TypeWhenReading(keys);
    Ui().RunFolderDialog(request, client);
    EXPECT_FALSE(client.chosen);
    EXPECT_TRUE(client.closed);
    Screen();
  }
}

TEST_F(PtyTerminal, ArrowKeysAreIgnored) {
  TypeWhenReading("a\x1b[D\x1bOAb\n");
  EXPECT_EQ(Ui().InputBox("LORVANTE", "Name", "", false), "ab");
}

TEST_F(PtyTerminal, ProgressLineIsRedrawnInPlace) {
  {
    auto progress = Ui().CreateProgressDisplay({});
    progress->Show();
    progress->SetProgressMax(65535);
    progress->SetMessage("a.txt");
    progress->SetProgressPos(32768);
    progress->SetProgressPos(32769);  // the same line: not drawn again
    progress->Hide();
  }
  EXPECT_EQ(Screen(), "\r" + ProgressLine("wait ...", 0, 100, 60) + "\x1b[K" +  //
                          "\r" + ProgressLine("a.txt", 0, 65535, 60) + "\x1b[K" + "\r" +
                          ProgressLine("a.txt", 32768, 65535, 60) + "\x1b[K" + "\r\x1b[K");
}

TEST_F(PtyTerminal, QuestionDuringProgressTakesTheLineAwayAndPutsItBack) {
  auto progress = Ui().CreateProgressDisplay({});
  progress->Show();
  TypeWhenReading("y\n");
  EXPECT_EQ(Ui().MessageBox("Overwrite?", "LORVANTE", 0x43), 6);
  const std::string line = "\r" + ProgressLine("wait ...", 0, 100, 60) + "\x1b[K";
  EXPECT_EQ(Screen(), line + "\r\x1b[K" + "LORVANTE: Overwrite?\r\n" +
                          "[y]es / [n]o / [c]ancel (Enter: yes)? y\r\n" + line);
}

// SIGTERM, SIGHUP or a second Ctrl+C while the progress line is on the screen: the line is
// finished before the program ends, so that the shell's next words start on a line of their own.
TEST_F(PtyTerminal, SignalThatEndsTheProgramFinishesTheProgressLine) {
  for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(signal_number));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      InstallSignalCleanup();
      Application.Title = "LORVANTE";
      TerminalUserInterface ui(slave_, slave_);
      auto progress = ui.CreateProgressDisplay({});
      progress->Show();
      if (signal_number == SIGINT) {
        raise(SIGINT);  // the first one cancels
        ui.ProcessMessages();
        progress->SetMessage("a.txt");  // the line is drawn again after the word on the cancel
      }
      [[maybe_unused]] const ssize_t sent = write(ready[1], "r", 1);
      for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    ASSERT_EQ(kill(child, signal_number), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number);
    const std::string screen = Screen();
    const std::string last_line =
        "\r" + ProgressLine(signal_number == SIGINT ? "a.txt" : "wait ...", 0, 100, 60) + "\x1b[K";
    ASSERT_GE(screen.size(), last_line.size() + 2) << screen;
    EXPECT_EQ(screen.substr(screen.size() - last_line.size() - 2), last_line + "\r\n") << screen;
    if (signal_number == SIGINT) {
      EXPECT_NE(screen.find("\r\x1b[KLORVANTE: Megszakítva (Ctrl+C).\r\n"), std::string::npos)
          << screen;
    }
  }
}

// A signal that ends the program while a password is typed leaves the terminal echoing.
TEST_F(PtyTerminal, SignalDuringPasswordRestoresTheTerminal) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TerminalUserInterface ui(slave_, slave_);
    ui.InputBox("LORVANTE", "Password", "", true);
    _exit(0);
  }
  termios settings{};
  while (tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ICANON) != 0) {
    std::this_thread::yield();
  }
  EXPECT_FALSE(Echoes());
  ASSERT_EQ(kill(child, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_TRUE(Echoes());
}

}  // namespace
}  // namespace lorvante
