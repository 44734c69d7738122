#include "app/summary.h"

#include "app/messages.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "ui/application.h"
#include "unzdll/unzdll_api.h"

namespace lorvante {
namespace {

const char* ReasonWords(int reason) {
  return reason > 0 && reason <= UNZ_SKIP_LAST_REASON ? messages::kSkipWords[reason] : nullptr;
}

}  // namespace

bool AllExtracted(const std::map<int, int>& skipped) {
  for (const auto& [reason, count] : skipped) {
    if (count > 0 && reason != UNZ_SKIP_KEPT_EXISTING && reason != UNZ_SKIP_NO_TARGET) return false;
  }
  return true;
}

std::string NotExtractedText(const std::map<int, int>& skipped) {
  std::string list;
  const auto add = [&list](int count, const char* words) {
    if (!list.empty()) list += ", ";
    list += std::to_string(count) + " " + words;
  };
  // Reasons without words of their own are counted together, after the named ones.
  int total = 0;
  int other = 0;
  for (const auto& [reason, count] : skipped) {
    if (count <= 0) continue;
    total += count;
    if (const char* words = ReasonWords(reason))
      add(count, words);
    else
      other += count;
  }
  if (other > 0) add(other, messages::kSkipOther);
  if (total == 0) return {};
  return Format(messages::kNotExtracted, {total, list});
}

void AnnounceTextSaved(const std::string& file) {
  const std::string full = ExpandFileName(file);
  Application.UI().Notify({Application.Title, Format(messages::kTextSaved, {full}),
                           WithoutTrailingSlashes(ExtractFilePath(full))});
}

void AnnounceFilesExtracted(int count, const std::string& folder,
                            const std::map<int, int>& skipped) {
  const std::string full = WithoutTrailingSlashes(ExpandFileName(folder));
  Application.UI().Notify(
      {Application.Title,
       Format(messages::kFilesExtracted, {count, full}) + NotExtractedText(skipped), full});
}

}  // namespace lorvante
