// The rules for stored names: which archives hold OEM names, and the folder separator.
#include "zipformat/names.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/oem_names.h"
#include "tests/support/zip_builder.h"
#include "zipformat/host_system.h"
#include "zipformat/records.h"

namespace lorvante::zipformat {
namespace {

struct SeparatorCase {
  const char* label;
  const char* stored;
  const char* path;
};

void PrintTo(const SeparatorCase& c, std::ostream* os) {
  *os << c.label;
}

class SeparatorRuleTest : public testing::TestWithParam<SeparatorCase> {};

// Whatever host made the entry: the rule takes no host at all.
TEST_P(SeparatorRuleTest, EveryBackslashSeparatesFolders) {
  EXPECT_EQ(EntryNameToPath(GetParam().stored), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SeparatorRuleTest,
    testing::Values(SeparatorCase{"SlashesStay", "dir/sub/file.txt", "dir/sub/file.txt"},
                    SeparatorCase{"Mixed", "a/b\\d/", "a/b/d/"},
                    SeparatorCase{"BackslashOnly", "x\\y", "x/y"},
                    SeparatorCase{"LeadingBackslashIsAbsolute", "\\tmp\\x", "/tmp/x"},
                    SeparatorCase{"DotDotIsSeenAsAComponent", "..\\..\\x", "../../x"},
                    SeparatorCase{"OtherBytesKept", "\x8F\xE0 a:b\\\xC3\xA9",
                                  "\x8F\xE0 a:b/\xC3\xA9"},
                    SeparatorCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<SeparatorCase>& tp) { return std::string(tp.param.label); });

struct MadeByCase {
  const char* label;
  std::uint16_t made_by;
  bool oem;
  bool unix_mode;
};

void PrintTo(const MadeByCase& c, std::ostream* os) {
  *os << c.label;
}

class HostRuleTest : public testing::TestWithParam<MadeByCase> {};

TEST_P(HostRuleTest, DecidesOemNamesAndUnixModes) {
  EXPECT_EQ(NamesAreOem(GetParam().made_by), GetParam().oem);
  EXPECT_EQ(IsUnixHost(GetParam().made_by), GetParam().unix_mode);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostRuleTest,
                         testing::Values(MadeByCase{"MsDos", 0x0014, true, false},
                                         MadeByCase{"Os2Hpfs", 0x0614, true, false},
                                         MadeByCase{"Host11Version50", 0x0B32, true, false},
                                         MadeByCase{"Host11Version20", 0x0B14, false, false},
                                         MadeByCase{"Host11Version51", 0x0B33, false, false},
                                         MadeByCase{"Ntfs", 0x0A14, false, false},
                                         MadeByCase{"Vfat", 0x0E14, false, false},
                                         MadeByCase{"Unix", 0x031E, false, true},
                                         MadeByCase{"MacOsX", 0x1314, false, true},
                                         MadeByCase{"Amiga", 0x0114, false, false}),
                         [](const testing::TestParamInfo<MadeByCase>& tp) {
                           return std::string(tp.param.label);
                         });

// The Unicode path field: version 1, the CRC of the stored name, the name.
std::vector<std::uint8_t> UnicodePathBlock(std::uint8_t version, std::string_view crc_of,
                                           std::string_view name) {
  std::vector<std::uint8_t> block;
  test::PutLE(block, kExtraUnicodePath, 2);
  test::PutLE(block, static_cast<std::uint32_t>(5 + name.size()), 2);
  block.push_back(version);
  test::PutLE(block,
              static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(crc_of.data()),
                                               static_cast<uInt>(crc_of.size()))),
              4);
  block.insert(block.end(), name.begin(), name.end());
  return block;
}

struct UnicodePathCase {
  const char* label;
  std::vector<std::uint8_t> extra;
  std::optional<std::string> name;
};

void PrintTo(const UnicodePathCase& c, std::ostream* os) {
  *os << c.label;
}

class UnicodePathTest : public testing::TestWithParam<UnicodePathCase> {};

constexpr char kStored[] = "%U00D6l.txt";

TEST_P(UnicodePathTest, IsReadWhereItsCrcIsTheStoredNames) {
  EXPECT_EQ(FindUnicodePath(GetParam().extra, kStored), GetParam().name);
}

std::vector<std::uint8_t> AfterAnotherBlock() {
  std::vector<std::uint8_t> extra = {0x55, 0x54, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  const auto block = UnicodePathBlock(1, kStored, "Öl.txt");
  extra.insert(extra.end(), block.begin(), block.end());
  return extra;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, UnicodePathTest,
    testing::Values(
        UnicodePathCase{"Matching", UnicodePathBlock(1, kStored, "Öl.txt"), "Öl.txt"},
        UnicodePathCase{"AfterAnotherBlock", AfterAnotherBlock(), "Öl.txt"},
        UnicodePathCase{"None", {}, std::nullopt},
        UnicodePathCase{"AnotherNamesCrc", UnicodePathBlock(1, "old.txt", "Öl.txt"), std::nullopt},
        UnicodePathCase{"Version2", UnicodePathBlock(2, kStored, "Öl.txt"), std::nullopt},
        UnicodePathCase{"EmptyName", UnicodePathBlock(1, kStored, ""), std::nullopt},
        UnicodePathCase{"NameNotUtf8", UnicodePathBlock(1, kStored, "\x99l.txt"), std::nullopt},
        UnicodePathCase{"CutShort",
                        std::vector<std::uint8_t>{0x75, 0x70, 0x03, 0x00, 0x01, 0x00, 0x00},
                        std::nullopt}),
    [](const testing::TestParamInfo<UnicodePathCase>& tp) { return std::string(tp.param.label); });

struct EntryNameCase {
  const char* label;
  std::string stored;
  std::uint16_t flags;
  std::optional<std::string> unicode_path;
  bool oem;  // the archive's names are OEM by its first header
  std::string name;
};

void PrintTo(const EntryNameCase& c, std::ostream* os) {
  *os << c.label;
}

class EntryNameTest : public testing::TestWithParam<EntryNameCase> {};

TEST_P(EntryNameTest, IsValidUtf8WithSlashes) {
  const EntryNameCase& c = GetParam();
  const NameReading reading{.oem = c.oem, .codepage = "CP437"};
  const std::string name = EntryName(c.stored, c.flags, c.unicode_path, reading);
  EXPECT_EQ(name, c.name);
  EXPECT_TRUE(IsUtf8(name));
}

INSTANTIATE_TEST_SUITE_P(
    Names, EntryNameTest,
    testing::Values(
        EntryNameCase{"UnicodePathFirst", "\x84\\x.txt", 0, "ä\\\u00b3.txt", true, "ä/³.txt"},
        EntryNameCase{"UnicodePathOverAFlaggedName", "a.txt", kFlagUtf8Names, "b.txt", false,
                      "b.txt"},
        EntryNameCase{"FlaggedUtf8InAnOemArchive", "\xC3\xA9.txt", kFlagUtf8Names, std::nullopt,
                      true, "é.txt"},
        EntryNameCase{"OemArchive", "\x82.txt", 0, std::nullopt, true, "é.txt"},
        // The archive-wide rule stands where it yields valid names, also over valid UTF-8.
        EntryNameCase{"OemArchiveOverUtf8Bytes", "\xC3\xA9", 0, std::nullopt, true, "├⌐"},
        EntryNameCase{"Utf8InAnotherArchive", "\xC3\xA9\\x", 0, std::nullopt, false, "é/x"},
        EntryNameCase{"NotUtf8InAnotherArchive", "\x82\\x", 0, std::nullopt, false, "é/x"},
        EntryNameCase{"FlaggedButNotUtf8", "\x82.txt", kFlagUtf8Names, std::nullopt, false,
                      "é.txt"},
        EntryNameCase{"Ascii", "dir/a.txt", 0, std::nullopt, false, "dir/a.txt"}),
    [](const testing::TestParamInfo<EntryNameCase>& tp) { return std::string(tp.param.label); });

}  // namespace
}  // namespace lorvante::zipformat
