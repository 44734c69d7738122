// The program entry: one conversion of the file named by argument 1, then the end.
//
// With a display the user sees Qt dialogs; without one (over SSH, on a server) the same
// conversion runs in the terminal. The display is checked before any GUI object exists, so a
// missing display never ends the program.
#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <cstdlib>

#include "app/Unit1.h"
#include "app/messages.h"
#include "ui/application.h"
#include "ui/display_probe.h"
#include "ui/qt/qt_ui.h"
#include "ui/terminal/terminal_ui.h"

namespace {

void Convert() {
  using namespace lorvante;
  TForm1 Form1(nullptr);
  // The form stays hidden: the user sees only the dialogs and message boxes.
  Form1.Button1->Click();
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace lorvante;
  Application.SetArguments(std::vector<std::string>(argv, argv + argc));
  Application.Title = messages::kApplicationTitle;

  const FrontEndChoice choice = ChooseFrontEnd(SystemDisplayEnvironment());
  if (choice.front_end == FrontEnd::kTerminal) {
    // Qt Core without a display serves the folder lookups.
    QCoreApplication app(argc, argv);
    TerminalUserInterface ui;
    Application.SetUI(&ui);
    Convert();
    return 0;
  }
  // Ask the toolkit for the platform that was found to work.
  if (!choice.platform.empty()) setenv("QT_QPA_PLATFORM", choice.platform.c_str(), 1);

  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(messages::kApplicationTitle);
  QApplication::setQuitOnLastWindowClosed(false);
  // Qt's own dialogs speak the user's language where a translation is installed.
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qt_texts);
  }

  QtUserInterface ui;
  Application.SetUI(&ui);
  Convert();
  // The conversion has requested the end; the event loop only takes that request.
  if (Application.TerminateRequests() > 0) {
    QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
  }
  app.exec();
  return 0;
}
