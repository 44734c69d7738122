// Fault: valid archives refused, and a comment that hides the archive. The library finds the end
// of an archive by the same rule as the directory reader: zip64 end records, locators and extra
// fields are read (archives of more than 65,535 entries, over 4 GiB, or forced to zip64 records),
// and an end record inside the archive's comment loses to the real one, which announces the
// comment that holds it. Before, such a comment made the library extract nothing.
#include <algorithm>
#include <filesystem>

#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

// An empty archive's end record announcing no comment.
std::string FakeRecord() {
  std::string record("PK\5\6", 4);
  record.append(18, '\0');
  return record;
}

TEST_F(UnzTest, AnEndRecordInTheCommentDoesNotHideTheArchive) {
  for (const std::string& comment : {"x" + FakeRecord() + "y", "comment " + FakeRecord()}) {
    ZipLayout layout;
    layout.comment = comment;
    WriteZip({{.name = "a.txt", .data = {'a'}}, {.name = "b/c.txt", .data = {'c'}}}, layout);
    const HostRun run = Run();
    EXPECT_EQ(run.result, 2) << run.Messages();
    EXPECT_EQ(Tree(target()), (std::set<std::string>{"a.txt", "b/", "b/c.txt"}));
    std::filesystem::remove_all(target());
    std::filesystem::create_directory(target());
  }
}

class Zip64WindowTest : public UnzTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Zip64WindowTest, ZipRecordsWithDataInFront) {
  const auto data = Data(5000, 9);
  ZipLayout layout;
  layout.zip64 = true;
  layout.prefix = Data(777, 4);
  layout.adjust_offsets = GetParam();
  layout.comment = "zip64";
  WriteZip({{.name = "d.bin", .data = data, .method = 8}, {.name = "e/f.txt", .data = {'e'}}},
           layout);
  const HostRun run = Run();
  EXPECT_EQ(run.result, 2) << run.Messages();
  EXPECT_EQ(lorvante::test::ReadBytes(In("d.bin")), data);
  EXPECT_EQ(lorvante::test::ReadText(In("e/f.txt")), "e");
}

INSTANTIATE_TEST_SUITE_P(Offsets, Zip64WindowTest, ::testing::Bool(), [](const auto& param_info) {
  return param_info.param ? "Adjusted" : "Unadjusted";
});

TEST_F(UnzTest, MoreThan65535EntriesAreExtracted) {
  constexpr std::size_t kEntries = 70000;
  std::vector<LibzipItem> items(kEntries);
  for (std::size_t i = 0; i < kEntries; ++i) {
    items[i].name = "d" + std::to_string(i / 1000) + "/" + std::to_string(i);
    items[i].data = {static_cast<std::uint8_t>('a' + i % 26)};
    items[i].compression = 0;
  }
  WriteLibzipArchive(archive(), items);
  // Every entry is listed and selected by name; writing 70,000 files durably takes minutes, so
  // the first, one in the middle and the last are taken.
  Script script;
  script.specs = {"d0/0", "d40/40001", "d69/69999"};
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 3) << run.Messages();
  EXPECT_TRUE(run.Skips().empty());
  EXPECT_EQ(Tree(target()),
            (std::set<std::string>{"d0/", "d0/0", "d40/", "d40/40001", "d69/", "d69/69999"}));
  EXPECT_EQ(lorvante::test::ReadText(In("d0/0")), "a");
  EXPECT_EQ(lorvante::test::ReadText(In("d40/40001")), std::string(1, 'a' + 40001 % 26));
  EXPECT_EQ(lorvante::test::ReadText(In("d69/69999")), std::string(1, 'a' + 69999 % 26));
}

TEST_F(UnzTest, AnEntryBeyond4GiBIsExtracted) {
  constexpr std::uint64_t kBig = (4ULL << 30) + (100ULL << 20);
  if (!lorvante::test::WriteSparseZip64Archive(archive(), kBig, "the last entry")) {
    GTEST_SKIP() << "the file system keeps no holes";
  }
  // Only the entry whose local header lies beyond 4 GiB: the big one would be 4.1 GiB on disk.
  Script script;
  script.specs = {"small.txt"};
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 1) << run.Messages();
  EXPECT_EQ(Tree(target()), std::set<std::string>{"small.txt"});
  EXPECT_EQ(lorvante::test::ReadText(In("small.txt")), "the last entry");
}

}  // namespace
}  // namespace unzdll::test
