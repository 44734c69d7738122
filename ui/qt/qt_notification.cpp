// The word at the end of a conversion, as a desktop notification on the session bus
// (org.freedesktop.Notifications). A small helper that outlives the program sends it: where the
// service offers actions, with one that opens the result's folder, and the helper waits for the
// answer itself; otherwise without actions, and nothing waits. Without the helper the program
// sends it, without actions.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include "platform/paths.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
// A service that has not answered within this time counts as absent: the program never waits
// longer for a word that is only a courtesy.
constexpr int kReplyTimeoutMs = 500;
// The notification's display time, the same as the helper asks for.
constexpr int kExpiryMs = 10 * 1000;
constexpr char kHelperName[] = "lorvante-open-folder";

// The helper that waits for the user's click, in the program's private folder; empty when it is
// not there.
QString FolderHelper() {
  const std::string program = GetProgramPath();
  if (program.empty()) return {};
  const std::string helper =
      ExtractFilePath(program) + "../" + LORVANTE_HELPER_DIR + "/" + kHelperName;
  return FileExists(helper) ? QString::fromStdString(ExpandFileName(helper)) : QString();
}

// Calls `method` of the notification service; an error reply when it does not answer in time.
QDBusMessage CallService(QDBusConnection& bus, const QString& method, const QVariantList& args) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  call.setArguments(args);
  return bus.call(call, QDBus::Block, kReplyTimeoutMs);
}

}  // namespace

void QtUserInterface::Notify(const Notification& notification) {
  SendDesktopNotification(notification);
}

void SendDesktopNotification(const Notification& notification) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  const QString summary = QString::fromStdString(notification.summary);
  QString body = QString::fromStdString(notification.body);
  const QString helper = notification.folder.empty() ? QString() : FolderHelper();
  if (!helper.isEmpty()) {
    // Only the bus itself is asked whether a service runs, which it answers at once. The helper
    // sends the notification, so that the service's answers reach the process that waits for
    // them, and it alone waits for a slow service.
    if (!bus.interface()->isServiceRegistered(kService)) return;
    QProcess::startDetached(helper, {summary, body, QString::fromStdString(notification.folder)});
    return;
  }
  const QDBusMessage capabilities_reply = CallService(bus, "GetCapabilities", {});
  if (capabilities_reply.type() != QDBusMessage::ReplyMessage) return;
  const QStringList capabilities = capabilities_reply.arguments().value(0).toStringList();
  // A server that reads markup would take '<' or '&' in a file name for a tag.
  if (capabilities.contains("body-markup")) body = body.toHtmlEscaped();
  QVariantMap hints;
  hints.insert("desktop-entry", QString(LORVANTE_APP_ID));
  CallService(
      bus, "Notify",
      {summary, 0U, QString(LORVANTE_APP_ID), summary, body, QStringList(), hints, kExpiryMs});
}

}  // namespace lorvante
