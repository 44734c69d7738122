// The component's logic, run through the scripted front end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "opendir/OpenDir.h"
#include "platform/paths.h"
#include "tests/opendir/open_directory_fixture.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/scripted/scripted_ui.h"

namespace lorvante {
namespace {

namespace fs = std::filesystem;

class OpenDirectoryTest : public test::OpenDirectoryFixture<ScriptedUserInterface> {
 protected:
  void SetUp() override {
    OpenDirectoryFixture::SetUp();
    fs::create_directories(tmp_ / "Data/Sub");
    dialog_.OnShow = Logger("show");
    dialog_.OnFolderChange = Logger("folder");
    dialog_.OnClose = Logger("close");
  }
  // A dialog run that shows `folder`, lets `between` act, releases over OK and closes.
  void Script(const std::string& folder,
              std::function<void(FolderDialogClient&)> between = nullptr) {
    ui_.AnswerFolderDialog([folder, between](FolderDialogClient& client) {
      client.DialogShow();
      client.DialogFolderChange(folder);
      if (between) between(client);
      client.OkButtonRelease(client.FileNameText());
      client.DialogClose();
    });
  }
};

TEST_F(OpenDirectoryTest, AsksForAFolderOnlyDialog) {
  dialog_.Title = "Célmappa";
  dialog_.InitialDir = tmp_ / "Data/";
  dialog_.EnableSizing = false;
  ui_.AnswerFolderDialog(ScriptedUserInterface::CancelFolder());
  dialog_.Execute();
  ASSERT_EQ(ui_.shown.size(), 1u);
  const FolderDialogRequest& request = ui_.shown[0].folder;
  EXPECT_EQ(request.title, "Célmappa");
  EXPECT_EQ(request.initial_dir, tmp_ / "Data");
  EXPECT_FALSE(request.enable_sizing);
  ASSERT_EQ(request.filters.size(), 1u);
  EXPECT_EQ(request.filters[0].first, "Directories");
  EXPECT_EQ(request.filters[0].second, "*.~#!");
}

TEST_F(OpenDirectoryTest, TheInitialFolderLosesOneTrailingSlashTheRootKeepsIt) {
  const struct {
    std::string initial_dir;
    std::string expected;
  } cases[] = {
      {"/", "/"},
      {tmp_ / "Data/", tmp_ / "Data"},
      {tmp_ / "Data//", tmp_ / "Data/"},
      {tmp_ / "Data", tmp_ / "Data"},
      {"", tmp_.path()},  // the current directory
  };
  fs::current_path(tmp_.path());
  for (const auto& c : cases) {
    dialog_.InitialDir = c.initial_dir;
    ui_.AnswerFolderDialog(ScriptedUserInterface::CancelFolder());
    dialog_.Execute();
    EXPECT_EQ(ui_.shown.back().folder.initial_dir, c.expected) << c.initial_dir;
  }
}

TEST_F(OpenDirectoryTest, ChoosingALocalFolderMakesItCurrent) {
  const std::string folder = tmp_ / "Data";
  Script(folder);
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), folder);
  EXPECT_EQ(dialog_.UNCDirectory(), "");
  EXPECT_EQ(GetCurrentDir(), folder);
  // Every event comes from the run's state, and OnClose sees the results before the adjustment.
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"show", "folder", "close"}));
  for (const auto& e : events_) EXPECT_EQ(e.sender, dialog_.Impl()) << e.name;
  EXPECT_EQ(events_[1].directory, folder);
  EXPECT_EQ(events_[2].unc_directory, folder);
}

TEST_F(OpenDirectoryTest, NoChangeDirLeavesTheCurrentDirectory) {
  dialog_.NoChangeDir = true;
  Script(tmp_ / "Data");
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Data");
  EXPECT_EQ(GetCurrentDir(), start_dir_);
}

