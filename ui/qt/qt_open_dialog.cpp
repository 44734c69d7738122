// The open dialog of the Qt front end: the program started without a file asks for one.
#include <QFileSystemModel>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

#include "ui/qt/literal_file_dialog.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

// What the dialog lists: the files of the selected entry's patterns and, for the first entry,
// also those whose type (by name or by content, as the desktop tells it) is one of the request's
// types. The dialog's own model lists every file (those its patterns do not name disabled);
// this filter hides the others and lets the types' files be chosen.
class TypeFilter : public QSortFilterProxyModel {
 public:
  TypeFilter(const OpenDialogRequest& request, const QFileDialog& dialog)
      : request_(request), dialog_(dialog) {
    for (const std::string& type : request.first_filter_types) {
      types_ << QString::fromStdString(type);
    }
    Update();
  }

  // Follows the entry selected in the dialog.
  void Update() {
    patterns_.clear();
    const int entry = static_cast<int>(dialog_.nameFilters().indexOf(dialog_.selectedNameFilter()));
    by_type_ = entry == 0 && !types_.isEmpty();
    if (entry >= 0 && entry < static_cast<int>(request_.filters.size())) {
      const QString patterns = QString::fromStdString(request_.filters[entry].second);
      for (const QString& pattern : patterns.split(u' ', Qt::SkipEmptyParts)) {
        patterns_.emplace_back(QRegularExpression::wildcardToRegularExpression(pattern),
                               QRegularExpression::CaseInsensitiveOption);
      }
    }
    invalidateFilter();
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
    // Rows shown are chosen here, not by the dialog's patterns.
    if (index.isValid()) flags |= Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return flags;
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* model = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (model == nullptr) return true;
    const QModelIndex index = model->index(row, 0, parent);
    if (model->isDir(index)) return true;
    const QString name = model->fileName(index);
    for (const QRegularExpression& pattern : patterns_) {
      if (pattern.match(name).hasMatch()) return true;
    }
    if (!by_type_) return false;
    const QMimeType type = mime_.mimeTypeForFile(model->filePath(index));
    for (const QString& wanted : types_) {
      if (type.inherits(wanted)) return true;
    }
    return false;
  }

 private:
  const OpenDialogRequest& request_;
  const QFileDialog& dialog_;
  QStringList types_;
  std::vector<QRegularExpression> patterns_;
  bool by_type_ = false;
  QMimeDatabase mime_;
};

}  // namespace

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
  auto* filter = new TypeFilter(request, dialog);
  dialog.setProxyModel(filter);  // the dialog owns it
  if (auto* model = qobject_cast<QFileSystemModel*>(filter->sourceModel())) {
    model->setNameFilterDisables(true);
  }
  QObject::connect(&dialog, &QFileDialog::filterSelected, filter, [filter] { filter->Update(); });
  return RunFileDialog(dialog);
}

}  // namespace lorvante
