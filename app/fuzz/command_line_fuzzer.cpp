// Feeds arbitrary bytes as the program's arguments (separated by null bytes) to the command-line
// reader, and runs a conversion for each file it finds, with every dialog cancelled, from a
// scratch folder. The files found must be exactly the arguments that are no options, in their
// order; each conversion must end the run once and leave nothing in the temporary folder.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/conversion_form.h"
#include "app/command_line.h"
#include "app/messages.h"
#include "ui/application.h"
#include "ui/user_interface.h"

namespace {

using namespace lorvante;
namespace fs = std::filesystem;

// Cancels every dialog and answers every message box with its first button.
class CancellingUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string&, const std::string&, unsigned) override { return 1; }
  std::string InputBox(const std::string&, const std::string&, const std::string& default_text,
                       bool) override {
    return default_text;
  }
  std::optional<std::string> SaveDialog(const SaveDialogRequest&) override { return {}; }
  void RunFolderDialog(const FolderDialogRequest&, FolderDialogClient& client) override {
    client.DialogShow();
    client.DialogClose();
  }
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(std::function<void()>) override {
    return nullptr;
  }
  void ProcessMessages() override {}
  std::optional<std::string> OpenDialog(const OpenDialogRequest&) override { return {}; }
  void Notify(const Notification&) override {}
  void ReportSkippedEntry(const SkippedEntryNotice&) override {}
};

struct Setup {
  Setup() {
    const char* dir = getenv("TMPDIR");
    root = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/cli-fuzz-XXXXXX";
    if (mkdtemp(root.data()) == nullptr) abort();
    fs::create_directory(root + "/tmp");
    fs::create_directory(root + "/work");
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    Application.SetUI(&ui);
    Application.Title = messages::kApplicationTitle;
    if (chdir((root + "/work").c_str()) != 0) abort();
  }
  ~Setup() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  std::string root;
  CancellingUserInterface ui;
};

// What the command line means, written plainly: options until "--" (an argument of two or more
// characters that begins with '-'), the first of help, version and a usage error decides, -o
// takes the next argument, every other argument is a file.
CommandLine Expected(const std::vector<std::string>& arguments) {
  CommandLine expected;
  const auto decide = [&](CommandLine::Action action) {
    if (expected.action == CommandLine::Action::kConvert) expected.action = action;
  };
  bool options = true;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options || argument.size() < 2 || argument[0] != '-') {
      expected.files.push_back(argument);
    } else if (argument == "--") {
      options = false;
    } else if (argument == "-h" || argument == "--help") {
      decide(CommandLine::Action::kHelp);
    } else if (argument == "-V" || argument == "--version") {
      decide(CommandLine::Action::kVersion);
    } else if (argument == "--batch") {
      expected.batch = true;
    } else if (argument == "-o" && i + 1 < arguments.size() && !arguments[i + 1].empty()) {
      expected.output = arguments[++i];
    } else {
      if (argument == "-o" && i + 1 < arguments.size()) ++i;
      decide(CommandLine::Action::kUsageError);
    }
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  std::vector<std::string> arguments;
  const auto* end = data + size;
  for (const auto* start = data; start < end;) {
    const auto* stop = std::find(start, end, std::uint8_t{0});
    arguments.emplace_back(start, stop);
    start = stop + 1;
  }
  // A few files at most: each is a whole conversion.
  if (arguments.size() > 8) return 0;
  const CommandLine command = ParseCommandLine(arguments);
  const CommandLine expected = Expected(arguments);
  if (command.action != expected.action || command.files != expected.files ||
      command.output != expected.output || command.batch != expected.batch) {
    abort();
  }
  Application.ResetTerminate();
  std::size_t conversions = 0;
  ConvertEach("lorvante", command.files, [&] {
    ++conversions;
    if (Application.ParamStr(1) != command.files[conversions - 1]) abort();
    TForm1 form(nullptr);
    form.Button1->Click();
    return true;
  });
  if (conversions != command.files.size()) abort();
  if (Application.TerminateRequests() != static_cast<int>(conversions)) abort();
  // Only the private temporary folder, empty: no payload and no run folder remain.
  std::size_t left = 0;
  for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(setup.root + "/tmp")) {
    ++left;
  }
  if (left > 1) abort();
  return 0;
}
