#include "app/command_line.h"

#include <unistd.h>

#include "app/messages.h"
#include "platform/confinement.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "ui/application.h"

namespace lorvante {
namespace {

constexpr char kUsageLine[] = "usage: lorvante [-h | -V] [-o PATH] [--batch] [--] [FILE.des ...]\n";
constexpr char kUsageDetails[] =
    "Decrypts each encrypted FILE in turn: a text payload is saved where the save dialog says,\n"
    "a zip payload is extracted into the folder the folder dialog picks. Without a FILE the\n"
    "program asks for one in an open dialog (on a display) or prints this usage.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  -o PATH        answer the save or folder dialog with PATH (a folder when several\n"
    "                 files are given)\n"
    "  --batch        ask nothing: existing files are kept, entries that need a password or\n"
    "                 have damaged data are not extracted; what was not done is reported\n"
    "  --             end of options: every later argument is a file\n"
    "\n"
    "Exit status in the terminal: 0 every file converted, 1 at least one failed or was\n"
    "cancelled, 2 usage error, 128+n after signal n.\n";
constexpr char kUnknownOption[] = "unknown option: ";
constexpr char kMissingValue[] = "option needs a value: ";
constexpr char kOutputOption[] = "-o";
constexpr char kBatchOption[] = "--batch";

bool IsOptionLike(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

void Choose(CommandLine& result, CommandLine::Action action) {
  if (result.action == CommandLine::Action::kConvert) result.action = action;
}

void UsageError(CommandLine& result, const std::string& error) {
  if (result.action != CommandLine::Action::kConvert) return;
  result.action = CommandLine::Action::kUsageError;
  result.error = error;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || !IsOptionLike(argument)) {
      result.files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "-h" || argument == "--help") {
      Choose(result, CommandLine::Action::kHelp);
    } else if (argument == "-V" || argument == "--version") {
      Choose(result, CommandLine::Action::kVersion);
    } else if (argument == kBatchOption) {
      result.batch = true;
    } else if (argument == kOutputOption) {
      if (i + 1 == arguments.size()) {
        UsageError(result, kMissingValue + argument);
      } else if (arguments[++i].empty()) {
        UsageError(result, kMissingValue + argument);
      } else {
        result.output = arguments[i];
      }
    } else {
      UsageError(result, kUnknownOption + argument);
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
  return std::string("lorvante ") + LORVANTE_VERSION + "\n" + ConfinementSummary() + "\n";
}

OpenDialogRequest InputFileRequest() {
  OpenDialogRequest request;
  request.title = messages::kOpenTitle;
  request.initial_dir = GetDocumentsFolder();
  request.filters = {{messages::kEncryptedFiles, "*.des"}, {messages::kAllFiles, "*"}};
  // The types the program installs: a tagged file is known by its first bytes, whatever its name.
  request.first_filter_types = {"application/x-lorvante-bare", "application/x-lorvante-tagged"};
  return request;
}

bool ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<bool()>& convert) {
  // A folder dialog moves the current directory to the folder chosen; each conversion starts
  // from where the program was started, so that a relative name means the same for every file.
  const std::string start = GetCurrentDir();
  bool all = true;
  for (const std::string& file : files) {
    // When the starting folder has gone, an absolute name still serves.
    if (!start.empty()) (void)!chdir(start.c_str());
    Application.SetArguments({program, file});
    Application.Subject = files.size() > 1 ? ExtractFileName(file) : std::string();
    ++Application.SubjectTurn;
    if (!convert()) all = false;
  }
  Application.Subject.clear();
  return all;
}

}  // namespace lorvante
