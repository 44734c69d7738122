// Listing archives: the end record, the central headers, the names, and every error.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "platform/file_stream.h"
#include "tests/support/zip_builder.h"
#include "tests/zip/reader_fixture.h"
#include "zip/Zip.h"

namespace lorvante::test {
namespace {

TEST_F(ReaderTest, TheEmptyArchiveListsNothing) {
  const std::string path = Write(ZipLayout{}.Build());
  ASSERT_EQ(ReadBytes(path).size(), 22u);
  EXPECT_EQ(Assign(path), "");
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(zip_.EOCH.Signature, kEndOfCentralDirSignature);
  EXPECT_EQ(zip_.EOCH.RecordPosition, 0);
  EXPECT_EQ(zip_.ZipFileName(), path);
  EXPECT_EQ(changes_, 1);
}

TEST_F(ReaderTest, AMissingFileBecomesTheEmptyArchive) {
  const std::string path = folder_ + "/new.zip";
  EXPECT_EQ(Assign(path), "");
  const std::vector<std::uint8_t> expected = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0,
                                              0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ReadBytes(path), expected);
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(zip_.EOCH.RecordPosition, 0);
  EXPECT_EQ(changes_, 1);
}

TEST_F(ReaderTest, AMissingFileThatCannotBeCreatedIsReported) {
  for (const std::string& path : {folder_ + "/no/such/folder/a.zip", folder_}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Assign(path), "Unable to create \n\"" + path + "\"");
    EXPECT_EQ(zip_.ZipFileName(), path);
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/no"));
  // A dangling link is not followed: nothing is created where it points.
  std::filesystem::create_symlink(folder_ + "/target.zip", folder_ + "/link.zip");
  EXPECT_EQ(Assign(folder_ + "/link.zip"), "Unable to create \n\"" + folder_ + "/link.zip\"");
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/target.zip"));
  EXPECT_EQ(changes_, 0);
}

TEST_F(ReaderTest, AnEmptyNameResetsEverythingAndTouchesNoFile) {
  ASSERT_EQ(Assign(Write(ThreeEntries().Build())), "");
  zip_.Password = "secret";
  ASSERT_EQ(zip_.FileList.size(), 3u);
  EXPECT_EQ(Assign(""), "");
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(zip_.Password, "");
  EXPECT_EQ(zip_.ZipFileName(), "");
  EXPECT_EQ(zip_.EOCH.RecordPosition, -1);
  EXPECT_EQ(zip_.EOCH.TotalEntries, 0);
  EXPECT_EQ(zip_.EOCH.Signature, kEndOfCentralDirSignature);
  EXPECT_EQ(zip_.ArchiveStart, 0);
  EXPECT_EQ(changes_, 2);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder_)) ++files;
  EXPECT_EQ(files, 1u);
}

TEST_F(ReaderTest, AnUnreachableDriveIsReported) {
  const std::string path = system_.Outside() + "/a.zip";
  EXPECT_EQ(Assign(path), "Unable to access the selected drive!");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(zip_.ZipFileName(), path);
  EXPECT_EQ(changes_, 0);
}

TEST_F(ReaderTest, FilesShorterThanAnEndRecordAreNoArchives) {
  for (std::size_t size : {0u, 1u, 21u}) {
    std::vector<std::uint8_t> bytes = ZipLayout{}.Build();
    bytes.resize(size);
    const std::string path = Write(bytes, "short" + std::to_string(size) + ".zip");
    EXPECT_EQ(Assign(path), NotValid(path));
    EXPECT_TRUE(ui_.shown.empty());
  }
  EXPECT_EQ(changes_, 0);
}

TEST_F(ReaderTest, AFileWithoutEndRecordIsNoArchive) {
  const std::string path = Write(RandomBytes(70000, 7));
  EXPECT_EQ(Assign(path), NotValid(path));
}

