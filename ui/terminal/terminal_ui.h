// The terminal front end: the same conversion on a machine without a display.
//
// Message boxes and prompts go to the error output ("LORVANTE: text"), answers are read from the
// input: edited in place on a terminal, line by line when piped, end of input answering Cancel.
// The progress window is one line, redrawn in place on a terminal and not shown otherwise. Ctrl+C
// while a progress display exists presses its Cancel button at the next ProcessMessages; a second
// Ctrl+C ends the program.
#pragma once

#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/terminal/terminal_input.h"
#include "ui/user_interface.h"

namespace lorvante {

class TerminalProgress;

class TerminalUserInterface : public UserInterface {
 public:
  // Answers come from `input_fd`; everything shown goes to `output_fd`.
  explicit TerminalUserInterface(int input_fd = STDIN_FILENO, int output_fd = STDERR_FILENO);
  ~TerminalUserInterface() override;

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  // The box, then each line of the details indented below it.
  int DetailedMessageBox(const std::string& text, const std::string& details,
                         const std::string& caption, unsigned style) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& default_text, bool masked) override;
  std::optional<std::string> SaveDialog(const SaveDialogRequest& request) override;
  void RunFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client) override;
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(
      std::function<void()> cancel_click) override;
  // No file dialog on a terminal: the program asks for its file on the command line instead.
  std::optional<std::string> OpenDialog(const OpenDialogRequest& request) override;
  // One line: "caption: body"; then the desktop notifier, when there is one.
  void Notify(const Notification& notification) override;
  // Where the word at the end also goes: a run on a display that reports in the terminal
  // notifies the desktop too.
  void SetDesktopNotifier(std::function<void(const Notification&)> notifier) {
    desktop_notifier_ = std::move(notifier);
  }
  // One line: "caption: \"entry\": reason", control characters of the name shown as '?'.
  void ReportSkippedEntry(const SkippedEntryNotice& notice) override;
  // One line saying that Ctrl+C cancelled the work at hand.
  void ReportInterrupted() override;
  void ProcessMessages() override;

 private:
  // A typed folder that does not exist: made, with its parents, when the user says so (No by
  // default). False when it was not made; why is shown.
  bool MakeTypedFolder(const std::string& folder);
  // With several files, a line naming the file at hand ("title — file") ahead of the first
  // question or message of its conversion, as the windows' titles name it.
  void HeadSubject();
  friend class TerminalProgress;

  // Shows `text`, keeping a progress line out of its way.
  void Show(const std::string& text);
  // Shows each line of `details` indented, control characters as '?'.
  void ShowDetails(const std::string& details);
  // Shows `prompt` and reads the answer, offering `offered` on a terminal.
  std::optional<std::string> Ask(const std::string& prompt, const std::string& offered, bool echo);
  // An answer that stands for the offered text: Enter on piped input; on a terminal the offered
  // text arrives as typed, and an erased line means Cancel.
  bool AcceptsOffered(const std::string& answer) const {
    return answer.empty() && !input_.IsTerminal();
  }

  int output_fd_;
  bool output_terminal_;
  TerminalInput input_;
  TerminalProgress* progress_ = nullptr;
  int headed_turn_ = 0;  // the conversion whose file was named last
  std::function<void(const Notification&)> desktop_notifier_;
};

// The text of a progress line `width` columns wide: the file name (shortened at its start when
// needed), a bar and the percentage of `position` in 0..`maximum`.
std::string ProgressLine(const std::string& name, int position, int maximum, int width);
// The percentage shown for `position` in 0..`maximum`, kept within 0..100.
int ProgressPercent(int position, int maximum);

}  // namespace lorvante
