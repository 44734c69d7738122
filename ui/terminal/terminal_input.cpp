#include "ui/terminal/terminal_input.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/signal_cleanup.h"
#include "ui/terminal/printable.h"

namespace lorvante {
namespace {

// The settings to put back when a signal ends the program while a line is edited in raw mode.
// Only one line is edited at a time.
termios g_saved_settings;
volatile sig_atomic_t g_raw_fd = -1;

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreTerminalAndExit(int signal_number) {
  if (g_raw_fd >= 0) tcsetattr(g_raw_fd, TCSANOW, &g_saved_settings);
  // What the run has registered is removed before the program ends.
  EndBySignal(signal_number);
}

// Raw mode for the life of the object: one byte a read, no echo, no line editing by the
// terminal; the keys that raise signals keep working.
class RawMode {
 public:
  explicit RawMode(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) != 0) return;
    g_saved_settings = saved_;
    g_raw_fd = fd_;
    struct sigaction action {};
    action.sa_handler = RestoreTerminalAndExit;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
      sigaction(kFatalSignals[i], &action, &old_actions_[i]);
    }
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(fd_, TCSAFLUSH, &raw) == 0;
  }
  ~RawMode() {
    if (g_raw_fd < 0) return;
    tcsetattr(fd_, TCSAFLUSH, &saved_);
    g_raw_fd = -1;
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
      sigaction(kFatalSignals[i], &old_actions_[i], nullptr);
    }
  }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

  bool active() const { return active_; }
  const termios& saved() const { return saved_; }

 private:
  int fd_;
  termios saved_{};
  struct sigaction old_actions_[std::size(kFatalSignals)]{};
  bool active_ = false;
};

// Reads one byte; false at end of input or on an error.
bool ReadByte(int fd, char& byte) {
  for (;;) {
    const ssize_t n = read(fd, &byte, 1);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Removes the last character (all bytes of a UTF-8 sequence); false when there is none.
bool EraseLastCharacter(std::string& line) {
  if (line.empty()) return false;
  while (!line.empty() && IsContinuationByte(line.back())) line.pop_back();
  if (!line.empty()) line.pop_back();
  return true;
}

}  // namespace

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

TerminalInput::TerminalInput(int input_fd, int echo_fd)
    : input_fd_(input_fd), echo_fd_(echo_fd), terminal_(isatty(input_fd) == 1) {}

void TerminalInput::Echo(const std::string& text) const {
  WriteAll(echo_fd_, text);
}

std::optional<std::string> TerminalInput::ReadLine(const std::string& offered, bool echo) {
  if (end_) return std::nullopt;
  std::optional<std::string> line = terminal_ ? ReadEdited(offered, echo) : ReadPiped();
  if (!line) end_ = true;
  Echo("\n");
  return line;
}

std::optional<std::string> TerminalInput::ReadPiped() {
  for (;;) {
    const std::size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    char buffer[4096];
    const ssize_t n = read(input_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A last line without its line end still counts.
      if (pending_.empty()) return std::nullopt;
      std::string line = std::move(pending_);
      pending_.clear();
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<std::string> TerminalInput::ReadEdited(const std::string& offered, bool echo) {
  RawMode raw(input_fd_);
  if (!raw.active()) return ReadPiped();
  const cc_t erase = raw.saved().c_cc[VERASE];
  const cc_t kill = raw.saved().c_cc[VKILL];
  const cc_t word_erase = raw.saved().c_cc[VWERASE];
  const cc_t end_of_file = raw.saved().c_cc[VEOF];

  std::string line = echo ? offered : std::string();
  // The offered path is shown as any name is; it is returned as it is.
  if (echo) Echo(Printable(line));
  auto erase_one = [&] {
    if (EraseLastCharacter(line) && echo) Echo("\b \b");
  };
  char c = 0;
  while (ReadByte(input_fd_, c)) {
    const auto key = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r') return line;
    if (end_of_file != 0 && key == end_of_file) {
      if (line.empty()) return std::nullopt;
      continue;
    }
    if (key == erase || key == 0x7F || key == 0x08) {
      erase_one();
    } else if (kill != 0 && key == kill) {
      while (!line.empty()) erase_one();
    } else if (word_erase != 0 && key == word_erase) {
      while (!line.empty() && line.back() == ' ') erase_one();
      while (!line.empty() && line.back() != ' ' && line.back() != '/') erase_one();
    } else if (key == 0x1B) {
      // An escape sequence (arrow keys and the like) is skipped whole.
      char next = 0;
      if (!ReadByte(input_fd_, next)) break;
      if (next == '[' || next == 'O') {
        char final_byte = 0;
        while (ReadByte(input_fd_, final_byte) && !(final_byte >= 0x40 && final_byte <= 0x7E)) {
        }
      }
    } else if (key >= 0x20) {
      line += c;
      if (echo) Echo(std::string(1, c));
    }
  }
  return std::nullopt;  // the terminal hung up
}

}  // namespace lorvante