TEST_F(OpenDirectoryTest, CancelGivesNothingEvenAfterAFolderAndAClick) {
  ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogFolderChange(tmp_ / "Data");
    EXPECT_TRUE(client.FolderListClick("Sub"));
    client.DialogClose();
  });
  EXPECT_FALSE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), "");
  EXPECT_EQ(dialog_.UNCDirectory(), "");
  EXPECT_EQ(GetCurrentDir(), start_dir_);
  EXPECT_EQ(events_.back().directory, tmp_ / "Data/Sub");  // OnClose still saw the click
}

TEST_F(OpenDirectoryTest, AListClickJoinsTheNameWithoutDoublingTheSlash) {
  const struct {
    std::string folder;
    std::string expected;
  } cases[] = {{"/", "/Sub"}, {"/data", "/data/Sub"}, {"/data/", "/data/Sub"}};
  for (const auto& c : cases) {
    dialog_.NoChangeDir = true;
    Script(c.folder, [&](FolderDialogClient& client) {
      ASSERT_TRUE(client.FolderListClick("Sub"));
      EXPECT_EQ(client.FileNameText(), c.expected);
    });
    ASSERT_TRUE(dialog_.Execute());
    EXPECT_EQ(dialog_.Directory(), c.expected);
  }
}

TEST_F(OpenDirectoryTest, AClickWithNothingSelectedKeepsTheEarlierChoice) {
  const std::string folder = tmp_ / "Data";
  Script(folder, [&](FolderDialogClient& client) {
    ASSERT_TRUE(client.FolderListClick("Sub"));
    EXPECT_FALSE(client.FolderListClick(""));
    EXPECT_EQ(client.FileNameText(), folder + "/Sub");
  });
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), folder + "/Sub");
  EXPECT_EQ(GetCurrentDir(), folder + "/Sub");
  // A click raises no folder change.
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"show", "folder", "close"}));
}

TEST_F(OpenDirectoryTest, OkIsSwallowedWhileNoFolderIsKnown) {
  ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogFolderChange("");
    EXPECT_EQ(client.FileNameText(), "");
    EXPECT_FALSE(client.FolderListClick("Sub"));
    EXPECT_FALSE(client.OkButtonRelease(client.FileNameText()));
    client.DialogClose();
  });
  EXPECT_FALSE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), "");

  // Once a folder is known again, OK chooses it.
  ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogFolderChange("");
    EXPECT_FALSE(client.OkButtonRelease(client.FileNameText()));
    client.DialogFolderChange(tmp_ / "Data");
    EXPECT_TRUE(client.OkButtonRelease(client.FileNameText()));
    client.DialogClose();
  });
  EXPECT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Data");
}

TEST_F(OpenDirectoryTest, AFolderOnAShareGivesBothForms) {
  const std::string share = tmp_ / "Data";
  dialog_.ReadMountTable = [share] {
    return MountTable({{share, "/", "cifs", "//srv/office", 0, 50}});
  };
  Script(share, [](FolderDialogClient& client) { client.FolderListClick("Sub"); });
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), share + "/Sub");
  EXPECT_EQ(dialog_.UNCDirectory(), "//srv/office/Sub");
  EXPECT_EQ(GetCurrentDir(), share + "/Sub");
}

TEST_F(OpenDirectoryTest, AFolderOnNfsKeepsBothForms) {
  const std::string share = tmp_ / "Data";
  dialog_.ReadMountTable = [share] {
    return MountTable({{share, "/", "nfs4", "srv:/export", 0, 51}});
  };
  Script(share);
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), share);
  EXPECT_EQ(dialog_.UNCDirectory(), "srv:/export");
  EXPECT_EQ(GetCurrentDir(), share);
}

TEST_F(OpenDirectoryTest, AFolderReachedOnlyThroughTheNetworkHasNoLocalForm) {
  // A network name is no local path: /srv/office must not become the current directory.
  Script("//srv/office/x");
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), "");
  EXPECT_EQ(dialog_.UNCDirectory(), "//srv/office/x");
  EXPECT_EQ(GetCurrentDir(), start_dir_);
}

