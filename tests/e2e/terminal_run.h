// Runs of the built program on a machine without a display: no X or Wayland display and no
// toolkit platform named, a scratch home with a documents folder and a temporary folder of its
// own; the answers are piped to the program's input, everything it shows comes on its error
// output.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace lorvante::test {

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

  // The decrypted payload the program leaves for `input` in its private temporary folder.
  std::string PayloadLeftFor(const std::string& input) const;

 private:
  TempDir dir_;
};

}  // namespace lorvante::test
