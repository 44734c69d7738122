// The program's command line: -h/--help and -V/--version, "--" ends the options, every other
// argument is an encrypted file; the files are converted one after the other.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace lorvante {

struct CommandLine {
  enum class Action { kConvert, kHelp, kVersion };
  Action action = Action::kConvert;  // the first of -h and -V decides
  std::vector<std::string> files;    // in the order given
};

// Reads the arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage for --help, several lines.
std::string UsageText();
// The one line a terminal start without a file prints.
std::string UsageLine();
// "lorvante <version>" and a line break.
std::string VersionText();

// The open dialog of a start without a file: encrypted files (*.des) and all files, opened on the
// documents folder.
OpenDialogRequest InputFileRequest();

// Runs `convert` once for each file, with that file as argument 1 of the command line, each
// from the current directory the first one started in.
void ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<void()>& convert);

}  // namespace lorvante
