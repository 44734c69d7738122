#include "ui/qt/literal_file_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace lorvante {
namespace {

constexpr QChar kNameQuote = u'"';  // Qt's separator of several names in the box
constexpr char kFileNameBox[] = "fileNameEdit";
constexpr char kButtonBox[] = "buttonBox";

QString ExpandTilde(const QString& typed) {
  if (typed == QStringLiteral("~")) return QDir::homePath();
  if (typed.startsWith(QStringLiteral("~/"))) return QDir::homePath() + typed.mid(1);
  return typed;
}

}  // namespace

QString TypedPath(const QString& typed, const QString& folder, const QString& default_suffix) {
  const QDir dir(folder);
  QString path = QFileInfo::exists(dir.filePath(typed)) ? typed : ExpandTilde(typed);
  path = QDir::cleanPath(dir.absoluteFilePath(path));
  const QFileInfo info(path);
  if (!default_suffix.isEmpty() && !info.isDir() && !info.fileName().contains(u'.')) {
    path += u'.' + default_suffix;
  }
  return path;
}

LiteralFileDialog::LiteralFileDialog() {
  // The name box and the behaviour below are those of Qt's own dialog, not the desktop's.
  setOption(QFileDialog::DontUseNativeDialog, true);
}

QString LiteralFileDialog::ChosenFile() const {
  if (!typed_.isEmpty()) return typed_;
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

void LiteralFileDialog::accept() {
  typed_.clear();
  const auto* box = findChild<QLineEdit*>(QLatin1String(kFileNameBox));
  if (box == nullptr || !box->text().contains(kNameQuote)) {
    QFileDialog::accept();
    return;
  }
  AcceptTyped(TypedPath(box->text(), directory().absolutePath(), defaultSuffix()));
}

void LiteralFileDialog::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  if (watching_) return;
  if (auto* box = findChild<QLineEdit*>(QLatin1String(kFileNameBox))) {
    // Connected after Qt's own update of the button, so this one has the last word.
    connect(box, &QLineEdit::textChanged, this, [this] { EnableAcceptForQuotes(); });
    watching_ = true;
  }
}

void LiteralFileDialog::EnableAcceptForQuotes() {
  const auto* box = findChild<QLineEdit*>(QLatin1String(kFileNameBox));
  auto* buttons = findChild<QDialogButtonBox*>(QLatin1String(kButtonBox));
  if (box == nullptr || buttons == nullptr || !box->text().contains(kNameQuote)) return;
  for (QAbstractButton* button : buttons->buttons()) {
    if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) button->setEnabled(true);
  }
}

void LiteralFileDialog::AcceptTyped(const QString& path) {
  const QFileInfo info(path);
  if (info.isDir()) {
    // As Qt does with a typed folder: the dialog opens it and stays.
    setDirectory(path);
    if (auto* box = findChild<QLineEdit*>(QLatin1String(kFileNameBox))) box->clear();
    return;
  }
  const bool must_exist =
      fileMode() == QFileDialog::ExistingFile || fileMode() == QFileDialog::ExistingFiles;
  if (must_exist && !info.exists()) {
    QMessageBox::warning(this, windowTitle(),
                         tr("%1\nFile not found.\nPlease verify the correct file name was given.")
                             .arg(info.fileName()));
    return;
  }
  if (acceptMode() == QFileDialog::AcceptSave && info.exists() &&
      !testOption(QFileDialog::DontConfirmOverwrite)) {
    const auto answer = QMessageBox::warning(
        this, windowTitle(),
        tr("%1 already exists.\nDo you want to replace it?").arg(info.fileName()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  typed_ = path;
  QDialog::accept();
}

}  // namespace lorvante
