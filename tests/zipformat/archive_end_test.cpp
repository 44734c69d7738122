// Fault: an end record read without checking it against the data around it. A zip comment that
// holds an end record hid the archive (nothing listed, nothing extracted, no error), and zip64
// records were not followed. The rule that both the directory reader and the unzip library use
// takes only a consistent record, prefers one that reaches the end of the data, lets the record
// whose comment holds another win, and follows the locator to the zip64 end record.
#include "zipformat/archive_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

#include "tests/support/zip_builder.h"

namespace lorvante::zipformat {
namespace {

using test::ZipLayout;

std::optional<ArchiveEnd> Locate(const std::vector<std::uint8_t>& data) {
  return LocateArchiveEnd(data.size(), [&data](std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > data.size() || data.size() - offset < out.size()) return false;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
  });
}

ZipLayout TwoEntries() {
  ZipLayout layout;
  layout.entries.resize(2);
  layout.entries[1].name = "second.txt";
  return layout;
}

TEST(ArchiveEnd, FillerBehindTheCommentIsAllowedUpToItsLimit) {
  ZipLayout layout = TwoEntries();
  layout.trailer.assign(kEndFillerAllowance, 'f');
  std::vector<std::uint8_t> bytes = layout.Build();
  auto end = Locate(bytes);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->position, bytes.size() - kEndFillerAllowance - kEndRecordSize);
  EXPECT_EQ(end->entries, 2u);
  bytes.push_back('f');
  EXPECT_FALSE(Locate(bytes));
}

TEST(ArchiveEnd, ARecordReachingTheEndBeatsOneFollowedByFiller) {
  // A second archive appended to the first: the first's record is followed by the second.
  std::vector<std::uint8_t> bytes = TwoEntries().Build();
  const std::vector<std::uint8_t> second = ZipLayout{}.Build();
  bytes.insert(bytes.end(), second.begin(), second.end());
  const auto end = Locate(bytes);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->position, bytes.size() - kEndRecordSize);
  EXPECT_EQ(end->entries, 0u);
}

TEST(ArchiveEnd, TheRecordWhoseCommentHoldsAnotherWins) {
  std::vector<std::uint8_t> fake;
  test::PutLE(fake, kEndRecordSignature, 4);
  fake.resize(kEndRecordSize, 0);
  ZipLayout layout = TwoEntries();
  layout.comment = "note " + std::string(fake.begin(), fake.end());
  const std::vector<std::uint8_t> bytes = layout.Build();
  const auto end = Locate(bytes);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->position, bytes.size() - kEndRecordSize - layout.comment.size());
  EXPECT_EQ(end->entries, 2u);
}

TEST(ArchiveEnd, TheRecordWhoseCommentHoldsAnotherWinsEvenWhenFillerFollowsIt) {
  // A payload padded to a cipher's 8-byte blocks: the real comment is followed by 1 to 7 bytes,
  // and a record-like text at the end of the comment announces just so many bytes of comment of
  // its own, so that it reaches the end of the data exactly.
  for (std::uint16_t filler = 1; filler < 8; ++filler) {
    SCOPED_TRACE(filler);
    std::vector<std::uint8_t> fake;
    test::PutLE(fake, kEndRecordSignature, 4);
    fake.resize(kEndRecordSize - 2, 0);
    test::PutLE(fake, filler, 2);
    ZipLayout layout = TwoEntries();
    layout.comment = "note " + std::string(fake.begin(), fake.end());
    layout.trailer.assign(filler, 0);
    const std::vector<std::uint8_t> bytes = layout.Build();
    const auto end = Locate(bytes);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->position, bytes.size() - filler - kEndRecordSize - layout.comment.size());
    EXPECT_EQ(end->entries, 2u);
  }
}

TEST(ArchiveEnd, DiskNumbersSavedAsPlaceholdersComeFromTheZip64Record) {
  ZipLayout layout = TwoEntries();
  layout.zip64 = true;
  layout.zip64_disk_placeholders = true;
  const auto end = Locate(layout.Build());
  ASSERT_TRUE(end);
  EXPECT_EQ(end->record.this_disk, kZip64Count);
  EXPECT_EQ(end->record.central_dir_disk, kZip64Count);
  EXPECT_EQ(end->this_disk, 0u);
  EXPECT_EQ(end->central_dir_disk, 0u);
  EXPECT_EQ(end->entries, 2u);
}