TEST_F(ReaderTest, EveryFieldIsDecodedInItsPlace) {
  ZipLayout layout;
  ZipItem e;
  e.name = "data.bin";
  e.made_by = 0x033F;
  e.version_needed = 0x0014;
  e.flags = 0x0009;
  e.method = 0x0008;
  e.stored = std::vector<std::uint8_t>{};  // no data behind the local header
  e.dos_time = 0x7BCD;
  e.dos_date = 0x5A21;
  e.crc = 0xDEADBEEF;
  e.declared_compressed_size = 0x01020304;
  e.declared_size = 0x0A0B0C0D;
  e.disk_number_start = 0x0000;
  e.internal = 0x0001;
  e.external = 0x81A40000;
  e.extra = std::string("UT\x05\0\x01\x10\x20\x30\x40", 9);
  e.comment = "entry comment";
  layout.entries = {e};
  layout.entries_this_disk = 1;
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  ASSERT_EQ(zip_.FileList.size(), 1u);
  const TFileInfo& f = *zip_.FileList[0];
  EXPECT_EQ(f.Signature, kCentralHeaderSignature);
  EXPECT_EQ(f.VersionMadeBy, 0x033F);
  EXPECT_EQ(f.VersionNeeded, 0x0014);
  EXPECT_EQ(f.GeneralFlags, 0x0009);
  EXPECT_EQ(f.Method, 8);
  EXPECT_EQ(f.ModTime, 0x7BCD);
  EXPECT_EQ(f.ModDate, 0x5A21);
  EXPECT_EQ(f.Crc32, 0xDEADBEEFu);
  EXPECT_EQ(f.CompressedSize, 0x01020304u);
  EXPECT_EQ(f.UncompressedSize, 0x0A0B0C0Du);
  EXPECT_EQ(f.NameLength, 8);
  EXPECT_EQ(f.ExtraLength, 9);
  EXPECT_EQ(f.CommentLength, 13);
  EXPECT_EQ(f.DiskNumberStart, 0);
  EXPECT_EQ(f.InternalAttributes, 1);
  EXPECT_EQ(f.ExternalAttributes, 0x81A40000u);
  EXPECT_EQ(f.LocalHeaderOffset, 0u);
  EXPECT_EQ(f.Encrypted, 1);
  EXPECT_EQ(f.FileName, "data.bin");
  EXPECT_EQ(f.ExtraField, e.extra);
  EXPECT_EQ(f.FileComment, "entry comment");

  const TEOCHInfo& end = zip_.EOCH;
  EXPECT_EQ(end.ThisDisk, 0);
  EXPECT_EQ(end.CentralDirDisk, 0);
  EXPECT_EQ(end.EntriesThisDisk, 1);
  EXPECT_EQ(end.TotalEntries, 1);
  EXPECT_EQ(end.CentralDirSize, 46u + 8 + 9 + 13);
  EXPECT_EQ(end.CentralDirOffset, 30u + 8);
  EXPECT_EQ(end.CommentLength, 0);
  EXPECT_EQ(end.RecordPosition, 30 + 8 + 46 + 8 + 9 + 13);
}

TEST_F(ReaderTest, EntriesAreListedInDirectoryOrderAndReplacedOnTheNextAssignment) {
  ASSERT_EQ(Assign(Write(ThreeEntries().Build())), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"dir/", "dir/sub/file.txt", "readme.txt"}));
  EXPECT_EQ(zip_.FileList[0]->Encrypted, 0);
  EXPECT_EQ(zip_.ArchiveStart, 0);
  ASSERT_EQ(Assign(Write(ZipLayout{}.Build(), "b.zip")), "");
  EXPECT_TRUE(zip_.FileList.empty());
}

TEST_F(ReaderTest, ACommentIsFoundByTheBackwardScan) {
  ZipLayout layout = ThreeEntries();
  layout.comment = std::string(30000, 'c') + "end";
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  EXPECT_EQ(zip_.EOCH.ZipComment, layout.comment);
  EXPECT_EQ(zip_.FileList.size(), 3u);
}

TEST_F(ReaderTest, TheLongestCommentIsFound) {
  // The search reaches an end record followed by a comment of any length it can announce.
  for (std::size_t length : {65513u, 65514u, 65535u}) {
    ZipLayout layout = ThreeEntries();
    layout.comment.assign(length, 'c');
    const std::string path = Write(layout.Build(), "c" + std::to_string(length) + ".zip");
    EXPECT_EQ(Assign(path), "");
    EXPECT_EQ(zip_.FileList.size(), 3u);
    EXPECT_EQ(zip_.EOCH.ZipComment.size(), length);
  }
}