TEST_F(OpenDirectoryTest, ARelativeFolderGetsAnAbsoluteUniversalForm) {
  fs::current_path(tmp_.path());
  dialog_.NoChangeDir = true;
  Script("Data");
  ASSERT_TRUE(dialog_.Execute());
  // Not a local absolute path: neither result is adjusted.
  EXPECT_EQ(dialog_.Directory(), "Data");
  EXPECT_EQ(dialog_.UNCDirectory(), tmp_ / "Data");
}

TEST_F(OpenDirectoryTest, ALongFolderPathIsDeliveredExactly) {
  std::string folder = tmp_.path();
  while (folder.size() < 600) folder += "/folder-with-a-long-name-" + std::to_string(folder.size());
  fs::create_directories(folder);
  Script(folder, [](FolderDialogClient& client) { client.FolderListClick(std::string(200, 'n')); });
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), folder + "/" + std::string(200, 'n'));

  Script(folder);
  ASSERT_TRUE(dialog_.Execute());
  EXPECT_EQ(dialog_.Directory(), folder);
  EXPECT_EQ(GetCurrentDir(), folder);
}

TEST_F(OpenDirectoryTest, ANewRunForgetsTheLastResult) {
  Script(tmp_ / "Data");
  ASSERT_TRUE(dialog_.Execute());
  ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
    client.DialogShow();
    // The state of the last run is gone before the dialog reports anything.
    EXPECT_EQ(dialog_.Directory(), "");
    EXPECT_FALSE(client.OkButtonRelease(client.FileNameText()));
    EXPECT_FALSE(client.FolderListClick("Sub"));
    client.DialogClose();
  });
  EXPECT_FALSE(dialog_.Execute());
}

// A name typed into the file-name box over the folder shown: a missing folder keeps the dialog
// open with a message that names it (the dialog must not choose the folder shown instead); an
// existing one, absolute, relative to the folder shown or under the home folder, lets OK act.
TEST_F(OpenDirectoryTest, ATypedNameMustNameAnExistingFolder) {
  Application.Title = "LORVANTE";
  const std::string data = tmp_ / "Data";
  const struct {
    std::string typed;
    bool accepted;
    std::string named;  // the folder the message names, or the folder chosen
  } cases[] = {
      {data + "/Missing", false, data + "/Missing"},
      {"Missing/Deeper", false, data + "/Missing/Deeper"},
      {"../Data/./Missing/", false, data + "/Missing"},
      {tmp_ / "Data/Sub", true, data + "/Sub"},
      {tmp_ / "Data/Sub/", true, data + "/Sub"},
      {"Sub", true, data + "/Sub"},
      {"..", true, tmp_.path()},
      {data, true, data},  // the folder shown itself
      {"", true, data},    // an emptied box chooses the folder shown, as before
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    ui_.shown.clear();
    if (!c.accepted) ui_.AnswerMessageBox(IDNO);  // not made
    ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
      client.DialogShow();
      client.DialogFolderChange(data);
      EXPECT_TRUE(client.CanChoose());
      EXPECT_EQ(client.OkButtonRelease(c.typed), c.accepted);
      client.DialogClose();
    });
    EXPECT_EQ(dialog_.Execute(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(ui_.shown.size(), 1u);          // the dialog alone, no message
      EXPECT_EQ(dialog_.Directory(), c.named);  // the typed folder itself is chosen
      continue;
    }
    ASSERT_EQ(ui_.shown.size(), 2u);
    EXPECT_EQ(ui_.shown[1].kind, ShownItem::Kind::kMessageBox);
    EXPECT_EQ(ui_.shown[1].caption, "LORVANTE");
    EXPECT_EQ(ui_.shown[1].text, c.named + "\nThis folder does not exist.\nCreate it?");
    EXPECT_EQ(ui_.shown[1].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(dialog_.Directory(), "");
    EXPECT_FALSE(std::filesystem::exists(c.named));
  }
}

