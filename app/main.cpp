// The program entry: one conversion for each file named on the command line, then the end.
//
// With a display the user sees Qt dialogs; without one (over SSH, on a server) the same
// conversion runs in the terminal. The display is checked before any GUI object exists, so a
// missing display never ends the program. Started without a file (from the desktop's menu), the
// program asks for one in an open dialog; the terminal prints its usage instead.
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/conversion_form.h"
#include "app/messages.h"
#include "platform/signal_cleanup.h"
#include "ui/application.h"
#include "ui/display_probe.h"
#include "ui/preset/preset_ui.h"
#include "ui/qt/qt_ui.h"
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
  // Qt sees only the program's name: every argument is a file, even one that looks like a Qt
  // option ("-style").
  int qt_argc = argc > 0 ? 1 : 0;
  Application.Title = messages::kApplicationTitle;
  // Ctrl+C, SIGTERM and SIGHUP remove the run's temporary files before the program ends.
  InstallSignalCleanup();

  const FrontEndChoice choice = ChooseFrontEnd(SystemDisplayEnvironment());
  if (choice.front_end == FrontEnd::kTerminal) {
    if (command.files.empty()) {
      std::fputs(UsageLine().c_str(), stderr);
      return kExitUsage;
    }
    // Qt Core without a display serves the folder lookups.
    QCoreApplication app(qt_argc, argv);
    TerminalUserInterface terminal;
    PresetUserInterface ui(terminal, AnswersOf(command));
    Application.SetUI(&ui);
    return ConvertEach(program, command.files, Convert) ? kExitConverted : kExitNotConverted;
  }
  // Ask the toolkit for the platform that was found to work.
  if (!choice.platform.empty()) setenv("QT_QPA_PLATFORM", choice.platform.c_str(), 1);

  QApplication app(qt_argc, argv);
  // No display name: Qt would append it to every window's caption ("Open — LORVANTE"); the
  // dialogs keep their standard captions and the message boxes carry the title themselves.
  QApplication::setQuitOnLastWindowClosed(false);
  // Ties the windows to the desktop entry (task bar icon and name).
  QGuiApplication::setDesktopFileName(LORVANTE_APP_ID);
  // The windows' own icon, from the icon theme where the package installed it.
  QApplication::setWindowIcon(QIcon::fromTheme(LORVANTE_APP_ID));
  // Qt's own dialogs speak the user's language where a translation is installed.
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qt_texts);
  }

  QtUserInterface window_ui;
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
  ConvertEach(program, files, Convert);
  // The conversion has requested the end; the event loop only takes that request.
  if (Application.TerminateRequests() > 0) {
    QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
  }
  app.exec();
  return 0;
}