TEST_F(ReaderTest, OfTwoEndRecordsInTheWindowTheOneNearerTheEndWins) {
  ZipLayout first;
  first.entries.resize(1);
  first.entries[0].name = "first.txt";
  ZipLayout second = ThreeEntries();
  second.comment = "second";
  std::vector<std::uint8_t> bytes = first.Build();
  const std::size_t first_size = bytes.size();
  const std::vector<std::uint8_t> tail = second.Build();
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  ASSERT_EQ(Assign(Write(bytes)), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"dir/", "dir/sub/file.txt", "readme.txt"}));
  EXPECT_EQ(zip_.EOCH.ZipComment, "second");
  EXPECT_EQ(zip_.EOCH.RecordPosition,
            static_cast<std::int64_t>(bytes.size() - 22 - second.comment.size()));
  EXPECT_EQ(zip_.ArchiveStart, static_cast<std::int64_t>(first_size));
}

class PrefixTest : public ReaderTest, public testing::WithParamInterface<bool> {};

TEST_P(PrefixTest, DataInFrontIsSkippedAndCountedInArchiveStart) {
  ZipLayout layout = ThreeEntries();
  layout.prefix.assign(1000, 'p');
  layout.adjust_offsets = GetParam();
  layout.comment = "with comment";
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  EXPECT_EQ(Names(), (std::vector<std::string>{"dir/", "dir/sub/file.txt", "readme.txt"}));
  EXPECT_EQ(zip_.ArchiveStart, 1000);
  EXPECT_EQ(zip_.FileList[0]->LocalHeaderOffset, GetParam() ? 1000u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Offsets, PrefixTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& tp) {
                           return tp.param ? "Adjusted" : "Unadjusted";
                         });

struct MadeByCase {
  const char* name;
  std::uint16_t first;
  std::uint16_t second;
  bool oem;
};

void PrintTo(const MadeByCase& c, std::ostream* os) {
  *os << c.name;
}

class OemNamesTest : public ReaderTest, public testing::WithParamInterface<MadeByCase> {};

TEST_P(OemNamesTest, AreDecidedByTheFirstHeader) {
  ZipLayout layout = ThreeEntries();
  layout.entries[0].made_by = GetParam().first;
  layout.entries[1].made_by = GetParam().second;
  layout.entries[2].made_by = GetParam().second;
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  EXPECT_EQ(zip_.OemNames, GetParam().oem);
}

INSTANTIATE_TEST_SUITE_P(Hosts, OemNamesTest,
                         testing::Values(MadeByCase{"MsDos", 0x0014, 0x0314, true},
                                         MadeByCase{"Os2Hpfs", 0x0614, 0x0314, true},
                                         MadeByCase{"Host11Version50", 0x0B32, 0x0314, true},
                                         MadeByCase{"Host11Version20", 0x0B14, 0x0014, false},
                                         MadeByCase{"Unix", 0x0314, 0x0014, false},
                                         MadeByCase{"Ntfs", 0x0A14, 0x0014, false}),
                         [](const testing::TestParamInfo<MadeByCase>& tp) {
                           return std::string(tp.param.name);
                         });

TEST_F(ReaderTest, OemNamesAreConvertedButUtf8FlaggedOnesAreNot) {
  ScopedEnv locale("LC_ALL", "hu_HU.UTF-8");
  ZipLayout layout;
  layout.entries.resize(3);
  layout.entries[0].made_by = 0x0014;
  layout.entries[0].name = "\xA0rv\xA1zt\xFBr\x8B t\x81k\x94rf\xA3r\xA2g\x82p.txt";
  layout.entries[0].comment = "megjegyz\x82s";
  layout.entries[1].made_by = 0x0014;
  layout.entries[1].flags = 0x0800;
  layout.entries[1].name = "\xC5\x90sz/k\xC3\xA9p.txt";  // already UTF-8
  layout.entries[1].comment = "\xC3\xA9";
  layout.entries[2].made_by = 0x0014;
  layout.entries[2].name = "mappa\\\x8Asz\\k\x82p.txt";
  layout.comment = "\x82";  // the archive comment is read before the names decide
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  EXPECT_TRUE(zip_.OemNames);
  EXPECT_EQ(Names(), (std::vector<std::string>{"árvíztűrő tükörfúrógép.txt", "Ősz/kép.txt",
                                               "mappa/Ősz/kép.txt"}));
  EXPECT_EQ(zip_.FileList[0]->FileComment, "megjegyzés");
  EXPECT_EQ(zip_.FileList[1]->FileComment, "é");
  EXPECT_EQ(zip_.EOCH.ZipComment, "\x82");
  EXPECT_EQ(zip_.OemToAnsiName("\x82"), "é");
  EXPECT_EQ(zip_.OemToAnsiName(""), "");
}

