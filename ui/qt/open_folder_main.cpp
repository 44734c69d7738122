// lorvante-open-folder ID FOLDER: the program's helper behind a notification's action. It waits on
// the session bus for the user's answer to notification ID: a click opens FOLDER in the file
// manager (xdg-open); the notification's closing, the service's end, or a long silence ends the
// wait.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
// Some servers keep notifications without ever reporting them closed; the wait ends anyway.
constexpr int kLongestWaitMs = 30 * 60 * 1000;

class ActionWatch : public QObject {
  Q_OBJECT

 public:
  ActionWatch(unsigned id, QString folder) : id_(id), folder_(std::move(folder)) {}

 public Q_SLOTS:
  void ActionInvoked(uint id, const QString& key) {
    if (id != id_ || (key != "default" && key != "open-folder")) return;
    QProcess::startDetached("xdg-open", {folder_});
    QCoreApplication::quit();
  }
  void NotificationClosed(uint id, uint /*reason*/) {
    if (id == id_) QCoreApplication::quit();
  }

 private:
  unsigned id_;
  QString folder_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  bool valid = args.size() == 3;
  const unsigned id = valid ? args[1].toUInt(&valid) : 0;
  if (!valid || args[2].isEmpty()) return 2;

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return 0;
  ActionWatch watch(id, args[2]);
  const bool connected = bus.connect(kService, kPath, kInterface, "ActionInvoked", &watch,
                                     SLOT(ActionInvoked(uint, QString))) &&
                         bus.connect(kService, kPath, kInterface, "NotificationClosed", &watch,
                                     SLOT(NotificationClosed(uint, uint)));
  if (!connected) return 0;
  // A service that ends takes its notifications with it.
  QDBusServiceWatcher service_end(kService, bus, QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(&service_end, &QDBusServiceWatcher::serviceUnregistered, &app,
                   &QCoreApplication::quit);
  QTimer::singleShot(kLongestWaitMs, &app, &QCoreApplication::quit);
  return app.exec();
}

#include "open_folder_main.moc"
