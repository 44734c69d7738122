// The program entry: one conversion of the file named by argument 1, then the end.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include "app/Unit1.h"
#include "app/messages.h"
#include "ui/application.h"
#include "ui/qt/qt_ui.h"

int main(int argc, char* argv[]) {
  using namespace lorvante;
  std::vector<std::string> arguments(argv, argv + argc);

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
  Application.SetArguments(std::move(arguments));
  Application.Title = messages::kApplicationTitle;

  {
    TForm1 Form1(nullptr);
    // The form stays hidden: the user sees only the dialogs and message boxes.
    Form1.Button1->Click();
  }
  // The conversion has requested the end; the event loop only takes that request.
  if (Application.TerminateRequests() > 0) {
    QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
  }
  app.exec();
  return 0;
}
