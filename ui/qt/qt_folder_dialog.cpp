#include "ui/qt/qt_folder_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <functional>
#include <vector>

#include "ui/qt/literal_file_dialog.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

QString PathToQt(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string PathFromQt(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// "Directories (*.~#!)" for the entry ("Directories", "*.~#!").
QStringList NameFilters(const FolderDialogRequest& request) {
  QStringList filters;
  for (const auto& [text, pattern] : request.filters) {
    filters << QString::fromStdString(text) + QStringLiteral(" (") +
                   QString::fromStdString(pattern) + QStringLiteral(")");
  }
  return filters;
}

// The picker's dialog: every way of pressing OK ends in accept(), which asks `ok_pressed` instead
// of reading the name box as Qt's dialog would (opening a typed folder, or closing on the folder
// shown).
class FolderPickerDialog : public LiteralFileDialog {
 public:
  std::function<bool()> ok_pressed;

 protected:
  void accept() override {
    if (ok_pressed && ok_pressed()) QDialog::accept();
  }
};

// Watches one run of the dialog: reshapes it when it is first shown, then turns what the user
// does into the client's notifications.
class FolderDialogWatcher : public QObject {
 public:
  FolderDialogWatcher(QFileDialog& dialog, const FolderDialogRequest& request,
                      FolderDialogClient& client, const QWidget* main_window)
      : dialog_(dialog), request_(request), client_(client), main_window_(main_window) {
    dialog_.installEventFilter(this);
  }

  bool shown() const { return shown_; }
  // The first exception a notification raised, if any.
  std::exception_ptr error() const { return error_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &dialog_) {
      if (event->type() == QEvent::Show && !shown_) {
        shown_ = true;
        Guard([this] { Reshape(); });
      }
      return false;
    }
    if (watched == ok_button_) return OkButtonEvent(*event);
    if (watched == popup_ && event->type() == QEvent::MouseButtonPress) {
      return PopupPress(static_cast<QMouseEvent&>(*event));
    }
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      for (const auto& view : views_) {
        if (view && watched == view->viewport()) {
          // The view updates its selection after the filters have seen the press.
          QPointer<QAbstractItemView> clicked(view);
          QMetaObject::invokeMethod(
              this,
              [this, clicked] {
                if (clicked) Guard([&] { ListClicked(*clicked); });
              },
              Qt::QueuedConnection);
          break;
        }
      }
    }
    return false;
  }

 private:
  template <typename F>
  void Guard(F&& f) {
    if (error_) return;
    try {
      f();
    } catch (...) {
      error_ = std::current_exception();
      // Queued: the dialog may still be on its way to its modal loop.
      QPointer<QFileDialog> dialog(&dialog_);
      QMetaObject::invokeMethod(
          &dialog_,
          [dialog] {
            if (dialog) dialog->reject();
          },
          Qt::QueuedConnection);
    }
  }

  // The OK button follows the client, not the dialog: Qt greys it out while the name box holds a
  // folder, but OK chooses whenever a folder is known. What pressing it means is decided in
  // OkPressed, whichever way it was pressed.
  bool OkButtonEvent(QEvent& event) {
    switch (event.type()) {
      case QEvent::EnabledChange:
        if (ok_button_->isEnabled() != client_.CanChoose()) UpdateOkButton();
        return false;
      case QEvent::MouseButtonPress:
        release_taken_ = false;
        return false;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent&>(event).button() != Qt::LeftButton || !release_taken_) {
          return false;
        }
        // The press that began this click has already acted (it closed the completion popup).
        release_taken_ = false;
        ok_button_->setDown(false);
        return true;
      default:
        return false;
    }
  }

 public:
  // OK was pressed: a click, Enter in the name box, Space on the button or its mnemonic. True
  // when the client chose a folder and the dialog is to close.
  bool OkPressed() {
    bool chosen = false;
    const std::string name_box = file_name_ != nullptr ? PathFromQt(file_name_->text()) : "";
    Guard([&] { chosen = client_.OkButtonRelease(name_box); });
    return chosen;
  }

 private:
  // A press over OK while the name completion's popup is open: the popup would take the whole
  // click only to close. It closes, and the click acts on OK at once.
  bool PopupPress(const QMouseEvent& press) {
    if (press.button() != Qt::LeftButton || ok_button_ == nullptr || !ok_button_->isEnabled() ||
        !ok_button_->rect().contains(ok_button_->mapFromGlobal(press.globalPosition().toPoint()))) {
      return false;
    }
    popup_->hide();
    release_taken_ = true;
    ok_button_->click();
    return true;
  }

  void UpdateOkButton() {
    if (ok_button_ != nullptr) ok_button_->setEnabled(client_.CanChoose());
  }

  void Reshape() {
    // A child that is not found is left alone.
    if (auto* combo = dialog_.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) combo->hide();
    if (auto* label = dialog_.findChild<QLabel*>(QStringLiteral("fileTypeLabel"))) label->hide();
    // No places bar; the look-in box and the tool buttons stay.
    if (auto* sidebar = dialog_.findChild<QWidget*>(QStringLiteral("sidebar"))) sidebar->hide();
    if (auto* box = dialog_.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
      ok_button_ = box->button(QDialogButtonBox::Open);
      if (ok_button_ != nullptr) ok_button_->installEventFilter(this);
    }
    file_name_ = dialog_.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (file_name_ != nullptr && file_name_->completer() != nullptr) {
      popup_ = file_name_->completer()->popup();
      if (popup_ != nullptr) popup_->installEventFilter(this);
    }

    client_.DialogShow();
    if (!request_.enable_sizing) dialog_.setFixedSize(dialog_.size());
    PlaceFileDialog(dialog_, main_window_);

    // The dialog starts in detail mode; either view may be the one in use.
    for (const char* name : {"listView", "treeView"}) {
      if (auto* view = dialog_.findChild<QAbstractItemView*>(QLatin1String(name))) {
        view->viewport()->installEventFilter(this);
        views_.emplace_back(view);
      }
    }
    // Every folder the dialog opens after the first sets the model's root path.
    auto* model = dialog_.findChild<QFileSystemModel*>(QStringLiteral("qt_filesystem_model"));
    if (model == nullptr) model = dialog_.findChild<QFileSystemModel*>();
    if (model != nullptr) {
      connect(model, &QFileSystemModel::rootPathChanged, this,
              [this](const QString& folder) { Guard([&] { FolderChanged(folder); }); });
      FolderChanged(model->rootPath());
    } else {
      FolderChanged(dialog_.directory().absolutePath());
    }
  }

  void FolderChanged(const QString& folder) {
    client_.DialogFolderChange(PathFromQt(folder));
    UpdateOkButton();
    PostFileName();
  }

  void ListClicked(const QAbstractItemView& view) {
    std::string name;
    if (const QItemSelectionModel* selection = view.selectionModel()) {
      // Only the items the list shows count: the selection may still hold the folder just left
      // (after a double click opened it) or the folder itself (the dialog selects what the
      // file-name box names).
      QModelIndexList items;
      const QModelIndex root = view.rootIndex();
      for (const QModelIndex& index : selection->selectedIndexes()) {
        if (index.column() == 0 && index.parent() == root) items.push_back(index);
      }
      const auto first = std::min_element(
          items.begin(), items.end(),
          [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
      if (first != items.end()) {
        name = PathFromQt(first->data(QFileSystemModel::FileNameRole).toString());
      }
    }
    if (client_.FolderListClick(name)) PostFileName();
  }

  // Shows the client's text in the file-name box once the dialog has finished what it is doing:
  // the dialog empties the box after it has opened a folder.
  void PostFileName() {
    if (file_name_ == nullptr) return;
    FolderDialogClient* client = &client_;
    QPointer<QLineEdit> box(file_name_);
    QMetaObject::invokeMethod(
        file_name_,
        [client, box] {
          if (box) box->setText(PathToQt(client->FileNameText()));
        },
        Qt::QueuedConnection);
  }

  QFileDialog& dialog_;
  const FolderDialogRequest& request_;
  FolderDialogClient& client_;
  const QWidget* main_window_;
  bool shown_ = false;
  std::exception_ptr error_;
  QPointer<QPushButton> ok_button_;
  QPointer<QLineEdit> file_name_;
  QPointer<QWidget> popup_;     // the name completion's list
  bool release_taken_ = false;  // the press of the click in progress acted already
  std::vector<QPointer<QAbstractItemView>> views_;
};

}  // namespace

void RunQtFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client,
                       const QWidget* main_window) {
  QPointer<QWidget> active(QApplication::activeWindow());
  QPointer<QWidget> focus(QApplication::focusWidget());

  // A name typed with double quotes is one folder, as the client reads it.
  FolderPickerDialog dialog;
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowTitle(
      WindowTitle(request.title.empty() ? dialog.windowTitle().toStdString() : request.title));
  const QStringList filters = NameFilters(request);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setDirectory(PathToQt(request.initial_dir));
  dialog.setSizeGripEnabled(request.enable_sizing);

  std::exception_ptr error;
  {
    FolderDialogWatcher watcher(dialog, request, client, main_window);
    dialog.ok_pressed = [&watcher] { return watcher.OkPressed(); };
    dialog.exec();
    dialog.ok_pressed = nullptr;
    error = watcher.error();
    if (watcher.shown()) {
      try {
        client.DialogClose();
      } catch (...) {
        if (!error) error = std::current_exception();
      }
    }
  }
  if (active) active->activateWindow();
  if (focus) focus->setFocus();
  if (error) std::rethrow_exception(error);
}

}  // namespace lorvante
