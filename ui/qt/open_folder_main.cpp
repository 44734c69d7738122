// lorvante-open-folder SUMMARY BODY FOLDER: the program's helper behind a notification that offers
// to open FOLDER (where the service offers actions; otherwise it sends the notification without
// them and ends at once). The helper sends the notification itself, on its own bus connection, so
// that the service's answers (ActionInvoked, NotificationClosed) come to the process that waits for
// them. A click opens FOLDER in the file manager (xdg-open); the notification's closing, the
// service's end or the notification's own expiry (with a margin, for services that never report
// it) ends the wait. One helper per session: a newer one takes the helper's bus name, and the
// older one then withdraws its notification and ends.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <QVariantMap>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
// The helper's own name on the bus: whoever owns it is the one helper of the session.
constexpr char kHelperName[] = "org.lorvante.Lorvante.OpenFolder";
constexpr char kAppId[] = "org.lorvante.Lorvante";
// The label of the action (the program's own texts are Hungarian): "Open folder".
constexpr char kOpenFolderLabel[] = "Mappa megnyitása";
// The notification's own display time, and the wait beyond it for a closing that some services
// never report.
constexpr int kExpiryMs = 10 * 1000;
constexpr int kExpiryMarginMs = 5 * 1000;
// A slow service still gets its say; the helper runs apart from the program, which never waits.
constexpr int kReplyTimeoutMs = 5 * 1000;
constexpr int kArgumentCount = 4;

QDBusMessage CallService(const QString& method, const QVariantList& args) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  call.setArguments(args);
  return QDBusConnection::sessionBus().call(call, QDBus::Block, kReplyTimeoutMs);
}

class ActionWatch : public QObject {
  Q_OBJECT

 public:
  explicit ActionWatch(QString folder) : folder_(std::move(folder)) {}
  void SetId(unsigned id) { id_ = id; }

 public Q_SLOTS:
  void ActionInvoked(uint id, const QString& key) {
    if (id != id_ || (key != "default" && key != "open-folder")) return;
    QProcess::startDetached("xdg-open", {folder_});
    QCoreApplication::quit();
  }
  void NotificationClosed(uint id, uint /*reason*/) {
    if (id == id_) QCoreApplication::quit();
  }
  // A newer helper took the name: its notification replaces this one.
  void NameLost(const QString& name) {
    if (name != kHelperName) return;
    if (id_ != 0) {
      QDBusMessage call =
          QDBusMessage::createMethodCall(kService, kPath, kInterface, "CloseNotification");
      call << id_;
      QDBusConnection::sessionBus().send(call);
    }
    QCoreApplication::quit();
  }

 private:
  unsigned id_ = 0;
  QString folder_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != kArgumentCount || args[3].isEmpty()) return 2;
  const QString summary = args[1];
  QString body = args[2];
  const QString folder = args[3];

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return 0;
  ActionWatch watch(folder);
  // The answers are listened for before the notification exists, so that none is missed.
  const bool connected =
      bus.connect(kService, kPath, kInterface, "ActionInvoked", &watch,
                  SLOT(ActionInvoked(uint, QString))) &&
      bus.connect(kService, kPath, kInterface, "NotificationClosed", &watch,
                  SLOT(NotificationClosed(uint, uint))) &&
      bus.connect("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "NameLost", &watch, SLOT(NameLost(QString)));
  if (!connected) return 0;
  bus.interface()->registerService(kHelperName, QDBusConnectionInterface::ReplaceExistingService,
                                   QDBusConnectionInterface::AllowReplacement);

  const QDBusMessage capabilities = CallService("GetCapabilities", {});
  if (capabilities.type() != QDBusMessage::ReplyMessage) return 0;
  const QStringList offered = capabilities.arguments().value(0).toStringList();
  // A service that reads markup would take '<' or '&' in a file name for a tag.
  if (offered.contains("body-markup")) body = body.toHtmlEscaped();
  // "default" is a click on the notification itself; the named one a button where shown. A
  // service without actions gets none, and nothing waits.
  const bool clickable = offered.contains("actions");
  const QStringList actions =
      clickable ? QStringList{"default", kOpenFolderLabel, "open-folder", kOpenFolderLabel}
                : QStringList{};
  QVariantMap hints;
  hints.insert("desktop-entry", QString(kAppId));
  const QDBusMessage reply = CallService(
      "Notify", {summary, 0U, QString(kAppId), summary, body, actions, hints, kExpiryMs});
  if (reply.type() != QDBusMessage::ReplyMessage || !clickable) return 0;
  watch.SetId(reply.arguments().value(0).toUInt());

  // A service that ends takes its notifications with it.
  QDBusServiceWatcher service_end(kService, bus, QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(&service_end, &QDBusServiceWatcher::serviceUnregistered, &app,
                   &QCoreApplication::quit);
  QTimer::singleShot(kExpiryMs + kExpiryMarginMs, &app, &QCoreApplication::quit);
  return app.exec();
}

#include "open_folder_main.moc"
