#include "ui/terminal/terminal_ui.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "platform/signal_cleanup.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/terminal/printable.h"

namespace lorvante {
namespace {

constexpr int kDefaultWidth = 80;
constexpr int kBarWidth = 20;
constexpr char kInitialProgressText[] = "wait ...";
// The details of a box: lines below it, set in.
constexpr char kDetailIndent[] = "  ";
// The work at hand was cancelled by Ctrl+C.
constexpr char kInterrupted[] = "Megszakítva (Ctrl+C).";
// Between the title and the file in the line that names the file at hand, as in window titles.
constexpr char kSubjectSeparator[] = " — ";

std::size_t CodePoints(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The last `count` characters of `text`.
std::string LastCodePoints(const std::string& text, std::size_t count) {
  std::size_t start = text.size();
  std::size_t seen = 0;
  while (start > 0 && seen < count) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) ++seen;
  }
  return text.substr(start);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// "~" and "~/..." stand for the home folder, as in the shell.
std::string ExpandHome(const std::string& path) {
  if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return path;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return path;
  return home + path.substr(1);
}

// The absolute form of a typed path, without a final '/' (except for the root).
std::string AbsolutePath(const std::string& typed) {
  return WithoutTrailingSlashes(ExpandFileName(ExpandHome(typed)));
}

std::string Labelled(const std::string& caption, const std::string& text) {
  return caption.empty() ? text : caption + ": " + text;
}

struct Choice {
  const char* word;
  int result;
};

std::vector<Choice> ChoicesOf(unsigned style) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{"ok", IDOK}, {"cancel", IDCANCEL}};
    case MB_YESNOCANCEL:
      return {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}};
    case MB_YESNO:
      return {{"yes", IDYES}, {"no", IDNO}};
    default:
      return {{"ok", IDOK}};
  }
}

}  // namespace

int ProgressPercent(int position, int maximum) {
  if (maximum <= 0) return 0;
  const long long percent = 100LL * std::max(position, 0) / maximum;
  return static_cast<int>(std::min(percent, 100LL));
}

std::string ProgressLine(const std::string& name, int position, int maximum, int width) {
  const int percent = ProgressPercent(position, maximum);
  const int filled = percent * kBarWidth / 100;
  std::string tail = " [" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] ";
  const std::string number = std::to_string(percent);
  tail += std::string(3 - number.size(), ' ') + number + "%";
  // The last column stays free, so that the line never wraps.
  const int room = width - 1 - static_cast<int>(tail.size());
  if (room <= 3) {
    // Too narrow for a name: the bar alone, or only the percentage.
    if (static_cast<int>(tail.size()) <= width) return tail.substr(1);
    return std::to_string(percent) + "%";
  }
  const auto room_size = static_cast<std::size_t>(room);
  if (CodePoints(name) <= room_size) return name + tail;
  return "..." + LastCodePoints(name, room_size - 3) + tail;
}

// The progress window as one line of the error output.
class TerminalProgress : public ProgressDisplay {
 public:
  TerminalProgress(TerminalUserInterface& ui, std::function<void()> cancel_click)
      : ui_(ui), cancel_click_(std::move(cancel_click)), interrupts_(ui_.output_fd_) {
    previous_ = ui_.progress_;
    ui_.progress_ = this;
  }

  ~TerminalProgress() override {
    Clear();
    ui_.progress_ = previous_;
  }

  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  void SetProgressMax(int value) override {
    maximum_ = value;
    Draw();
  }
  void SetProgressPos(int value) override {
    position_ = value;
    Draw();
  }
  void SetMessage(const std::string& text) override {
    message_ = Printable(text);
    Draw();
  }
  void Show() override {
    visible_ = true;
    if (ui_.output_terminal_) width_ = TerminalWidth();
    Draw();
  }
  void Hide() override {
    Clear();
    visible_ = false;
  }

  // A Ctrl+C that has not been acted on yet presses Cancel once, and says so.
  void TakeInterrupt() {
    if (interrupts_.Interrupted() && !cancel_pressed_) {
      cancel_pressed_ = true;
      if (cancel_click_) cancel_click_();
      ui_.ReportInterrupted();
    }
  }

  // Takes the line off the screen while something else is shown (terminal only).
  void Clear() {
    if (!on_screen_.empty()) {
      WriteAll(ui_.output_fd_, "\r\033[K");
      MarkUnfinishedLine(-1);
    }
    on_screen_.clear();
  }

