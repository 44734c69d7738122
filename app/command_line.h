// The program's command line: -h/--help, -V/--version, -o PATH and --batch; "--" ends the
// options, every other argument is an encrypted file, and any other argument that begins with
// '-' (but "-" alone) is a usage error. The files are converted one after the other.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/preset/preset_ui.h"
#include "ui/user_interface.h"

namespace lorvante {

// How the program ends in the terminal: every file converted; at least one failed or was
// cancelled (or left an entry out for other reasons than a newer file kept); a usage error. After
// signal n the status is 128 + n. The desktop front end always ends with kExitConverted.
enum ExitStatus : int { kExitConverted = 0, kExitNotConverted = 1, kExitUsage = 2 };

struct CommandLine {
  enum class Action { kConvert, kHelp, kVersion, kUsageError };
  Action action = Action::kConvert;   // the first of -h, -V and a usage error decides
  std::vector<std::string> files;     // in the order given
  std::optional<std::string> output;  // -o PATH: the answer of the save or folder dialog
  bool batch = false;                 // --batch: no question is asked
  std::string error;                  // what is wrong, for kUsageError
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
// from the current directory the first one started in; with several files the application's
// Subject names the file at hand. True when every conversion reported success.
bool ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<bool()>& convert);

// The same under the answers of the command line `answers`. With --batch, where no question
// reaches the user, bare files (text payloads) are converted several at once, one per usable
// core, each on a thread of its own (`convert` must allow that); their words (messages,
// summaries) are kept and said in the order of the files, each under its file's turn, as one
// after the other. A tagged file, whose extraction uses every core itself and shows its
// progress, is converted alone on the calling thread once the files before it are done; so is
// a file whose input, output or temporary name is that of a file still running.
bool ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<bool()>& convert, const PresetUserInterface& answers);

}  // namespace lorvante
