// Answers typed by the user: lines read from a terminal or from piped input.
//
// On a terminal the line is edited in place: it starts with a text offered by the program (which
// Enter accepts and Backspace or Ctrl+U erase), and what is typed may be kept from the screen
// (passwords). The terminal's settings are restored on every way out, a fatal signal included.
// Elsewhere a line is read as it stands. Nothing means end of input.
#pragma once

#include <optional>
#include <string>

namespace lorvante {

class TerminalInput {
 public:
  // Reads from `input_fd`; typing on a terminal is echoed to `echo_fd`.
  TerminalInput(int input_fd, int echo_fd);

  // True when the input is a terminal (answers are edited in place).
  bool IsTerminal() const { return terminal_; }

  // One answer, without its line end. On a terminal the line starts with `offered`; with `echo`
  // false nothing typed is shown. Piped input ignores `offered`. Nothing at end of input
  // (Ctrl+D on an empty line, a closed pipe, a hung-up terminal). The cursor ends on a new line.
  std::optional<std::string> ReadLine(const std::string& offered, bool echo);

 private:
  std::optional<std::string> ReadPiped();
  std::optional<std::string> ReadEdited(const std::string& offered, bool echo);
  void Echo(const std::string& text) const;

  int input_fd_;
  int echo_fd_;
  bool terminal_;
  bool end_ = false;
  std::string pending_;  // bytes read past the last line
};

// Writes all of `text` to `fd`, retrying after interruptions; false when it could not.
bool WriteAll(int fd, const std::string& text);

}  // namespace lorvante
