#include "ui/dialogs.h"

#include "ui/application.h"

namespace lorvante {

bool TSaveDialog::Execute() {
  SaveDialogRequest request;
  request.title = Title;
  request.initial_dir = InitialDir;
  request.file_name = FileName;
  request.default_suffix = DefaultExt;
  request.filter_index = FilterIndex;
  request.overwrite_prompt = OverwritePrompt;
  request.resizable = EnableSizing;
  // The filter is a list of pairs separated by bars.
  std::size_t start = 0;
  std::vector<std::string> parts;
  while (start <= Filter.size() && !Filter.empty()) {
    const std::size_t bar = Filter.find('|', start);
    parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    request.filters.emplace_back(parts[i], parts[i + 1]);
  }
  const auto chosen = Application.UI().SaveDialog(request);
  if (!chosen) return false;
  FileName = *chosen;
  return true;
}

}  // namespace lorvante
