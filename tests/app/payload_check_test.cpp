#include "format/payload_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lorvante {
namespace {

std::vector<std::uint8_t> B(std::string_view s) { return {s.begin(), s.end()}; }

TEST(ZipTag, LettersFoldWithoutRegardToCaseOtherBytesMustMatch) {
  EXPECT_TRUE(IsZipTag(B("DESM4G!C11")));
  EXPECT_TRUE(IsZipTag(B("desm4g!c11")));
  EXPECT_TRUE(IsZipTag(B("DeSm4G!c11")));
  EXPECT_FALSE(IsZipTag(B("DESM4G?C11")));  // a non-letter differs
  EXPECT_FALSE(IsZipTag(B("DESM4G!C12")));
  // only a-z fold: bytes that are letters in other code pages do not
  std::vector<std::uint8_t> accented = B("DESM4G!C11");
  accented[0] = 0xC4;
  EXPECT_FALSE(IsZipTag(accented));
  EXPECT_FALSE(IsZipTag(B("DESM4G!C1")));
}

struct PayloadCase {
  std::vector<std::uint8_t> head;
  bool is_zip;
  bool passes;
};

void PrintTo(const PayloadCase& c, std::ostream* os) {
  *os << (c.is_zip ? "zip" : "gzip") << " of " << c.head.size() << " bytes";
}

class PayloadCheck : public testing::TestWithParam<PayloadCase> {};

TEST_P(PayloadCheck, FirstBytes) {
  const PayloadCase& c = GetParam();
  EXPECT_EQ(PayloadCheckPasses(c.head, c.is_zip), c.passes);
}

const std::vector<std::uint8_t> kGzip = {0x1F, 0x8B, 8, 0, 1, 2, 3, 4, 0, 3};
std::vector<std::uint8_t> With(std::vector<std::uint8_t> v, std::size_t i, std::uint8_t b) {
  v[i] = b;
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PayloadCheck,
    testing::Values(PayloadCase{kGzip, false, true},
                    PayloadCase{With(kGzip, 3, 0x08), false, false},  // names a file
                    PayloadCase{With(kGzip, 8, 0x02), false, false},  // extra flags
                    PayloadCase{With(kGzip, 9, 0x00), false, false},  // not Unix
                    PayloadCase{With(kGzip, 2, 0x07), false, false},  // not deflate
                    PayloadCase{{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0}, false, false},  // 9 bytes
                    PayloadCase{{0x50, 0x4B, 3, 4}, true, true},
                    PayloadCase{{0x50, 0x4B, 3, 4, 9, 9, 9, 9, 9, 9}, true, true},
                    PayloadCase{{0x50, 0x4B, 5, 6}, true, false},
                    PayloadCase{{0x50, 0x4B, 3}, true, false},
                    PayloadCase{{}, true, false}, PayloadCase{{}, false, false},
                    PayloadCase{kGzip, true, false},  // tagged file with a gzip payload
                    PayloadCase{{0x50, 0x4B, 3, 4, 0, 0, 0, 0, 0, 3}, false, false}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

}  // namespace
}  // namespace lorvante
