// The open dialog of the Qt front end: the program started without a file asks for one.
#include "ui/qt/literal_file_dialog.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {

std::optional<std::string> QtUserInterface::OpenDialog(const OpenDialogRequest& request) {
  // Qt's own dialog, as the save dialog: it looks and behaves the same everywhere.
  LiteralFileDialog dialog;
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
  dialog.setNameFilters(NameFilters(request.filters));
  if (!request.initial_dir.empty()) {
    dialog.setDirectory(QString::fromStdString(request.initial_dir));
  }
  return RunFileDialog(dialog);
}

}  // namespace lorvante
