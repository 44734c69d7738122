#include "platform/oem_names.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lorvante {
namespace {

TEST(OemNames, CodePageFollowsTheLocale) {
  EXPECT_EQ(OemCodePageForLocale("hu_HU.UTF-8"), "CP852");
  EXPECT_EQ(OemCodePageForLocale("pl_PL"), "CP852");
  EXPECT_EQ(OemCodePageForLocale("ro"), "CP852");
  EXPECT_EQ(OemCodePageForLocale("ru_RU.UTF-8"), "CP866");
  EXPECT_EQ(OemCodePageForLocale("ja_JP.UTF-8"), "CP932");
  EXPECT_EQ(OemCodePageForLocale("en_US.UTF-8"), "CP437");
  EXPECT_EQ(OemCodePageForLocale("C"), "CP437");
  EXPECT_EQ(OemCodePageForLocale(""), "CP437");
}

TEST(OemNames, ConvertsEveryByteToUtf8) {
  EXPECT_EQ(OemToUtf8("\x82rv\xa1zt\xfbr\x8b", "CP852"), "érvíztűrő");
  EXPECT_EQ(OemToUtf8("\x80", "CP437"), "Ç");
  EXPECT_EQ(OemToUtf8("\x8f", "CP866"), "П");
  EXPECT_EQ(OemToUtf8("plain", "CP437"), "plain");
  EXPECT_EQ(OemToUtf8("", "CP852"), "");
}

struct Utf8Case {
  const char* label;
  std::string text;
  bool valid;
};

void PrintTo(const Utf8Case& c, std::ostream* os) {
  *os << c.label;
}

class Utf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, OnlyWellFormedUtf8Passes) {
  EXPECT_EQ(IsUtf8(GetParam().text), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Utf8Test,
    testing::Values(Utf8Case{"Empty", "", true}, Utf8Case{"Ascii", "plain.txt", true},
                    Utf8Case{"TwoBytes", "\xC3\xA9t\xC3\xA9", true},
                    Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", true},
                    Utf8Case{"LastCodePoint", "\xF4\x8F\xBF\xBF", true},
                    Utf8Case{"Cp437Byte", "caf\x82", false},
                    Utf8Case{"StrayContinuation", "\x80", false},
                    Utf8Case{"CutAtTheEnd", "a\xC3", false},
                    Utf8Case{"Overlong", "\xC0\xAF", false},
                    Utf8Case{"OverlongThreeBytes", "\xE0\x80\xAF", false},
                    Utf8Case{"Surrogate", "\xED\xA0\x80", false},
                    Utf8Case{"BeyondTheLastCodePoint", "\xF4\x90\x80\x80", false},
                    Utf8Case{"NulIsAscii", std::string("a\0b", 3), true}),
    [](const testing::TestParamInfo<Utf8Case>& tp) { return std::string(tp.param.label); });

TEST(OemNames, ValidUtf8ComesOutWhateverTheBytes) {
  EXPECT_EQ(OemToValidUtf8("caf\x82", "CP437"), "café");
  EXPECT_EQ(OemToValidUtf8("\x8F\xE0", "CP866"), "Пр");
  EXPECT_EQ(OemToValidUtf8("\x95\x5C", "CP932"), "表");
  // A Shift-JIS lead byte without its second byte: read as CP437 instead.
  EXPECT_EQ(OemToValidUtf8("\x81", "CP932"), "ü");
  EXPECT_EQ(OemToValidUtf8("\x99", "NO-SUCH-CODEPAGE"), "Ö");
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_TRUE(IsUtf8(OemToValidUtf8(std::string(1, static_cast<char>(byte)), "CP932"))) << byte;
  }
}

}  // namespace
}  // namespace lorvante
