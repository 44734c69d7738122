// The word to the user at the end of a conversion that worked: what was made and where. The
// front end shows it without a question (a desktop notification, a line in the terminal).
#pragma once

#include <string>

namespace lorvante {

// The text export wrote `file`.
void AnnounceTextSaved(const std::string& file);
// The folder export wrote `count` files into `folder`.
void AnnounceFilesExtracted(int count, const std::string& folder);

}  // namespace lorvante
