// The open dialog of the Qt front end: the program started without a file asks for one.
#include <QEvent>
#include <QFileDialog>
#include <QObject>

#include "ui/qt/qt_ui.h"

namespace lorvante {

std::optional<std::string> QtUserInterface::OpenDialog(const OpenDialogRequest& request) {
  // Qt's own dialog, as the save dialog: it looks and behaves the same everywhere.
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
  QStringList filters;
  for (const auto& [text, pattern] : request.filters) {
    const QString entry = QString::fromStdString(text);
    const QString patterns = QString::fromStdString("(" + pattern + ")");
    filters << (entry.endsWith(patterns) ? entry : entry + " " + patterns);
  }
  dialog.setNameFilters(filters);
  if (!request.initial_dir.empty()) {
    dialog.setDirectory(QString::fromStdString(request.initial_dir));
  }
  struct Placer : QObject {
    bool eventFilter(QObject* object, QEvent* event) override {
      if (event->type() == QEvent::Show) PlaceFileDialog(*static_cast<QWidget*>(object), nullptr);
      return false;
    }
  } placer;
  dialog.installEventFilter(&placer);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  dialog.removeEventFilter(&placer);
  if (!accepted) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace lorvante
