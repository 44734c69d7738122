// The library's one failure type: the system's error number and a detail travelling together.
// A step that can fail returns false (nothing, -1) and fills a Failure; the batch turns it into
// a skip reason for the host and a traced message. Nothing crosses the C interface but those.
#pragma once

#include <string>

namespace unzdll {

struct Failure {
  int error = 0;        // errno value; 0 when the fault is not the system's
  std::string detail;   // what went wrong, in short English; empty when `error` says it all
  bool unsafe = false;  // refused for safety: a symbolic link stands where a folder belongs

  static Failure System(int error) { return {error, {}, false}; }
  static Failure Because(std::string detail) { return {0, std::move(detail), false}; }

  // The text for the trace: the detail, else the system's text for `error`; empty for neither.
  std::string Text() const;
};

}  // namespace unzdll
