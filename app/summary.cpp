#include "app/summary.h"

#include "app/messages.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "ui/application.h"

namespace lorvante {
namespace {

// `path` without a final '/' (the root stays "/").
std::string WithoutFinalSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

void AnnounceTextSaved(const std::string& file) {
  const std::string full = ExpandFileName(file);
  Application.UI().Notify({Application.Title, Format(messages::kTextSaved, {full}),
                           WithoutFinalSlash(ExtractFilePath(full))});
}

void AnnounceFilesExtracted(int count, const std::string& folder) {
  const std::string full = WithoutFinalSlash(ExpandFileName(folder));
  Application.UI().Notify(
      {Application.Title, Format(messages::kFilesExtracted, {count, full}), full});
}

}  // namespace lorvante