TEST_F(ReaderTest, NamesFromUnixStayAsStoredButForTheirSeparators) {
  ScopedEnv locale("LC_ALL", "ru_RU.UTF-8");
  ZipLayout layout;
  layout.entries.resize(3);
  layout.entries[0].name = "a\\b \xD0\x9F.txt";
  layout.entries[1].made_by = 0x0014;  // only the first header decides
  layout.entries[1].name = "\xD0\x9F\xD1\x80";
  // Not UTF-8: decoded from the OEM code page, entry by entry, so that no name that cannot be
  // written as UTF-8 is listed (nor extracted).
  layout.entries[2].name = "\x8F\xE0";
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  EXPECT_FALSE(zip_.OemNames);
  // '\' separates folders whatever the host (the rule the unzip library extracts by).
  EXPECT_EQ(Names(), (std::vector<std::string>{"a/b П.txt", "Пр", "Пр"}));
  EXPECT_EQ(zip_.OemToAnsiName("\x8F\xE0"), "\x8F\xE0");
  zip_.OemNames = true;
  EXPECT_EQ(zip_.OemToAnsiName("\x8F\xE0"), "Пр");  // CP866 for Russian
}

TEST_F(ReaderTest, ATruncatedCommentIsDroppedAndTheListingGoesOn) {
  ZipLayout layout = ThreeEntries();
  layout.comment = "only";
  layout.comment_length = 10;
  ASSERT_EQ(Assign(Write(layout.Build())), "");
  EXPECT_EQ(zip_.EOCH.CommentLength, 10);
  EXPECT_EQ(zip_.EOCH.ZipComment, "");
  EXPECT_EQ(zip_.FileList.size(), 3u);
}

struct DiskCase {
  const char* name;
  std::uint16_t this_disk;
  std::uint16_t central_dir_disk;
  bool valid;
};

void PrintTo(const DiskCase& c, std::ostream* os) {
  *os << c.name;
}

class DiskNumberLimitTest : public ReaderTest, public testing::WithParamInterface<DiskCase> {};