TEST(ArchiveEnd, TheZip64RecordIsFoundWithAndWithoutDataInFront) {
  for (const bool adjust : {false, true}) {
    ZipLayout layout = TwoEntries();
    layout.zip64 = true;
    layout.prefix.assign(300, 'p');
    layout.adjust_offsets = adjust;
    const std::vector<std::uint8_t> bytes = layout.Build();
    const auto end = Locate(bytes);
    ASSERT_TRUE(end);
    ASSERT_TRUE(end->zip64);
    EXPECT_EQ(end->record.total_entries, kZip64Count);
    EXPECT_EQ(end->entries, 2u);
    EXPECT_EQ(end->zip64_position,
              bytes.size() - kEndRecordSize - kZip64LocatorSize - kZip64EndRecordSize);
    EXPECT_EQ(end->directory_end, end->zip64_position);
    EXPECT_EQ(end->directory_offset + end->directory_size + (adjust ? 0 : 300),
              end->zip64_position);
  }
}

// Fault: a directory size saved 16 bytes short (offset and count right) refused the whole
// archive. The size is a hint, checked against the headers: it yields where no central header
// stands at the place it gives and the offset holds exactly the counted headers up to the end
// of the directory; otherwise the size stands as saved, and the readers fail as before.
struct DirectorySizeCase {
  const char* label;
  std::int64_t size_change;            // to the saved directory size
  std::uint32_t offset_change = 0;     // to the saved directory offset
  std::optional<std::uint16_t> count;  // the saved entry count instead of the real one
  bool prefix = false;                 // data in front of the archive, offsets not adjusted
  bool size_taken_from_headers = false;
};

void PrintTo(const DirectorySizeCase& c, std::ostream* os) {
  *os << c.label;
}

class DirectorySizeTest : public testing::TestWithParam<DirectorySizeCase> {};

TEST_P(DirectorySizeTest, IsAHintCheckedAgainstTheHeaders) {
  const DirectorySizeCase& c = GetParam();
  ZipLayout layout = TwoEntries();
  if (c.prefix) layout.prefix.assign(100, 'p');
  const std::vector<std::uint8_t> plain = layout.Build();
  const auto real = Locate(plain);
  ASSERT_TRUE(real);
  layout.central_dir_size = static_cast<std::uint32_t>(
      static_cast<std::int64_t>(real->record.central_dir_size) + c.size_change);
  layout.central_dir_offset = real->record.central_dir_offset + c.offset_change;
  if (c.count) layout.total_entries = layout.entries_this_disk = *c.count;
  const auto end = Locate(layout.Build());
  ASSERT_TRUE(end);
  EXPECT_EQ(end->record.central_dir_size, *layout.central_dir_size);  // as saved
  EXPECT_EQ(end->directory_size,
            c.size_taken_from_headers ? real->directory_size : *layout.central_dir_size);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DirectorySizeTest,
    testing::Values(DirectorySizeCase{"Right", 0, 0, std::nullopt, false, false},
                    DirectorySizeCase{"RightWithDataInFront", 0, 0, std::nullopt, true, false},
                    DirectorySizeCase{"SixteenShort", -16, 0, std::nullopt, false, true},
                    DirectorySizeCase{"OneShort", -1, 0, std::nullopt, false, true},
                    // The offset holds no header: nothing confirms another size.
                    DirectorySizeCase{"ShortWithTheOffsetWrong", -16, 1, std::nullopt, false,
                                      false},
                    // Data in front, offsets counting from the archive: the offset is not a
                    // place in the data, and the size stays.
                    DirectorySizeCase{"ShortWithDataInFront", -16, 0, std::nullopt, true, false},
                    // The headers at the offset are more than the count: not the directory.
                    DirectorySizeCase{"ShortWithTheCountWrong", -16, 0, 1, false, false}),
    [](const testing::TestParamInfo<DirectorySizeCase>& tp) {
      return std::string(tp.param.label);
    });

}  // namespace
}  // namespace lorvante::zipformat
