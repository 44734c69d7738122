#include "platform/known_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

namespace lorvante {
namespace {

constexpr std::string_view kDocumentsKey = "XDG_DOCUMENTS_DIR=";
constexpr std::string_view kHomeVariable = "$HOME";

// The user's home folder: $HOME, else the password database's entry.
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  // The reentrant lookup: conversions of a batch ask from several threads.
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

// The folder of the user's settings: $XDG_CONFIG_HOME when absolute, else ~/.config.
std::string ConfigFolder(const std::string& home) {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return config;
  }
  return home + "/.config";
}

// The documents folder that user-dirs.dirs in `config` names ("$HOME/..." or an absolute path,
// in double quotes); empty when it names none.
std::string NamedDocumentsFolder(const std::string& config, const std::string& home) {
  std::ifstream file(config + "/user-dirs.dirs");
  std::string line;
  std::string folder;
  while (std::getline(file, line)) {
    if (!line.starts_with(kDocumentsKey)) continue;
    std::string_view value = std::string_view(line).substr(kDocumentsKey.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.starts_with(kHomeVariable)) {
      folder = home + std::string(value.substr(kHomeVariable.size()));
    } else if (value.starts_with('/')) {
      folder = value;
    }
  }
  return folder;
}

}  // namespace

std::string GetDocumentsFolder() {
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  std::string folder = NamedDocumentsFolder(ConfigFolder(home), home);
  if (folder.empty()) folder = home + "/Documents";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  return folder;
}

}  // namespace lorvante
