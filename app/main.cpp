// The program entry: one conversion for each file named on the command line, then the end.
//
// With a display the user sees Qt dialogs; without one (over SSH, on a server), or with --batch,
// the same conversion runs in the terminal (--batch on a display notifies the desktop too). The
// display is checked before any GUI object exists, so a missing display never ends the program;
// the Qt front end is a module loaded only when a display is used, so that a run in the terminal
// neither loads nor starts the toolkit. Started
// without a file (from the desktop's menu), the program asks for one in an open dialog; the
// terminal prints its usage instead.
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/conversion_form.h"
#include "app/messages.h"
#include "platform/dynamic_library.h"
#include "platform/signal_cleanup.h"
#include "ui/application.h"
#include "ui/display_probe.h"
#include "ui/preset/preset_ui.h"
#include "ui/qt/qt_front_end.h"
#include "ui/terminal/terminal_ui.h"

namespace {

bool Convert() {
  using namespace lorvante;
  TForm1 Form1(nullptr);
  // The form stays hidden: the user sees only the dialogs and message boxes.
  Form1.Button1->Click();
  return Form1.Completed;
}

lorvante::PresetAnswers AnswersOf(const lorvante::CommandLine& command) {
  return {command.output, command.files.size() > 1, command.batch};
}

// A symbol of the Qt front end's module, loaded for the rest of the run; null, with the
// loader's reason on standard error, when it cannot be had.
void* QtFrontEndSymbol(const char* name) {
  using namespace lorvante;
  DynamicLibrary module;
  if (const Result<void> opened = module.Open(kQtFrontEndModule); !opened) {
    std::fprintf(stderr, "lorvante: %s: %s\n", kQtFrontEndModule, opened.failure().Text().c_str());
    return nullptr;
  }
  void* symbol = module.Symbol(name);
  // The toolkit's objects live until the program ends: the module is never unloaded.
  if (symbol != nullptr) module.Keep();
  return symbol;
}

// The run in the terminal: prompts and messages on standard error, the status for a script. On
// a display (--batch), the word at the end of each conversion also goes to the desktop's
// notification, through the Qt module, loaded at the first notification.
int RunInTerminal(const std::string& program, const lorvante::CommandLine& command,
                  bool desktop_notification) {
  using namespace lorvante;
  if (command.files.empty()) {
    std::fputs(UsageLine().c_str(), stderr);
    return kExitUsage;
  }
  TerminalUserInterface terminal;
  if (desktop_notification) {
    terminal.SetDesktopNotifier([](const Notification& notification) {
      static auto* notify =
          reinterpret_cast<DesktopNotifierEntry*>(QtFrontEndSymbol(kDesktopNotifierEntry));
      if (notify != nullptr) notify(notification);
    });
  }
  PresetUserInterface ui(terminal, AnswersOf(command));
  Application.SetUI(&ui);
  return ConvertEach(program, command.files, Convert, ui) ? kExitConverted : kExitNotConverted;
}

// The run on a display, with the Qt front end `window_ui`.
int RunOnDisplay(lorvante::UserInterface& window_ui, const std::string& program,
                 const lorvante::CommandLine& command) {
  using namespace lorvante;
  PresetUserInterface ui(window_ui, AnswersOf(command));
  Application.SetUI(&ui);
  std::vector<std::string> files = command.files;
  if (files.empty()) {
    // Started from the menu: the file is asked for; cancel ends the program silently.
    const std::optional<std::string> chosen = ui.OpenDialog(InputFileRequest());
    if (!chosen) return 0;
    files.push_back(*chosen);
  }
  // The desktop front end ends with 0 whatever the outcome: the boxes have said it.
  ConvertEach(program, files, Convert, ui);
  return 0;
}

// The entry of the Qt front end's module; null when it cannot be had.
lorvante::QtFrontEndEntry* LoadQtFrontEnd() {
  return reinterpret_cast<lorvante::QtFrontEndEntry*>(QtFrontEndSymbol(lorvante::kQtFrontEndEntry));
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace lorvante;
  const CommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (command.action == CommandLine::Action::kHelp) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (command.action == CommandLine::Action::kVersion) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  if (command.action == CommandLine::Action::kUsageError) {
    std::fputs(("lorvante: " + command.error + "\n" + UsageLine()).c_str(), stderr);
    return kExitUsage;
  }
  const std::string program = argc > 0 ? argv[0] : "lorvante";
  Application.SetArguments({program});
  Application.Title = messages::kApplicationTitle;
  // Ctrl+C, SIGTERM and SIGHUP remove the run's temporary files before the program ends.
  InstallSignalCleanup();

  const RunFrontEnd choice =
      ChooseRunFrontEnd(command.batch, ChooseFrontEnd(SystemDisplayEnvironment()));
  if (choice.front_end == FrontEnd::kGui) {
    // Ask the toolkit for the platform that was found to work.
    if (!choice.platform.empty()) setenv("QT_QPA_PLATFORM", choice.platform.c_str(), 1);
    // A module that cannot be loaded leaves the terminal, as a missing display does.
    if (QtFrontEndEntry* run_qt = LoadQtFrontEnd()) {
      QtFrontEndStart start;
      // The toolkit sees only the program's name: every argument is a file.
      start.argc = argc > 0 ? 1 : 0;
      start.argv = argv;
      start.run = [&](UserInterface& window_ui) {
        return RunOnDisplay(window_ui, program, command);
      };
      return run_qt(start);
    }
  }
  return RunInTerminal(program, command, choice.desktop_notification);
}
