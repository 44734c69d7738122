#include "ui/qt/qt_ui.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <stdexcept>

#include "ui/message_box.h"
#include "ui/qt/qt_folder_dialog.h"

namespace lorvante {
namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

QScreen* ScreenOf(const QWidget* window) {
  if (window != nullptr && window->screen() != nullptr) return window->screen();
  return QGuiApplication::primaryScreen();
}

}  // namespace

void PlaceFileDialog(QWidget& dialog, const QWidget* main_window) {
  const QWidget* anchor = QApplication::activeWindow();
  if (anchor == nullptr || anchor == &dialog) anchor = main_window;
  const QScreen* screen = ScreenOf(anchor);
  if (screen == nullptr) return;
  const QRect monitor = screen->geometry();
  const QRect frame = dialog.frameGeometry();
  dialog.move(monitor.left() + (monitor.width() - frame.width()) / 2,
              monitor.top() + (monitor.height() - frame.height()) / 3);
}

int QtUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                unsigned style) {
  QMessageBox box;
  box.setWindowTitle(ToQt(caption));
  box.setText(ToQt(text));
  box.setTextFormat(Qt::PlainText);
  switch (style & MB_ICONMASK) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  struct ButtonResult {
    QMessageBox::StandardButton button;
    int result;
  };
  std::vector<ButtonResult> buttons;
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_YESNOCANCEL:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO},
                 {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO: buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    default: buttons = {{QMessageBox::Ok, IDOK}}; break;
  }
  QMessageBox::StandardButtons set;
  for (const auto& b : buttons) set |= b.button;
  box.setStandardButtons(set);
  const std::size_t default_index = (style & MB_DEFMASK) >> 8;
  box.setDefaultButton(buttons[default_index < buttons.size() ? default_index : 0].button);
  // Escape and the close box answer Cancel where there is one, else the only button.
  const bool has_cancel = (style & MB_TYPEMASK) == MB_OKCANCEL ||
                          (style & MB_TYPEMASK) == MB_YESNOCANCEL;
  if ((style & MB_TYPEMASK) == MB_OK) box.setEscapeButton(QMessageBox::Ok);
  else if (has_cancel) box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  for (const auto& b : buttons) {
    if (clicked == box.button(b.button)) return b.result;
  }
  return has_cancel ? IDCANCEL : buttons.front().result;
}

std::string QtUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text, bool masked) {
  QInputDialog dialog;
  dialog.setWindowTitle(ToQt(caption));
  dialog.setLabelText(ToQt(prompt));
  dialog.setTextValue(ToQt(default_text));
  dialog.setTextEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
  if (dialog.exec() != QDialog::Accepted) return default_text;
  return dialog.textValue().toStdString();
}

std::optional<std::string> QtUserInterface::SaveDialog(const SaveDialogRequest& /*request*/) {
  throw std::logic_error("the save dialog is not built yet");
}

void QtUserInterface::RunFolderDialog(const FolderDialogRequest& request,
                                      FolderDialogClient& client) {
  // The program's own window stays hidden: the dialog is placed on the active window's monitor,
  // else on the primary one.
  RunQtFolderDialog(request, client, nullptr);
}

std::unique_ptr<ProgressDisplay> QtUserInterface::CreateProgressDisplay(
    std::function<void()> /*cancel_click*/) {
  throw std::logic_error("the progress window is not built yet");
}

void QtUserInterface::ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace lorvante
