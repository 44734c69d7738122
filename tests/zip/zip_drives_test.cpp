// The zip component's drive, volume and name helpers.
#include "zip/zip_drives.h"

#include <gtest/gtest.h>

#include <ostream>

#include "tests/support/fake_system.h"
#include "tests/zip/disk_changing_ui.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/scripted/scripted_ui.h"

namespace lorvante::test {
namespace {

// A removable disk and a fixed one, with the helpers pointed at them.
class DiskTest : public testing::Test {
 protected:
  DiskTest() {
    FakeDevice stick;
    stick.fs_type = "vfat";
    stick.major = 8;
    stick.minor = 17;
    stick.disk = "sdb";
    stick.partition = "sdb1";
    stick.removable = true;
    stick.source = "/dev/sdb1";
    removable_ = system_.Mount("floppy", stick);
    fixed_ = system_.Mount("fixed", FakeDevice{});
    WriteText(removable_ + "/a.zip", "x");
    WriteText(fixed_ + "/a.zip", "x");
    Application.SetUI(&ui_);
    Application.Title = "LORVANTE";
  }
  ~DiskTest() override { Application.SetUI(nullptr); }

  FakeSystem system_;
  ScopedDrives scoped_{system_};
  ScriptedUserInterface ui_;
  std::string removable_;
  std::string fixed_;
};

TEST_F(DiskTest, DriveTypeAndLabelGoThroughTheDrivePartOfThePath) {
  system_.SetLabel("sdb1", "PKBACK# 001");
  EXPECT_EQ(GetPathDriveType(removable_ + "/a.zip"), DRIVE_REMOVABLE);
  EXPECT_EQ(GetPathDriveType(fixed_ + "/a.zip"), DRIVE_FIXED);
  EXPECT_EQ(GetPathDriveType(""), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetPathDriveType(system_.Outside() + "/a.zip"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(ExtractFileDrive(removable_ + "/a.zip"), removable_);
  std::string label = "stale";
  EXPECT_TRUE(GetVolumeLabel(removable_, label));
  EXPECT_EQ(label, "PKBACK# 001");
  EXPECT_FALSE(GetVolumeLabel(system_.Outside(), label));
  EXPECT_EQ(label, "");
  // A numbered label counts only on a removable disk.
  EXPECT_EQ(GetDiskNumber(removable_ + "/a.zip"), 1);
  system_.SetLabel("sdb1", std::nullopt);
  system_.SetLabel("sda1", "PKBACK# 001");
  EXPECT_EQ(GetDiskNumber(fixed_ + "/a.zip"), 0);
}

struct LabelCase {
  const char* name;
  const char* label;
  int number;
};

void PrintTo(const LabelCase& c, std::ostream* os) {
  *os << c.name;
}

class DiskNumberTest : public DiskTest, public testing::WithParamInterface<LabelCase> {};

TEST_P(DiskNumberTest, ComesFromTheLabelOfARemovableDisk) {
  system_.SetLabel("sdb1", GetParam().label);
  EXPECT_EQ(GetDiskNumber(removable_ + "/a.zip"), GetParam().number);
  // Never for a missing file.
  EXPECT_EQ(GetDiskNumber(removable_ + "/missing.zip"), 0);
  EXPECT_EQ(GetDiskNumber(removable_), 0);  // a folder is no archive
}

INSTANTIATE_TEST_SUITE_P(Labels, DiskNumberTest,
                         testing::Values(LabelCase{"ThreeDigits", "PKBACK# 003", 3},
                                         LabelCase{"TwoDigits", "PKBACK# 12", 12},
                                         LabelCase{"LaterCharactersIgnored", "PKBACK# 0421", 42},
                                         LabelCase{"NoSpace", "PKBACK#003", 0},
                                         LabelCase{"LowerCase", "pkback# 003", 0},
                                         LabelCase{"PrefixOnly", "PKBACK# ", 0},
                                         LabelCase{"NotANumber", "PKBACK# 1a3", 0},
                                         LabelCase{"OtherLabel", "BACKUP", 0}),
                         [](const testing::TestParamInfo<LabelCase>& tp) {
                           return std::string(tp.param.name);
                         });

TEST_F(DiskTest, AskForDiskDoesNotAskWhenTheDiskIsThere) {
  system_.SetLabel("sdb1", "PKBACK# 002");
  EXPECT_TRUE(AskForDisk(removable_ + "/a.zip", 2));
  // Disk 0 is any disk without a number, or one that lacks the file.
  system_.SetLabel("sdb1", "DATA");
  EXPECT_TRUE(AskForDisk(removable_ + "/a.zip", 0));
  system_.SetLabel("sdb1", "PKBACK# 002");
  EXPECT_TRUE(AskForDisk(removable_ + "/missing.zip", 0));
  EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(DiskTest, AskForDiskAsksUntilTheWantedDiskIsInTheDrive) {
  DiskChangingUserInterface ui;
  Application.SetUI(&ui);
  system_.SetLabel("sdb1", "PKBACK# 001");
  ui.AnswerMessageBox(IDOK);  // pressed without changing the disk
  ui.AnswerMessageBox(IDOK);
  ui.on_message_box.push_back([] {});
  ui.on_message_box.push_back([&] { system_.SetLabel("sdb1", "PKBACK# 002"); });
  EXPECT_TRUE(AskForDisk(removable_ + "/a.zip", 2));
  ASSERT_EQ(ui.shown.size(), 2u);
  for (const ShownItem& box : ui.shown) {
    EXPECT_EQ(box.text,
              "Insert [ Disk 2 ] of the Zip file into the floppy drive\nbefore pressing [ OK ] "
              "to continue ...");
    EXPECT_EQ(box.caption, "LORVANTE");
    EXPECT_EQ(box.style, 0x41u);
  }
}

TEST_F(DiskTest, AskForDiskReportsACancel) {
  system_.SetLabel("sdb1", "PKBACK# 001");
  ui_.AnswerMessageBox(IDCANCEL);
  EXPECT_FALSE(AskForDisk(removable_ + "/a.zip", 7));
  ASSERT_EQ(ui_.MessageTexts().size(), 1u);
  EXPECT_NE(ui_.MessageTexts()[0].find("[ Disk 7 ]"), std::string::npos);
}

// A window that records where it was moved.
class FakeWindow : public TopLevelWindow {
 public:
  explicit FakeWindow(ScreenRect rect) : rect_(rect) {}
  ScreenRect OuterRect() const override { return rect_; }
  void MoveTo(int left, int top) override {
    rect_.left = left;
    rect_.top = top;
  }

 private:
  ScreenRect rect_;
};

struct CenterCase {
  const char* name;
  ScreenRect area;
  ScreenRect window;
  int left;
  int top;
};

void PrintTo(const CenterCase& c, std::ostream* os) {
  *os << c.name;
}

class CenterWindowTest : public testing::TestWithParam<CenterCase> {};

TEST_P(CenterWindowTest, CentresOnTheAvailableArea) {
  ScriptedUserInterface ui;
  ui.available_geometry = GetParam().area;
  Application.SetUI(&ui);
  FakeWindow window(GetParam().window);
  CenterWindow(window);
  Application.SetUI(nullptr);
  EXPECT_EQ(window.OuterRect().left, GetParam().left);
  EXPECT_EQ(window.OuterRect().top, GetParam().top);
  EXPECT_EQ(window.OuterRect().width, GetParam().window.width);
  EXPECT_EQ(window.OuterRect().height, GetParam().window.height);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, CenterWindowTest,
    testing::Values(CenterCase{"Even", {0, 0, 1000, 800}, {5, 5, 300, 100}, 350, 350},
                    CenterCase{"OddRemainders", {10, 20, 1000, 700}, {0, 0, 301, 101}, 359, 319},
                    CenterCase{"PanelOnTheLeft", {64, 0, 1856, 1080}, {0, 0, 316, 139}, 834, 470},
                    // Larger than the area: the halves are truncated toward zero.
                    CenterCase{"LargerThanTheArea", {0, 0, 100, 100}, {0, 0, 301, 103}, -100, -1}),
    [](const testing::TestParamInfo<CenterCase>& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace lorvante::test
