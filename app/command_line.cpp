#include "app/command_line.h"

#include <unistd.h>

#include "app/messages.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "ui/application.h"

namespace lorvante {
namespace {

constexpr char kUsageLine[] = "usage: lorvante [-h | -V] [--] [FILE.des ...]\n";
constexpr char kUsageDetails[] =
    "Decrypts each encrypted FILE in turn: a text payload is saved where the save dialog says,\n"
    "a zip payload is extracted into the folder the folder dialog picks. Without a FILE the\n"
    "program asks for one in an open dialog (on a display) or prints this usage.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end of options: every later argument is a file\n";

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (!options_ended && (argument == "-h" || argument == "--help")) {
      if (result.action == CommandLine::Action::kConvert)
        result.action = CommandLine::Action::kHelp;
    } else if (!options_ended && (argument == "-V" || argument == "--version")) {
      if (result.action == CommandLine::Action::kConvert) {
        result.action = CommandLine::Action::kVersion;
      }
    } else {
      result.files.push_back(argument);
    }
  }
  return result;
}

std::string UsageText() {
  return std::string(kUsageLine) + "\n" + kUsageDetails;
}

std::string UsageLine() {
  return kUsageLine;
}

std::string VersionText() {
  return std::string("lorvante ") + LORVANTE_VERSION + "\n";
}

OpenDialogRequest InputFileRequest() {
  OpenDialogRequest request;
  request.title = messages::kOpenTitle;
  request.initial_dir = GetDocumentsFolder();
  request.filters = {{messages::kEncryptedFiles, "*.des"}, {messages::kAllFiles, "*"}};
  return request;
}

void ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<void()>& convert) {
  // A folder dialog moves the current directory to the folder chosen; each conversion starts
  // from where the program was started, so that a relative name means the same for every file.
  const std::string start = GetCurrentDir();
  for (const std::string& file : files) {
    // When the starting folder has gone, an absolute name still serves.
    if (!start.empty()) (void)!chdir(start.c_str());
    Application.SetArguments({program, file});
    convert();
  }
}

}  // namespace lorvante
