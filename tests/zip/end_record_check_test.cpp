// Attack: an archive whose comment holds bytes that look like an end record (the signature and
// an empty directory). Taken as the end record, it hid every entry: the listing came out empty
// and the conversion reported success with nothing extracted. A candidate is now taken only when
// it is consistent with the data around it, and a record inside the comment of another loses to
// it; with no consistent record at all the archive is no zip file.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "tests/support/zip_builder.h"
#include "tests/zip/reader_fixture.h"
#include "zip/Zip.h"

namespace lorvante::test {
namespace {

// An end record of an empty archive announcing `comment_length` bytes of comment, and a
// directory of `directory_size` bytes.
std::string FakeRecord(std::uint16_t comment_length, std::uint32_t directory_size = 0) {
  std::vector<std::uint8_t> record;
  PutLE(record, 0x06054B50, 4);
  PutLE(record, 0, 4);  // disks
  PutLE(record, 0, 4);  // entries
  PutLE(record, directory_size, 4);
  PutLE(record, 0, 4);  // offset
  PutLE(record, comment_length, 2);
  return std::string(record.begin(), record.end());
}

struct FakeCase {
  const char* name;
  std::string comment;
  std::size_t trailer = 0;  // filler behind the real comment
};

void PrintTo(const FakeCase& c, std::ostream* os) {
  *os << c.name;
}

class FakeEndRecordTest : public ReaderTest, public testing::WithParamInterface<FakeCase> {};

TEST_P(FakeEndRecordTest, TheRealRecordIsFoundAndEveryEntryListed) {
  ZipLayout layout = ThreeEntries();
  layout.comment = GetParam().comment;
  layout.trailer.assign(GetParam().trailer, 'f');
  const std::vector<std::uint8_t> bytes = layout.Build();
  ASSERT_EQ(Assign(Write(bytes)), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"dir/", "dir/sub/file.txt", "readme.txt"}));
  EXPECT_EQ(zip_.EOCH.ZipComment, layout.comment);
  EXPECT_EQ(zip_.EOCH.TotalEntries, 3);
  EXPECT_EQ(
      zip_.EOCH.RecordPosition,
      static_cast<std::int64_t>(bytes.size() - 22 - layout.comment.size() - GetParam().trailer));
}

INSTANTIATE_TEST_SUITE_P(Comments, FakeEndRecordTest,
                         testing::Values(
                             // Its comment falls short of the end of the file.
                             FakeCase{"InTheMiddle", "x" + FakeRecord(0) + "y"},
                             // Its comment reaches exactly to the end, like the real one's.
                             FakeCase{"AtTheEnd", "comment " + FakeRecord(0)},
                             FakeCase{"CoveringTheRest", "x" + FakeRecord(5) + "abcde"},
                             // Its comment runs past the end, as if the file had been cut.
                             FakeCase{"RunningPastTheEnd", "x" + FakeRecord(400) + "abc"},
                             // Its directory would be larger than everything in front of it.
                             FakeCase{"WithAnImpossibleDirectory", "x" + FakeRecord(0, 100000)},
                             // A few bytes of filler behind the real comment.
                             FakeCase{"BeforeFiller", "x" + FakeRecord(0) + "y", 7}),
                         [](const testing::TestParamInfo<FakeCase>& tp) {
                           return std::string(tp.param.name);
                         });

struct InconsistentCase {
  const char* name;
  std::function<void(ZipLayout&)> damage;
};

void PrintTo(const InconsistentCase& c, std::ostream* os) {
  *os << c.name;
}

class InconsistentEndRecordTest : public ReaderTest,
                                  public testing::WithParamInterface<InconsistentCase> {};

TEST_P(InconsistentEndRecordTest, LeavesNoUsableEndRecord) {
  ZipLayout layout = ThreeEntries();
  GetParam().damage(layout);
  const std::string path = Write(layout.Build());
  EXPECT_EQ(Assign(path), NotValid(path));
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_TRUE(ui_.shown.empty());
  EXPECT_EQ(changes_, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Records, InconsistentEndRecordTest,
    testing::Values(InconsistentCase{"DirectoryLargerThanThePositionOfTheEndRecord",
                                     [](ZipLayout& s) { s.central_dir_size = 10000; }},
                    InconsistentCase{"DirectorySizeNearTheTopOfItsRange",
                                     [](ZipLayout& s) { s.central_dir_size = 0xFFFFFFFF; }},
                    InconsistentCase{"DirectoryOffsetBeyondTheRecord",
                                     [](ZipLayout& s) { s.central_dir_offset = 100000; }},
                    InconsistentCase{"CommentFarShortOfTheEnd",
                                     [](ZipLayout& s) { s.trailer.assign(5000, 't'); }}),
    [](const testing::TestParamInfo<InconsistentCase>& tp) { return std::string(tp.param.name); });

TEST_F(ReaderTest, ARecordThatOnlyLooksRightInAFileOfJunkIsNoArchive) {
  // Junk that happens to hold an empty end record far from its end.
  std::vector<std::uint8_t> bytes = RandomBytes(10000, 3);
  const std::string record = FakeRecord(0);
  std::copy(record.begin(), record.end(), bytes.begin() + 2000);
  const std::string path = Write(bytes);
  EXPECT_EQ(Assign(path), NotValid(path));
}

}  // namespace
}  // namespace lorvante::test
