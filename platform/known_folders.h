// Folders of the user's session.
#pragma once

#include <string>

namespace lorvante {

// The user's documents folder: the desktop's own setting (XDG_DOCUMENTS_DIR in user-dirs.dirs
// of $XDG_CONFIG_HOME, or ~/.config), else ~/Documents; empty when that folder does not exist.
std::string GetDocumentsFolder();

}  // namespace lorvante
