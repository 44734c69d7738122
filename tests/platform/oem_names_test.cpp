#include "platform/oem_names.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lorvante
