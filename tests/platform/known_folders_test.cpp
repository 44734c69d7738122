// The documents folder: the desktop's setting in user-dirs.dirs (relative to $HOME or absolute,
// in $XDG_CONFIG_HOME or ~/.config), else ~/Documents; nothing when that folder is missing.
#include "platform/known_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/test_support.h"

namespace lorvante {
namespace {

struct DocumentsCase {
  const char* name;
  const char* user_dirs;  // the file's text; nullptr: no file
  bool config_home;       // the file lies in $XDG_CONFIG_HOME, not in ~/.config
  const char* made;       // the folder made below the home ("" for none)
  const char* expected;   // below the home; nullptr: empty
};

TEST(KnownFolders, DocumentsFolderAsTheDesktopNamesIt) {
  const DocumentsCase cases[] = {
      {"no setting", nullptr, false, "Documents", "Documents"},
      {"no setting, no folder", nullptr, false, "", nullptr},
      {"relative to the home",
       "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
       "XDG_DOCUMENTS_DIR=\"$HOME/Dokumentumok\"\n",
       false, "Dokumentumok", "Dokumentumok"},
      {"in the config home", "XDG_DOCUMENTS_DIR=\"$HOME/Iratok/\"\n", true, "Iratok", "Iratok"},
      {"named folder missing", "XDG_DOCUMENTS_DIR=\"$HOME/Nincs\"\n", false, "Documents", nullptr},
      {"other keys only", "XDG_MUSIC_DIR=\"$HOME/Zene\"\n", false, "Documents", "Documents"},
      {"relative path ignored", "XDG_DOCUMENTS_DIR=\"Iratok\"\n", false, "Documents", "Documents"},
  };
  for (const DocumentsCase& c : cases) {
    test::TempDir dir;
    const std::string home = dir / "home";
    const std::string config = c.config_home ? dir / "config" : home + "/.config";
    mkdir(home.c_str(), 0700);
    mkdir(config.c_str(), 0700);
    if (c.made[0] != '\0') mkdir((home + "/" + c.made).c_str(), 0700);
    if (c.user_dirs != nullptr) test::WriteText(config + "/user-dirs.dirs", c.user_dirs);
    const test::ScopedEnv home_env("HOME", home);
    const test::ScopedEnv config_env("XDG_CONFIG_HOME", c.config_home ? config : "");
    EXPECT_EQ(GetDocumentsFolder(), c.expected ? home + "/" + c.expected : "") << c.name;
  }
}

// An absolute setting is taken as it stands.
TEST(KnownFolders, AbsoluteSettingIsTakenAsItStands) {
  test::TempDir dir;
  const std::string home = dir / "home";
  mkdir(home.c_str(), 0700);
  mkdir((home + "/.config").c_str(), 0700);
  mkdir((dir / "iratok").c_str(), 0700);
  test::WriteText(home + "/.config/user-dirs.dirs",
                  "XDG_DOCUMENTS_DIR=\"" + (dir / "iratok") + "\"\n");
  const test::ScopedEnv home_env("HOME", home);
  const test::ScopedEnv config_env("XDG_CONFIG_HOME", "");
  EXPECT_EQ(GetDocumentsFolder(), dir / "iratok");
}

}  // namespace
}  // namespace lorvante
