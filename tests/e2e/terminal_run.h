// Runs of the built program on a machine without a display: no X or Wayland display and no
// toolkit platform named, a scratch home with a documents folder and a temporary folder of its
// own; the answers are piped to the program's input, everything it shows comes on its error
// output.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace lorvante::test {

// What a file held before a run that must leave it as it was.
inline constexpr char kOldContent[] = "what the user had under this name before";

// A run started in the background, for what happens to it while it works.
class BackgroundRun {
 public:
  BackgroundRun(pid_t pid, std::string err_file) : pid_(pid), err_file_(std::move(err_file)) {}
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;
  ~BackgroundRun();  // kills a run that was not waited for

  pid_t pid() const { return pid_; }
  // Waits for the end. Its exit status (-signal when killed) and its error output.
  RunResult Wait();

 private:
  pid_t pid_;
  std::string err_file_;
};

class Headless {
 public:
  Headless();

  const TempDir& dir() const { return dir_; }
  std::string Documents() const { return dir_ / "home/Documents"; }
  std::string Temp() const { return dir_ / "tmp"; }

  // Runs bin/lorvante with `arguments` (argument 1 on), `answers` piped to its input;
  // `environment` adds "NAME=value" or removes "NAME" on top of the machine's.
  RunResult Run(const std::vector<std::string>& arguments, const std::string& answers = {},
                const std::vector<std::string>& environment = {}) const;

  // The same run with `wrapper` in front of the program (a tracer, say).
  RunResult RunWrapped(const std::vector<std::string>& wrapper,
                       const std::vector<std::string>& arguments, const std::string& answers = {},
                       const std::vector<std::string>& environment = {}) const;

  // The same run started in the background; `file_size_limit` (bytes, 0 for none) limits the
  // size of every file it writes, as a full disk would.
  std::unique_ptr<BackgroundRun> Start(const std::vector<std::string>& arguments,
                                       const std::string& answers,
                                       unsigned long long file_size_limit = 0) const;

  // What the runs left in the temporary folder: every path below it, relative, sorted. A clean
  // machine has only the private folder, empty.
  std::vector<std::string> TempLeftovers() const;

 private:
  std::vector<std::string> Environment(const std::vector<std::string>& extra) const;

  TempDir dir_;
};

// Every "LORVANTE: " line of a run's error output (message boxes, notices and the summary),
// without the prefix.
std::vector<std::string> MessagesIn(const std::string& err);

}  // namespace lorvante::test