  // Puts the line back after something else was shown. Only a terminal shows it: redrawn in a
  // file or a pipe, every step would be a line of its own.
  void Draw() {
    if (!visible_ || !ui_.output_terminal_) return;
    const std::string line = ProgressLine(message_, position_, maximum_, width_);
    if (line == on_screen_) return;
    WriteAll(ui_.output_fd_, "\r" + line + "\033[K");
    on_screen_ = line;
    MarkUnfinishedLine(ui_.output_fd_);
  }

 private:
  int TerminalWidth() const {
    winsize size{};
    if (ioctl(ui_.output_fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultWidth;
  }

  TerminalUserInterface& ui_;
  std::function<void()> cancel_click_;
  // Ctrl+C while the display exists: counted, acted on at ProcessMessages; a second one ends
  // the program.
  InterruptScope interrupts_;
  TerminalProgress* previous_ = nullptr;
  bool cancel_pressed_ = false;
  bool visible_ = false;
  int maximum_ = 100;  // the bar's range when it is made: 0 to 100
  int position_ = 0;
  int width_ = kDefaultWidth;
  std::string message_ = kInitialProgressText;
  std::string on_screen_;
};

TerminalUserInterface::TerminalUserInterface(int input_fd, int output_fd)
    : output_fd_(output_fd),
      output_terminal_(isatty(output_fd) == 1),
      input_(input_fd, output_fd) {}

TerminalUserInterface::~TerminalUserInterface() = default;

void TerminalUserInterface::Show(const std::string& text) {
  if (progress_ != nullptr) progress_->Clear();
  // Every text shown may name a file: its control characters are marked, its lines kept.
  WriteAll(output_fd_, Printable(text, LineBreaks::kKept));
}

std::optional<std::string> TerminalUserInterface::Ask(const std::string& prompt,
                                                      const std::string& offered, bool echo) {
  Show(prompt);
  auto answer = input_.ReadLine(offered, echo);
  if (progress_ != nullptr) progress_->Draw();
  return answer;
}

void TerminalUserInterface::HeadSubject() {
  if (Application.Subject.empty() || Application.SubjectTurn == headed_turn_) return;
  headed_turn_ = Application.SubjectTurn;
  const std::string& title = Application.Title;
  Show((title.empty() ? Application.Subject : title + kSubjectSeparator + Application.Subject) +
       "\n");
}

int TerminalUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                      unsigned style) {
  HeadSubject();
  const std::vector<Choice> choices = ChoicesOf(style);
  Show(Labelled(caption, text) + "\n");
  if (choices.size() == 1) {
    if (progress_ != nullptr) progress_->Draw();
    return choices.front().result;
  }
  std::size_t default_index = (style & MB_DEFMASK) >> 8;
  if (default_index >= choices.size()) default_index = 0;
  std::string menu;
  for (const Choice& choice : choices) {
    if (!menu.empty()) menu += " / ";
    menu += std::string("[") + choice.word[0] + "]" + (choice.word + 1);
  }
  menu += std::string(" (Enter: ") + choices[default_index].word + ")? ";
  for (;;) {
    const auto answer = Ask(menu, "", true);
    if (!answer) {
      // End of input answers Cancel, or No where there is no Cancel.
      return choices.back().result;
    }
    const std::string word = Lower(Trim(*answer));
    if (word.empty()) return choices[default_index].result;
    for (const Choice& choice : choices) {
      if (word == choice.word || word == std::string(1, choice.word[0])) return choice.result;
    }
    Show("Please answer " + menu.substr(0, menu.find(" (Enter")) + ".\n");
  }
}

int TerminalUserInterface::DetailedMessageBox(const std::string& text, const std::string& details,
                                              const std::string& caption, unsigned style) {
  HeadSubject();
  if ((style & MB_TYPEMASK) == MB_OK) {
    MessageBox(text, caption, style);
    ShowDetails(details);
    return IDOK;
  }
  ShowDetails(details);
  return MessageBox(text, caption, style);
}

void TerminalUserInterface::ShowDetails(const std::string& details) {
  std::size_t start = 0;
  while (start < details.size()) {
    const std::size_t end = std::min(details.find('\n', start), details.size());
    Show(kDetailIndent + Printable(details.substr(start, end - start)) + "\n");
    start = end + 1;
  }
  if (progress_ != nullptr) progress_->Draw();
}

std::string TerminalUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                            const std::string& default_text, bool masked) {
  HeadSubject();
  Show(Labelled(caption, prompt) + "\n");
  const auto answer = Ask("> ", masked ? std::string() : default_text, !masked);
  return answer ? *answer : default_text;
}

