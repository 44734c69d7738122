// Archives spanned over removable disks labelled "PKBACK# 001", "PKBACK# 002", ...: the reader
// asks for the disks it needs, and the user changes them.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/fake_system.h"
#include "tests/support/zip_builder.h"
#include "tests/zip/disk_changing_ui.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/scripted/scripted_ui.h"
#include "zip/Zip.h"

namespace lorvante::test {
namespace {

std::string LastDiskText(int disk) {
  return "This is [ Disk " + std::to_string(disk) +
         " ] of a multiple disk Zip file.\nInsert the last disk of the Zip file before pressing "
         "[ OK ] to continue ...";
}

std::string InsertDiskText(int disk) {
  return "Insert [ Disk " + std::to_string(disk) +
         " ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to continue ...";
}

// Three disks: file data on the first, the directory's first two headers on the second after
// 100 bytes of data, the other two headers and the end record on the third.
class SpannedTest : public testing::Test {
 protected:
  SpannedTest() {
    FakeDevice floppy;
    floppy.fs_type = "vfat";
    floppy.major = 2;
    floppy.minor = 0;
    floppy.disk = "fd0";
    floppy.partition = "fd0";
    floppy.removable = true;
    floppy.source = "/dev/fd0";
    path_ = system_.Mount("floppy", floppy) + "/a.zip";
    Application.SetUI(&ui_);
    Application.Title = "LORVANTE";
    zip_.OnContentsChanged = [this](TObject*) { ++changes_; };

    std::vector<std::vector<std::uint8_t>> headers;
    for (int i = 0; i < 4; ++i) {
      ZipItem e;
      e.name = "part" + std::to_string(i + 1) + ".dat";
      e.disk_number_start = static_cast<std::uint16_t>(i < 2 ? 0 : 1);
      headers.push_back(CentralHeader(e, static_cast<std::uint32_t>(i * 10)));
    }
    disks_[0] = RandomBytes(300, 1);
    disks_[1] = RandomBytes(100, 2);
    for (int i : {0, 1}) disks_[1].insert(disks_[1].end(), headers[i].begin(), headers[i].end());
    for (int i : {2, 3}) disks_[2].insert(disks_[2].end(), headers[i].begin(), headers[i].end());
    std::uint32_t size = 0;
    for (const auto& h : headers) size += static_cast<std::uint32_t>(h.size());
    std::vector<std::uint8_t>& last = disks_[2];
    PutLE(last, 0x06054B50, 4);
    PutLE(last, 2, 2);  // this disk
    PutLE(last, 1, 2);  // the directory starts on the second disk
    PutLE(last, 2, 2);  // entries on this disk
    PutLE(last, 4, 2);  // entries in all
    PutLE(last, size, 4);
    PutLE(last, 100, 4);  // offset on the second disk
    PutLE(last, 0, 2);
  }
  ~SpannedTest() override { Application.SetUI(nullptr); }

  // Puts disk `number` (from 1) into the drive.
  void Insert(int number) {
    WriteBytes(path_, disks_[number - 1]);
    system_.SetLabel("fd0", "PKBACK# 00" + std::to_string(number));
  }
  std::function<void()> Change(int number) {
    return [this, number] { Insert(number); };
  }

  std::string Assign() {
    try {
      zip_.SetZipFileName(path_);
    } catch (const ZipException& e) {
      return e.what();
    }
    return "";
  }

