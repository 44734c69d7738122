// The word to the user at the end of a conversion that worked: what was made and where. The
// front end shows it without a question (a desktop notification, a line in the terminal).
#pragma once

#include <map>
#include <string>

namespace lorvante {

// The text export wrote `file`.
void AnnounceTextSaved(const std::string& file);
// The folder export wrote `count` files into `folder`; `skipped` counts the entries that were
// not extracted by the unzip library's skip reason (TZip::SkippedReasons).
void AnnounceFilesExtracted(int count, const std::string& folder,
                            const std::map<int, int>& skipped = {});
// True when `skipped` (see AnnounceFilesExtracted) holds no entry left out but for the update
// rule (a newer file kept, no file to freshen): the archive counts as converted.
bool AllExtracted(const std::map<int, int>& skipped);
// "; <n> nem lett kibontva (<count> <reason>, ...)" for `skipped`, reasons in code order; empty
// when nothing was skipped.
std::string NotExtractedText(const std::map<int, int>& skipped);

}  // namespace lorvante
