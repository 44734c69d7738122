#include "ui/qt/qt_ui.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <stdexcept>

#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/literal_file_dialog.h"
#include "ui/qt/progress_form.h"
#include "ui/qt/qt_folder_dialog.h"

namespace lorvante {
namespace {

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

// Between a window's title and the file it is for: "LORVANTE — report.des".
constexpr char kSubjectSeparator[] = " — ";
// A title bar's text is often set larger or bolder than the box's; its buttons need room.
constexpr int kCaptionFontScalePercent = 125;
constexpr int kTitleBarButtonsWidth = 120;

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

QString WindowTitle(const std::string& title) {
  if (Application.Subject.empty()) return ToQt(title);
  return ToQt(title.empty() ? Application.Subject
                            : title + kSubjectSeparator + Application.Subject);
}

void FitCaption(QMessageBox& box) {
  // The title bar's font is the window manager's; the box's own font, a little enlarged, stands
  // in for it, and the buttons of the bar get room of their own.
  const int caption = box.fontMetrics().horizontalAdvance(box.windowTitle());
  const int wanted = caption * kCaptionFontScalePercent / 100 + kTitleBarButtonsWidth;
  auto* layout = qobject_cast<QGridLayout*>(box.layout());
  if (layout == nullptr) return;
  layout->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  layout->rowCount(), 0, 1, layout->columnCount());
}

int QtUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                unsigned style) {
  return DetailedMessageBox(text, {}, caption, style);
}

int QtUserInterface::DetailedMessageBox(const std::string& text, const std::string& details,
                                        const std::string& caption, unsigned style) {
  QMessageBox box;
  box.setWindowTitle(WindowTitle(caption));
  box.setText(ToQt(text));
  box.setTextFormat(Qt::PlainText);
  if (!details.empty()) box.setDetailedText(ToQt(details));
  switch (style & MB_ICONMASK) {
    case MB_ICONSTOP:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONWARNING:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  struct ButtonResult {
    QMessageBox::StandardButton button;
    int result;
  };
  std::vector<ButtonResult> buttons;
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNOCANCEL:
      buttons = {
          {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
      break;
    default:
      buttons = {{QMessageBox::Ok, IDOK}};
      break;
  }
  QMessageBox::StandardButtons set;
  for (const auto& b : buttons) set |= b.button;
  box.setStandardButtons(set);
  const std::size_t default_index = (style & MB_DEFMASK) >> 8;
  box.setDefaultButton(buttons[default_index < buttons.size() ? default_index : 0].button);
  // Escape and the close box answer Cancel where there is one, else the only button.
  const bool has_cancel =
      (style & MB_TYPEMASK) == MB_OKCANCEL || (style & MB_TYPEMASK) == MB_YESNOCANCEL;
  if ((style & MB_TYPEMASK) == MB_OK)
    box.setEscapeButton(QMessageBox::Ok);
  else if (has_cancel)
    box.setEscapeButton(QMessageBox::Cancel);
  FitCaption(box);
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
  dialog.setWindowTitle(WindowTitle(caption));
  dialog.setLabelText(ToQt(prompt));
  dialog.setTextValue(ToQt(default_text));
  dialog.setTextEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
  if (dialog.exec() != QDialog::Accepted) return default_text;
  return dialog.textValue().toStdString();
}

std::optional<std::string> QtUserInterface::SaveDialog(const SaveDialogRequest& request) {
  // Qt's own dialog, not the desktop's, so that it looks and behaves the same everywhere.
  LiteralFileDialog dialog;
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwrite_prompt);
  // The platform's own title unless one is asked for; either names the file at hand.
  dialog.setWindowTitle(
      WindowTitle(request.title.empty() ? dialog.windowTitle().toStdString() : request.title));
  dialog.setDefaultSuffix(ToQt(request.default_suffix));
  const QStringList filters = NameFilters(request.filters);
  dialog.setNameFilters(filters);
  if (request.filter_index >= 1 && request.filter_index <= filters.size()) {
    dialog.selectNameFilter(filters[request.filter_index - 1]);
  }
  if (!request.initial_dir.empty()) dialog.setDirectory(ToQt(request.initial_dir));
  // A name with a folder opens the dialog in that folder, as the system's dialogs do.
  if (!request.file_name.empty()) dialog.selectFile(ToQt(request.file_name));
  dialog.setSizeGripEnabled(request.resizable);
  if (!request.resizable) {
    dialog.ensurePolished();
    dialog.adjustSize();
    dialog.setFixedSize(dialog.size());
  }
  return RunFileDialog(dialog);
}

QStringList NameFilters(const std::vector<std::pair<std::string, std::string>>& filters) {
  QStringList entries;
  for (const auto& [text, pattern] : filters) {
    // Qt reads the patterns from the parentheses at the end of an entry.
    const QString entry = ToQt(text);
    const QString patterns = ToQt("(" + pattern + ")");
    entries << (entry.endsWith(patterns) ? entry : entry + " " + patterns);
  }
  return entries;
}

std::optional<std::string> RunFileDialog(LiteralFileDialog& dialog) {
  // Placed once it has been laid out and is about to appear.
  struct Placer : QObject {
    bool eventFilter(QObject* object, QEvent* event) override {
      if (event->type() == QEvent::Show) PlaceFileDialog(*static_cast<QWidget*>(object), nullptr);
      return false;
    }
  } placer;
  dialog.installEventFilter(&placer);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.ChosenFile().isEmpty();
  dialog.removeEventFilter(&placer);
  if (!accepted) return std::nullopt;
  return dialog.ChosenFile().toStdString();
}

void QtUserInterface::RunFolderDialog(const FolderDialogRequest& request,
                                      FolderDialogClient& client) {
  // The program's own window stays hidden: the dialog is placed on the active window's monitor,
  // else on the primary one.
  RunQtFolderDialog(request, client, nullptr);
}

std::unique_ptr<ProgressDisplay> QtUserInterface::CreateProgressDisplay(
    std::function<void()> cancel_click) {
  return std::make_unique<TProgressForm>(std::move(cancel_click));
}

void QtUserInterface::ProcessMessages() {
  QCoreApplication::processEvents();
}

ScreenRect QtUserInterface::AvailableGeometry() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect area = screen->availableGeometry();
  return {area.left(), area.top(), area.width(), area.height()};
}

}  // namespace lorvante