TEST_P(DiskNumberLimitTest, AboveOneThousandIsNoArchive) {
  ZipLayout layout = ThreeEntries();
  layout.this_disk = GetParam().this_disk;
  layout.central_dir_disk = GetParam().central_dir_disk;
  const std::string path = Write(layout.Build());
  if (GetParam().valid) {
    // The directory lies on this disk: read from its stated offset, no question asked.
    EXPECT_EQ(Assign(path), "");
    EXPECT_EQ(zip_.FileList.size(), 3u);
    EXPECT_EQ(zip_.ArchiveStart, 0);
    EXPECT_TRUE(ui_.shown.empty());
  } else {
    EXPECT_EQ(Assign(path), NotValid(path));
    EXPECT_TRUE(zip_.FileList.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Disks, DiskNumberLimitTest,
                         testing::Values(DiskCase{"ThisDisk1000", 1000, 1000, true},
                                         DiskCase{"ThisDisk1001", 1001, 1001, false},
                                         DiskCase{"CentralDirDisk1001", 1000, 1001, false},
                                         DiskCase{"ThisDisk1001OnlyThere", 1001, 0, false}),
                         [](const testing::TestParamInfo<DiskCase>& tp) {
                           return std::string(tp.param.name);
                         });

struct BrokenCase {
  const char* name;
  std::function<void(ZipLayout&)> damage;
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
  *os << c.name;
}

class BrokenDirectoryTest : public ReaderTest, public testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenDirectoryTest, EndsWithAnEmptyListAndAnError) {
  ZipLayout layout = ThreeEntries();
  layout.comment = "kept";
  GetParam().damage(layout);
  EXPECT_EQ(Assign(Write(layout.Build())), kHeaderError);
  EXPECT_TRUE(zip_.FileList.empty());
  EXPECT_EQ(zip_.EOCH.ZipComment, "kept");  // what was read stays
  EXPECT_EQ(changes_, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, BrokenDirectoryTest,
    testing::Values(BrokenCase{"MoreEntriesThanPresent", [](ZipLayout& s) { s.total_entries = 4; }},
                    BrokenCase{"WrongHeaderSignature",
                               [](ZipLayout& s) { s.entries[1].signature = 0x02014B51; }},
                    BrokenCase{"LocalHeaderSignatureInstead",
                               [](ZipLayout& s) { s.entries[0].signature = 0x04034B50; }},
                    // Smaller than stated, and no directory at the offset either: the size
                    // is a hint that the headers at the offset could have confirmed.
                    BrokenCase{"DirectorySmallerThanStated",
                               [](ZipLayout& s) {
                                 s.central_dir_size = 46 * 3 + 10;
                                 s.central_dir_offset = 1;
                               }}),
    [](const testing::TestParamInfo<BrokenCase>& tp) { return std::string(tp.param.name); });

TEST_F(ReaderTest, AShortNameExtraFieldOrCommentIsAnError) {
  // The last header claims more bytes than there are before the end record.
  for (int field = 0; field < 3; ++field) {
    ZipLayout layout = ThreeEntries();
    std::vector<std::uint8_t> bytes = layout.Build();
    // Offsets of the last header's length fields, counted back from its name.
    const std::size_t end_record = bytes.size() - 22;
    const std::size_t last_header = end_record - 46 - layout.entries[2].name.size();
    bytes[last_header + 28 + 2 * field] = 0xFF;  // NameLength, ExtraLength, CommentLength
    bytes[last_header + 29 + 2 * field] = 0x00;
    EXPECT_EQ(Assign(Write(bytes, "short" + std::to_string(field) + ".zip")), kHeaderError);
    EXPECT_TRUE(zip_.FileList.empty());
  }
}

TEST_F(ReaderTest, HostileOffsetsNeitherOverflowNorMoveTheStartOutOfRange) {
  // Offsets above 2 GiB stay positive; the running minimum starts at the file's size.
  ZipLayout layout = ThreeEntries();
  for (ZipItem& e : layout.entries) e.local_header_offset = 0x80000000;
  const std::vector<std::uint8_t> bytes = layout.Build();
  ASSERT_EQ(Assign(Write(bytes)), "");
  EXPECT_EQ(zip_.ArchiveStart, 0);

  // An end record that places the directory far beyond the file is no end record at all.
  layout.entries[0].local_header_offset = 5;
  layout.central_dir_offset = 0xFFFFFFF0;
  const std::string far = Write(layout.Build(), "far.zip");
  EXPECT_EQ(Assign(far), NotValid(far));
  EXPECT_TRUE(zip_.FileList.empty());
}

TEST_F(ReaderTest, ListingAgainReadsTheFileAsItIsNow) {
  const std::string path = Write(ThreeEntries().Build());
  ASSERT_EQ(Assign(path), "");
  WriteBytes(path, ZipLayout{}.Build());
  zip_.ListContents();
  EXPECT_TRUE(zip_.FileList.empty());
  std::filesystem::remove(path);
  EXPECT_THROW(zip_.ListContents(), EFOpenError);
}

TEST_F(ReaderTest, FindEndOfCentralDirLeavesTheStreamOnTheRecord) {
  ZipLayout layout = ThreeEntries();
  const std::vector<std::uint8_t> plain = layout.Build();
  layout.comment = "abc";
  const std::vector<std::uint8_t> commented = layout.Build();
  std::vector<std::uint8_t> no_record = plain;
  no_record[no_record.size() - 22] = 'Q';
  for (const auto& [bytes, expected] :
       {std::pair{plain, static_cast<std::int64_t>(plain.size() - 22)},
        std::pair{commented, static_cast<std::int64_t>(commented.size() - 25)},
        std::pair{no_record, std::int64_t{-1}}}) {
    const std::string path = Write(bytes, "find.zip");
    Result<FileStream> opened = FileStream::OpenRead(path);
    ASSERT_TRUE(opened);
    FileStream& stream = *opened;
    EXPECT_EQ(zip_.FindEndOfCentralDir(stream), expected);
    if (expected >= 0) {
      EXPECT_EQ(stream.Position().value_or(-1), expected);
      std::uint8_t magic[4];
      ASSERT_TRUE(stream.ReadBuffer(magic, 4));
      EXPECT_EQ(magic[0], 0x50);
      EXPECT_EQ(magic[3], 0x06);
    }
  }
}

}  // namespace
}  // namespace lorvante::test
