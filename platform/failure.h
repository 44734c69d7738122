// The one failure type of the program and its library: the system's error number and a detail
// travelling together. A fallible call returns it inside a Result (platform/result.h); the
// library turns it into a skip reason for the host and a traced message, the program's own code
// into the exception behind its user message.
#pragma once

#include <string>
#include <utility>

namespace lorvante {

struct Failure {
  int error = 0;        // errno value; 0 when the fault is not the system's
  std::string detail;   // what went wrong, in short English; empty when `error` says it all
  bool unsafe = false;  // refused for safety: a symbolic link stands where a folder belongs

  static Failure System(int error) { return {error, {}, false}; }
  static Failure Because(std::string detail) { return {0, std::move(detail), false}; }
  // The system's error with a detail of its own (the text of one of the program's own codes).
  static Failure SystemBecause(int error, std::string detail) {
    return {error, std::move(detail), false};
  }

  // The detail, else the system's text for `error`; empty for neither.
  std::string Text() const;
};

// The system's English text for an errno value ("Unknown error <n>" for one it does not know).
std::string ErrnoText(int error);

}  // namespace lorvante
