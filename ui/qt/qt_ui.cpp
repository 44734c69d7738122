#include "ui/qt/qt_ui.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
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
// The column of the file dialogs' detail view that shows the date of a file.
constexpr int kDateColumn = 3;
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
  if (auto* file_dialog = qobject_cast<QFileDialog*>(&dialog)) WidenForTheDetails(*file_dialog);
  FitAndPlace(dialog, screen->geometry(), screen->availableGeometry());
}

void FitAndPlace(QWidget& dialog, const QRect& monitor, const QRect& available) {
  // The window manager's frame, once known; none before the window was first shown.
  const QSize decoration = dialog.frameGeometry().size() - dialog.size();
  const QSize room = (available.size() - decoration).expandedTo(QSize(1, 1));
  if (dialog.width() > room.width() || dialog.height() > room.height()) {
    const QSize fitted = dialog.size().boundedTo(room);
    const bool fixed = dialog.minimumSize() == dialog.maximumSize();
    dialog.setMinimumSize(dialog.minimumSize().boundedTo(fitted));
    if (fixed) dialog.setMaximumSize(fitted);
    dialog.resize(fitted);
  }
  const QSize frame = dialog.size() + decoration;
  int left = monitor.left() + (monitor.width() - frame.width()) / 2;
  int top = monitor.top() + (monitor.height() - frame.height()) / 3;
  // Where that leaves the part of the screen windows may use (a panel), it moves inside it.
  left =
      std::clamp(left, available.left(),
                 std::max(available.left(), available.left() + available.width() - frame.width()));
  top =
      std::clamp(top, available.top(),
                 std::max(available.top(), available.top() + available.height() - frame.height()));
  dialog.move(left, top);
}

void WidenForTheDetails(QFileDialog& dialog) {
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (view == nullptr || view->header() == nullptr) return;
  QHeaderView* header = view->header();
  if (header->count() <= kDateColumn) return;
  // The date column is made for a short date ("10/29/81 02:02PM"); a longer one, such as the
  // Hungarian "2026. 12. 28. 22:58", would be cut. Its width is that of a wide date in the
  // user's format, with the margins of a cell.
  const QDateTime wide_date(QDate(2026, 12, 28), QTime(22, 58));
  const QString date = QLocale().toString(wide_date, QLocale::ShortFormat);
  const int cell_margins =
      2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
  const QString title = header->model() != nullptr
                            ? header->model()->headerData(kDateColumn, Qt::Horizontal).toString()
                            : QString();
  const int title_width = header->fontMetrics().horizontalAdvance(title) + 2 * cell_margins +
                          header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
  const int date_width =
      std::max(view->fontMetrics().horizontalAdvance(date) + 2 * cell_margins, title_width);
  int wanted = 2 * view->frameWidth() +
               view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
  for (int section = 0; section < kDateColumn; ++section) {
    if (!header->isSectionHidden(section)) wanted += header->sectionSize(section);
  }
  if (header->sectionSize(kDateColumn) < date_width) header->resizeSection(kDateColumn, date_width);
  wanted += header->sectionSize(kDateColumn);
  const int extra = wanted - view->width();
  if (extra <= 0) return;
  const QSize widened(dialog.width() + extra, dialog.height());
  if (dialog.minimumSize() == dialog.maximumSize()) {
    dialog.setFixedSize(widened);
  } else {
    dialog.resize(widened);
  }
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
