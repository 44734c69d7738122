// The Qt front end's module: starts the toolkit, runs the program's work with the Qt front end,
// and ends the event loop that the work has asked to end.
#include "ui/qt/qt_front_end.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/application.h"
#include "ui/qt/qt_ui.h"

extern "C" __attribute__((visibility("default"))) int LorvanteRunQtFrontEnd(
    const lorvante::QtFrontEndStart& start) {
  using namespace lorvante;
  int argc = start.argc;
  QApplication app(argc, start.argv);
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
  const int status = start.run(window_ui);
  // The conversion has requested the end; the event loop only takes that request. A run that
  // converted nothing (the open dialog cancelled) ends at once.
  if (Application.TerminateRequests() > 0) {
    QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
    app.exec();
  }
  return status;
}

extern "C" __attribute__((visibility("default"))) void LorvanteSendDesktopNotification(
    const lorvante::Notification& notification) {
  // The bus of the toolkit wants its application object; a terminal run has none until the
  // first notification, and keeps this one (without a display) until the process ends: it is
  // never destroyed, as the module is never unloaded.
  static int argc = 1;
  static char name[] = "lorvante";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* const app =
      QCoreApplication::instance() != nullptr ? nullptr : new QCoreApplication(argc, argv);
  static_cast<void>(app);
  lorvante::SendDesktopNotification(notification);
}