std::optional<std::string> TerminalUserInterface::SaveDialog(const SaveDialogRequest& request) {
  HeadSubject();
  // The path offered: the file name, in the initial folder unless it names a folder itself.
  std::string offered = request.file_name;
  if (offered.empty() || offered[0] != '/') {
    offered =
        AppendSlash(request.initial_dir.empty() ? GetCurrentDir() : request.initial_dir) + offered;
  }
  const std::string title = request.title.empty() ? "Save As" : request.title;
  const std::string prompt = input_.IsTerminal() ? title + ": " : title + " [" + offered + "]: ";
  for (;;) {
    const auto answer = Ask(prompt, offered, true);
    if (!answer) return std::nullopt;
    std::string typed = *answer;
    if (AcceptsOffered(typed)) typed = offered;
    if (typed.empty()) return std::nullopt;  // the line was erased
    std::string path = AbsolutePath(typed);
    if (DirectoryExists(path)) {
      Show(path + "\nThis is a folder. Type a file name.\n");
      continue;
    }
    if (!request.default_suffix.empty() && ExtractFileExt(path).empty()) {
      path += "." + request.default_suffix;
    }
    const std::string folder = ExtractFilePath(path);
    if (!DirectoryExists(folder)) {
      Show(path + "\nThe folder does not exist. Check the path and try again.\n");
      continue;
    }
    if (DirectoryExists(path)) {
      Show(path + "\nThis is a folder. Type a file name.\n");
      continue;
    }
    if (request.overwrite_prompt && Exists(path) &&
        MessageBox(path + " already exists.\nDo you want to replace it?", "Confirm Save As",
                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
      continue;
    }
    return path;
  }
}

void TerminalUserInterface::RunFolderDialog(const FolderDialogRequest& request,
                                            FolderDialogClient& client) {
  HeadSubject();
  std::string current =
      AbsolutePath(request.initial_dir.empty() ? GetCurrentDir() : request.initial_dir);
  if (!DirectoryExists(current)) current = AbsolutePath(GetCurrentDir());
  const std::string title = request.title.empty() ? "Folder" : request.title;
  client.DialogShow();
  client.DialogFolderChange(current);
  for (;;) {
    const std::string prompt = input_.IsTerminal() ? title + ": " : title + " [" + current + "]: ";
    const auto answer = Ask(prompt, current, true);
    if (!answer) break;
    std::string typed = *answer;
    if (AcceptsOffered(typed)) typed = current;
    if (typed.empty()) break;  // the line was erased
    const std::string folder = AbsolutePath(typed);
    if (!DirectoryExists(folder)) {
      // A name that stands for something else is no folder to make.
      if (Exists(folder)) {
        Show(folder + "\nThis folder does not exist.\n");
        continue;
      }
      if (!MakeTypedFolder(folder)) continue;
    }
    if (folder != current) {
      current = folder;
      client.DialogFolderChange(current);
    }
    if (client.OkButtonRelease(current)) break;
  }
  client.DialogClose();
}

bool TerminalUserInterface::MakeTypedFolder(const std::string& folder) {
  if (MessageBox(folder + "\nThis folder does not exist.\nCreate it?", "",
                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && !DirectoryExists(folder)) error = std::make_error_code(std::errc::not_a_directory);
  if (error) {
    Show(folder + "\nThe folder cannot be created: " + error.message() + "\n");
    return false;
  }
  return true;
}

std::unique_ptr<ProgressDisplay> TerminalUserInterface::CreateProgressDisplay(
    std::function<void()> cancel_click) {
  return std::make_unique<TerminalProgress>(*this, std::move(cancel_click));
}

std::optional<std::string> TerminalUserInterface::OpenDialog(const OpenDialogRequest& /*request*/) {
  return std::nullopt;
}

void TerminalUserInterface::Notify(const Notification& notification) {
  // One line whatever the texts hold: a file name may carry a line break.
  std::string line = Labelled(notification.summary, notification.body);
  std::replace(line.begin(), line.end(), '\n', ' ');
  Show(line + "\n");
  if (progress_ != nullptr) progress_->Draw();
  if (desktop_notifier_) desktop_notifier_(notification);
}

void TerminalUserInterface::ReportSkippedEntry(const SkippedEntryNotice& notice) {
  HeadSubject();
  Show(Labelled(notice.caption, Printable("\"" + notice.entry + "\": " + notice.reason)) + "\n");
  if (progress_ != nullptr) progress_->Draw();
}

void TerminalUserInterface::ReportInterrupted() {
  Show(Labelled(Application.Title, kInterrupted) + "\n");
  if (progress_ != nullptr) progress_->Draw();
}

void TerminalUserInterface::ProcessMessages() {
  if (progress_ != nullptr) progress_->TakeInterrupt();
}

}  // namespace lorvante
