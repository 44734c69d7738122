// The encoders of the tests' support code for the methods no packaged tool writes: an archive of
// their output must pass 7-Zip's own test (`7z t`), which reads those methods independently of
// this program.
#include "tests/codecs/legacy_encoders.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/codecs/zip_codec_support.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_builder.h"

namespace lorvante::test {
namespace {

struct Encoder {
  std::string name;
  std::uint16_t method;
  std::uint16_t flags;
  std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)> encode;
};

std::vector<std::uint8_t> Implode4K2(std::span<const std::uint8_t> d) {
  return Implode(d, 0);
}
std::vector<std::uint8_t> Implode4K3(std::span<const std::uint8_t> d) {
  return Implode(d, 4);
}
std::vector<std::uint8_t> Implode8K2(std::span<const std::uint8_t> d) {
  return Implode(d, 2);
}
std::vector<std::uint8_t> Implode8K3(std::span<const std::uint8_t> d) {
  return Implode(d, 6);
}

void PrintTo(const Encoder& encoder, std::ostream* os) {
  *os << encoder.name;
}

class LegacyEncoderTest : public ::testing::TestWithParam<Encoder> {};

TEST_P(LegacyEncoderTest, SevenZipAcceptsWhatItWrites) {
  const Encoder& encoder = GetParam();
  std::vector<ZipItem> items;
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> data = {
      {"small.txt", TextLike(1000, 11)},
      {"text.txt", TextLike(1 << 20, 12)},  // fills the tables of the dictionary methods
      {"long.bin", LongMatches()},
      {"random.bin", RandomBytes(70000, 13)},
  };
  for (const auto& [name, bytes] : data) {
    ZipItem item;
    item.name = name;
    item.data = bytes;
    item.method = encoder.method;
    item.flags = encoder.flags;
    item.stored = encoder.encode(bytes);
    items.push_back(item);
  }
  TempDir dir;
  WriteBytes(dir / "legacy.zip", BuildZip(items));
  const RunResult run = test::Run({FindProgram("7z"), "t", dir / "legacy.zip"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Everything is Ok"), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Encoders, LegacyEncoderTest,
                         ::testing::Values(Encoder{"Shrink", 1, 0, Shrink},
                                           Encoder{"Implode4KTwoTrees", 6, 0, Implode4K2},
                                           Encoder{"Implode4KThreeTrees", 6, 4, Implode4K3},
                                           Encoder{"Implode8KTwoTrees", 6, 2, Implode8K2},
                                           Encoder{"Implode8KThreeTrees", 6, 6, Implode8K3}),
                         [](const auto& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace lorvante::test