// Yes to the question makes the typed folder, with its parents, and chooses it; a folder that
// cannot be made is named with the reason, and the picker stays open.
TEST_F(OpenDirectoryTest, ATypedMissingFolderIsMadeOnYes) {
  Application.Title = "LORVANTE";
  const std::string data = tmp_ / "Data";
  const struct {
    std::string typed;
    std::string made;  // empty: it cannot be made
  } cases[] = {
      {"Uj/Mappa", data + "/Uj/Mappa"},
      {tmp_ / "Masik", tmp_ / "Masik"},
      {"Sub/file.txt/below", ""},  // a file stands in the way
  };
  test::WriteText(data + "/Sub/file.txt", "x");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    ui_.shown.clear();
    ui_.AnswerMessageBox(IDYES);
    ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
      client.DialogShow();
      client.DialogFolderChange(data);
      EXPECT_EQ(client.OkButtonRelease(c.typed), !c.made.empty());
      client.DialogClose();
    });
    EXPECT_EQ(dialog_.Execute(), !c.made.empty());
    if (c.made.empty()) {
      ASSERT_EQ(ui_.MessageTexts().size(), 2u);
      EXPECT_NE(ui_.MessageTexts()[1].find("The folder cannot be created: "), std::string::npos);
      continue;
    }
    EXPECT_TRUE(std::filesystem::is_directory(c.made));
    EXPECT_EQ(dialog_.Directory(), c.made);
  }
}

TEST_F(OpenDirectoryTest, ATypedNameInTheHomeFolder) {
  test::ScopedEnv env("HOME", tmp_.path());
  ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogFolderChange("/");
    EXPECT_TRUE(client.OkButtonRelease("~/Data"));
    client.DialogClose();
  });
  EXPECT_TRUE(dialog_.Execute());
  EXPECT_TRUE(ui_.MessageTexts().empty());
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Data");  // the typed folder, not the one shown
}

TEST_F(OpenDirectoryTest, NoFolderKnownNoChoiceAndNoMessage) {
  ui_.AnswerFolderDialog([&](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogFolderChange("");
    EXPECT_FALSE(client.CanChoose());
    EXPECT_FALSE(client.OkButtonRelease("/no/such/folder"));
    client.DialogClose();
  });
  EXPECT_FALSE(dialog_.Execute());
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

// The network form of a choice is turned back into a local folder only through the mount table.
TEST_F(OpenDirectoryTest, LocalFormOfAUniversalName) {
  fs::create_directories(tmp_ / "mnt/share/x");
  dialog_.ReadMountTable = [mount = tmp_ / "mnt/share"] {
    return MountTable({{mount, "/", "cifs", "//server/share", 0, 50}});
  };
  EXPECT_EQ(dialog_.LocalForm("//server/share/x"), tmp_ / "mnt/share/x");
  EXPECT_EQ(dialog_.LocalForm("//server/other/x"), "");
  EXPECT_EQ(dialog_.LocalForm("/" + (tmp_ / "mnt/share/x")), "");  // //tmp/... is no local path
  EXPECT_EQ(dialog_.LocalForm(""), "");
}

TEST(OpenDirectoryComponent, DefaultsAndOwnership) {
  TComponent owner(nullptr);
  auto* dialog = new TOpenDirectory(&owner);
  EXPECT_TRUE(dialog->EnableSizing);
  EXPECT_FALSE(dialog->NoChangeDir);
  EXPECT_EQ(dialog->Title, "");
  EXPECT_EQ(dialog->InitialDir, "");
  EXPECT_EQ(dialog->Impl()->Owner, dialog);
  EXPECT_EQ(owner.ComponentCount(), 1u);  // freed with its owner
}

}  // namespace
}  // namespace lorvante
