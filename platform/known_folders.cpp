#include "platform/known_folders.h"

#include <QDir>
#include <QStandardPaths>

namespace lorvante {

std::string GetDocumentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) return {};
  return folder.toStdString();
}

}  // namespace lorvante