  FakeSystem system_;
  ScopedDrives scoped_{system_};
  DiskChangingUserInterface ui_;
  std::string path_;
  std::vector<std::uint8_t> disks_[3];
  TZip zip_{nullptr};
  int changes_ = 0;
};

TEST_F(SpannedTest, AllDisksAreAskedForInTurnAndTheWholeDirectoryIsListed) {
  Insert(1);
  for (int change : {3, 2, 3}) {
    ui_.AnswerMessageBox(IDOK);
    ui_.on_message_box.push_back(Change(change));
  }
  ASSERT_EQ(Assign(), "");
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{LastDiskText(1), InsertDiskText(2), InsertDiskText(3)}));
  for (const ShownItem& box : ui_.shown) {
    EXPECT_EQ(box.caption, "LORVANTE");
    EXPECT_EQ(box.style, static_cast<unsigned>(MB_OKCANCEL | MB_ICONINFORMATION));
  }
  ASSERT_EQ(zip_.FileList.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(zip_.FileList[i]->FileName, "part" + std::to_string(i + 1) + ".dat");
  }
  EXPECT_EQ(zip_.EOCH.ThisDisk, 2);
  EXPECT_EQ(zip_.ArchiveStart, 0);
  EXPECT_EQ(changes_, 1);
}

TEST_F(SpannedTest, StartingOnTheLastDiskAsksOnlyForTheDirectory) {
  Insert(3);
  ui_.AnswerMessageBox(IDOK);
  ui_.on_message_box.push_back(Change(2));
  ui_.AnswerMessageBox(IDOK);
  ui_.on_message_box.push_back(Change(3));
  ASSERT_EQ(Assign(), "");
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{InsertDiskText(2), InsertDiskText(3)}));
  EXPECT_EQ(zip_.FileList.size(), 4u);
}

TEST_F(SpannedTest, ACancelledPromptForTheLastDiskListsNothingWithoutError) {
  Insert(2);
  ui_.AnswerMessageBox(IDCANCEL);
  EXPECT_EQ(Assign(), "");
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{LastDiskText(2)}));
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(changes_, 1);
}

TEST_F(SpannedTest, ACancelledPromptForTheDirectoryDiskListsNothingWithoutError) {
  Insert(3);
  ui_.AnswerMessageBox(IDCANCEL);
  EXPECT_EQ(Assign(), "");
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(zip_.EOCH.TotalEntries, 4);
  EXPECT_EQ(changes_, 1);
}

TEST_F(SpannedTest, ACancelledPromptForTheNextDiskIsAHeaderError) {
  Insert(3);
  ui_.AnswerMessageBox(IDOK);
  ui_.on_message_box.push_back(Change(2));
  ui_.AnswerMessageBox(IDCANCEL);
  EXPECT_EQ(Assign(), "Error reading CentralFileHeader.");
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(changes_, 0);
}

TEST_F(SpannedTest, ADirectoryRunningOffTheLastDiskOrAnUnnumberedDiskIsAHeaderError) {
  // An end record that says the whole directory of four entries starts on this, the last, disk,
  // which holds only two of them: there is no next disk to ask for.
  std::vector<std::uint8_t> last(disks_[2].begin(), disks_[2].end() - 22);
  const auto size = static_cast<std::uint32_t>(last.size());
  PutLE(last, 0x06054B50, 4);
  PutLE(last, 2, 2);
  PutLE(last, 2, 2);
  PutLE(last, 2, 2);
  PutLE(last, 4, 2);
  PutLE(last, size, 4);
  PutLE(last, 0, 4);
  PutLE(last, 0, 2);
  for (const char* label : {"PKBACK# 003", "PKBACK# 009", "DATA"}) {
    SCOPED_TRACE(label);
    WriteBytes(path_, last);
    system_.SetLabel("fd0", label);
    EXPECT_EQ(Assign(), "Error reading CentralFileHeader.");
    EXPECT_TRUE(zip_.FileList.empty());
  }
  EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(SpannedTest, WithoutANumberedLabelAFileWithoutEndRecordIsNoArchive) {
  WriteBytes(path_, disks_[0]);
  system_.SetLabel("fd0", "HOLIDAY");
  EXPECT_EQ(Assign(), "\"" + path_ + "\"\nis not a valid Zip file.");
  EXPECT_TRUE(ui_.shown.empty());
}

}  // namespace
}  // namespace lorvante::test
