// Fault: valid archives refused. An archive of more than 65,535 entries keeps its count in a
// zip64 end record (found through the locator in front of the end record), and one over 4 GiB
// keeps its sizes and offsets in zip64 records and extra fields; the directory reader read only
// the 16- and 32-bit fields and failed with "Error reading CentralFileHeader.". It now reads the
// zip64 records where the archive has them, and refuses an end record whose zip64 record is
// announced but missing.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/zip_builder.h"
#include "tests/zip/reader_fixture.h"
#include "zip/Zip.h"

namespace lorvante::test {
namespace {

constexpr std::size_t kManyEntries = 70000;

std::string EntryName(std::size_t i) {
  return "d" + std::to_string(i / 1000) + "/f" + std::to_string(i) + ".txt";
}

TEST_F(ReaderTest, MoreThan65535EntriesAreListed) {
  // Written by libzip, which turns to zip64 records above 65,535 entries.
  std::vector<LibzipItem> items(kManyEntries);
  for (std::size_t i = 0; i < items.size(); ++i) {
    items[i].name = EntryName(i);
    items[i].data = {static_cast<std::uint8_t>('a' + i % 26)};
    items[i].compression = 0;
  }
  const std::string path = folder_ + "/many.zip";
  WriteLibzipArchive(path, items);
  ASSERT_EQ(Assign(path), "");
  ASSERT_EQ(zip_.FileList.size(), kManyEntries);
  EXPECT_EQ(zip_.EOCH.TotalEntries, 0xFFFF);
  EXPECT_EQ(zip_.EOCH.TotalEntries64, kManyEntries);
  EXPECT_EQ(zip_.FileList.front()->FileName, EntryName(0));
  EXPECT_EQ(zip_.FileList.back()->FileName, EntryName(kManyEntries - 1));
  EXPECT_EQ(zip_.FileList.back()->UncompressedSize64, 1u);
  EXPECT_EQ(zip_.ArchiveStart, 0);
}

class Zip64PrefixTest : public ReaderTest, public testing::WithParamInterface<bool> {};

TEST_P(Zip64PrefixTest, SizesAndOffsetsComeFromTheZip64Fields) {
  ZipLayout layout;
  layout.zip64 = true;
  layout.prefix.assign(1000, 'p');
  layout.adjust_offsets = GetParam();
  layout.comment = "zip64";
  layout.entries.resize(3);
  layout.entries[0].name = "a.txt";
  layout.entries[0].data = {'a', 'b', 'c'};
  layout.entries[1].name = "b/";
  layout.entries[2].name = "b/c.bin";
  layout.entries[2].data.assign(500, 'c');
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  ASSERT_EQ(Names(), (std::vector<std::string>{"a.txt", "b/", "b/c.bin"}));
  EXPECT_EQ(zip_.EOCH.TotalEntries, 0xFFFF);
  EXPECT_EQ(zip_.EOCH.TotalEntries64, 3u);
  EXPECT_EQ(zip_.EOCH.CentralDirOffset, 0xFFFFFFFFu);
  const TFileInfo& last = *zip_.FileList[2];
  EXPECT_EQ(last.UncompressedSize, 0xFFFFFFFFu);
  EXPECT_EQ(last.UncompressedSize64, 500u);
  EXPECT_EQ(last.CompressedSize64, 500u);
  const std::uint64_t base = GetParam() ? 1000 : 0;
  EXPECT_EQ(zip_.FileList[0]->LocalHeaderOffset64, base);
  EXPECT_EQ(zip_.FileList[1]->LocalHeaderOffset64, base + 30 + 5 + 3);
  EXPECT_EQ(zip_.ArchiveStart, 1000);
  EXPECT_EQ(zip_.EOCH.ZipComment, "zip64");
}

INSTANTIATE_TEST_SUITE_P(Offsets, Zip64PrefixTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& tp) {
                           return tp.param ? "Adjusted" : "Unadjusted";
                         });

TEST_F(ReaderTest, ALocatorWithoutItsZip64RecordLeavesNoUsableEndRecord) {
  ZipLayout layout;
  layout.zip64 = true;
  layout.entries.resize(2);
  std::vector<std::uint8_t> bytes = layout.Build();
  // The zip64 end record stands 56 + 20 + 22 bytes before the end.
  bytes[bytes.size() - 98] = 'Q';
  const std::string path = Write(bytes);
  EXPECT_EQ(Assign(path), NotValid(path));
}

TEST_F(ReaderTest, AnArchiveOver4GiBIsListed) {
  constexpr std::uint64_t kBig = (4ULL << 30) + (100ULL << 20);  // 4.1 GiB of a hole
  const std::string path = folder_ + "/big.zip";
  if (!WriteSparseZip64Archive(path, kBig, "the last entry")) {
    GTEST_SKIP() << "the file system keeps no holes";
  }
  ASSERT_EQ(Assign(path), "");
  ASSERT_EQ(Names(), (std::vector<std::string>{"big.bin", "small.txt"}));
  EXPECT_EQ(zip_.FileList[0]->UncompressedSize64, kBig);
  EXPECT_EQ(zip_.FileList[0]->CompressedSize64, kBig);
  EXPECT_GT(zip_.FileList[1]->LocalHeaderOffset64, kBig);
  EXPECT_EQ(zip_.FileList[1]->UncompressedSize64, 14u);
  EXPECT_EQ(zip_.ArchiveStart, 0);
  EXPECT_GT(zip_.EOCH.RecordPosition, static_cast<std::int64_t>(kBig));
}

}  // namespace
}  // namespace lorvante::test
