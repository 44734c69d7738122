// The rules for stored names: which archives hold OEM names, and the folder separator.
#include "zipformat/names.h"

#include <gtest/gtest.h>

#include <ostream>

#include "zipformat/host_system.h"

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

}  // namespace
}  // namespace lorvante::zipformat
