#include "ui/qt/qt_folder_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
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
#include <vector>

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
    if (watched == ok_button_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      bool chosen = false;
      Guard([&] { chosen = client_.OkButtonRelease(); });
      if (!chosen) return true;  // swallowed: the dialog stays open
      // The release goes on to the button, which completes its click; the dialog closes after.
      QPointer<QFileDialog> dialog(&dialog_);
      QMetaObject::invokeMethod(
          &dialog_,
          [dialog] {
            if (dialog && dialog->isVisible()) dialog->reject();
          },
          Qt::QueuedConnection);
      return false;
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

  void Reshape() {
    // A child that is not found is left alone.
    if (auto* combo = dialog_.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) combo->hide();
    if (auto* label = dialog_.findChild<QLabel*>(QStringLiteral("fileTypeLabel"))) label->hide();
    if (auto* box = dialog_.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
      ok_button_ = box->button(QDialogButtonBox::Open);
      if (ok_button_ != nullptr) ok_button_->installEventFilter(this);
    }
    file_name_ = dialog_.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));

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
  std::vector<QPointer<QAbstractItemView>> views_;
};

}  // namespace

void RunQtFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client,
                       const QWidget* main_window) {
  QPointer<QWidget> active(QApplication::activeWindow());
  QPointer<QWidget> focus(QApplication::focusWidget());

  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
  const QStringList filters = NameFilters(request);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setDirectory(PathToQt(request.initial_dir));
  dialog.setSizeGripEnabled(request.enable_sizing);

  std::exception_ptr error;
  {
    FolderDialogWatcher watcher(dialog, request, client, main_window);
    dialog.exec();
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
