// The word at the end of a conversion, as a desktop notification on the session bus
// (org.freedesktop.Notifications). Where the service offers actions, the notification carries
// one that opens the result's folder; a small helper outlives the program to wait for it.
#include <QDBusConnection>
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
// The server's own display time.
constexpr int kServerDefaultExpiry = -1;
// The label of the action (the program's own texts are Hungarian): "Open folder".
constexpr char kOpenFolderLabel[] = "Mappa megnyitása";
constexpr char kHelperName[] = "lorvante-open-folder";

// The helper that waits for the user's click, in the program's private folder; empty when it is
// not there.
QString FolderHelper() {
  const std::string program = GetProgramPath();
  if (program.empty()) return {};
  const std::string helper =
      ExtractFilePath(program) + "../" + LORVANTE_PRIVATE_DIR + "/" + kHelperName;
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
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  const QDBusMessage capabilities_reply = CallService(bus, "GetCapabilities", {});
  if (capabilities_reply.type() != QDBusMessage::ReplyMessage) return;
  const QStringList capabilities = capabilities_reply.arguments().value(0).toStringList();

  QString body = QString::fromStdString(notification.body);
  // A server that reads markup would take '<' or '&' in a file name for a tag.
  if (capabilities.contains("body-markup")) body = body.toHtmlEscaped();
  const QString helper =
      notification.folder.empty() || !capabilities.contains("actions") ? QString() : FolderHelper();
  QStringList actions;
  if (!helper.isEmpty()) {
    // "default" is a click on the notification itself; the named one a button where shown.
    actions << "default" << kOpenFolderLabel << "open-folder" << kOpenFolderLabel;
  }
  QVariantMap hints;
  hints.insert("desktop-entry", QString(LORVANTE_APP_ID));
  const QString summary = QString::fromStdString(notification.summary);
  const QDBusMessage reply = CallService(
      bus, "Notify",
      {summary, 0U, QString(LORVANTE_APP_ID), summary, body, actions, hints, kServerDefaultExpiry});
  if (helper.isEmpty() || reply.type() != QDBusMessage::ReplyMessage) return;
  const unsigned id = reply.arguments().value(0).toUInt();
  QProcess::startDetached(helper,
                          {QString::number(id), QString::fromStdString(notification.folder)});
}

}  // namespace lorvante
