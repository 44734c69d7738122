// The PPMd decoder of zip method 98 on streams that 7z writes: every order class, small models
// that fill up and are started again or cut down, data that the binary contexts code (long runs
// of one symbol), input and output in pieces of any size; the end found at the entry's size;
// parameter words refused as the format says, and memory beyond the limit before any is taken.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codecs/window_limit.h"
#include "codecs/zip_methods.h"
#include "tests/codecs/zip_codec_support.h"
#include "tests/support/test_support.h"

namespace lorvante::test {
namespace {

using codecs::DecodeStatus;
using codecs::MakeZipDecoder;
using codecs::ZipDecoderParams;

constexpr std::uint16_t kPpmd = 98;

bool Have7z() {
  try {
    FindProgram("7z");
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Runs of one symbol, of lengths from 1 to 20000, between short random stretches.
std::vector<std::uint8_t> Runs(std::size_t size, std::uint32_t seed) {
  static constexpr std::size_t kLengths[] = {1, 2, 3, 50, 1000, 20000};
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data;
  while (data.size() < size) {
    data.insert(data.end(), kLengths[random() % std::size(kLengths)],
                static_cast<std::uint8_t>(random()));
  }
  data.resize(size);
  return data;
}

// Random symbols of a 100-letter alphabet: every context is new, so a small model fills fast.
std::vector<std::uint8_t> SmallAlphabet(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(size);
  for (std::uint8_t& byte : data) byte = static_cast<std::uint8_t>(random() % 100);
  return data;
}

struct PpmdSample {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

const std::vector<PpmdSample>& PpmdSamples() {
  static const std::vector<PpmdSample> sets = {
      {"Runs", Runs(600000, 1)},
      {"OneSymbol", std::vector<std::uint8_t>(300000, 'a')},
      {"Text", TextLike(700000, 2)},
      {"SmallAlphabet", SmallAlphabet(400000, 3)},
  };
  return sets;
}

// Input in pieces of random sizes (1 to `largest` bytes), output in pieces of random sizes.
FeedResult FeedRandomly(codecs::Decoder& decoder, std::span<const std::uint8_t> input,
                        std::size_t largest, std::uint32_t seed) {
  std::mt19937 random(seed);
  FeedResult result;
  std::vector<std::uint8_t> buffer(70000);
  for (;;) {
    const std::size_t in =
        std::min<std::size_t>(1 + random() % largest, input.size() - result.consumed);
    const std::size_t out = 1 + random() % buffer.size();
    const codecs::DecodeStep step =
        decoder.Decode(input.subspan(result.consumed, in), std::span(buffer).first(out));
    EXPECT_LE(step.consumed, in);
    EXPECT_LE(step.produced, out);
    result.consumed += step.consumed;
    result.output.insert(result.output.end(), buffer.begin(), buffer.begin() + step.produced);
    result.status = step.status;
    if (step.status != DecodeStatus::kOk) break;
    if (step.consumed == 0 && step.produced == 0 && result.consumed == input.size()) break;
  }
  return result;
}

struct Settings {
  unsigned order;
  unsigned memory_mib;
};

class PpmdSettingsTest : public ::testing::TestWithParam<Settings> {};

// Both restorations, each data set, in pieces of 1 byte and of random sizes.
TEST_P(PpmdSettingsTest, DecodesByteForByteWithEitherRestoration) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  const Settings settings = GetParam();
  for (const PpmdSample& data : PpmdSamples()) {
    SCOPED_TRACE(data.name);
    for (const unsigned restoration : {0u, 1u}) {
      SCOPED_TRACE("restoration " + std::to_string(restoration));
      const std::vector<std::uint8_t> stream = SevenZipPpmd(
          data.bytes,
          {.order = settings.order, .memory_mib = settings.memory_mib, .restoration = restoration});
      auto decoder = MakeZipDecoder(kPpmd, ZipDecoderParams{data.bytes.size(), 0});
      FeedResult result = Feed(*decoder, stream, 1, 4096);
      EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
      EXPECT_TRUE(result.output == data.bytes)
          << "decoded " << result.output.size() << " of " << data.bytes.size() << " bytes";
      EXPECT_EQ(result.consumed, stream.size());

      decoder = MakeZipDecoder(kPpmd, ZipDecoderParams{data.bytes.size(), 0});
      result = FeedRandomly(*decoder, stream, 3000, restoration + 1);
      EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
      EXPECT_TRUE(result.output == data.bytes);
      EXPECT_EQ(result.consumed, stream.size());
    }
  }
}

// The small model really fills up: how it goes on from there changes the stream.
TEST(PpmdTest, SmallModelsFillUp) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  for (const unsigned order : {2u, 6u, 16u}) {
    SCOPED_TRACE("order " + std::to_string(order));
    const std::vector<std::uint8_t>& data = PpmdSamples()[3].bytes;
    std::vector<std::uint8_t> restart =
        SevenZipPpmd(data, {.order = order, .memory_mib = 1, .restoration = 0});
    std::vector<std::uint8_t> cut =
        SevenZipPpmd(data, {.order = order, .memory_mib = 1, .restoration = 1});
    restart.erase(restart.begin(), restart.begin() + 2);  // the parameters differ anyway
    cut.erase(cut.begin(), cut.begin() + 2);
    EXPECT_NE(restart, cut);
  }
}

std::string SettingsName(const ::testing::TestParamInfo<Settings>& info) {
  return "Order" + std::to_string(info.param.order) + "Memory" +
         std::to_string(info.param.memory_mib) + "MiB";
}

INSTANTIATE_TEST_SUITE_P(OrdersAndMemory, PpmdSettingsTest,
                         ::testing::Values(Settings{2, 1}, Settings{6, 1}, Settings{16, 1},
                                           Settings{2, 64}, Settings{6, 64}, Settings{16, 64}),
                         SettingsName);

// The stream of `data` with its parameter word replaced.
std::vector<std::uint8_t> WithParameters(std::vector<std::uint8_t> stream,
                                         std::uint16_t parameters) {
  stream[0] = static_cast<std::uint8_t>(parameters);
  stream[1] = static_cast<std::uint8_t>(parameters >> 8);
  return stream;
}

// Every model size that the two bytes of parameters can ask for (up to 256 MiB, what a common
// archiver writes at its strongest setting) is within the limit and taken; the memory changes
// nothing for data that never fill it.
TEST(PpmdTest, EveryModelSizeOfTheParametersIsTaken) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  const std::vector<std::uint8_t> data = TextLike(5000, 4);
  const std::vector<std::uint8_t> stream = SevenZipPpmd(data);
  constexpr unsigned kLargestMib = 256;
  static_assert(std::uint64_t{kLargestMib} << 20 <= codecs::kMaxWindowBytes);
  for (const unsigned memory_mib : {1u, kLargestMib}) {
    SCOPED_TRACE(memory_mib);
    auto decoder = MakeZipDecoder(kPpmd, ZipDecoderParams{data.size(), 0});
    const FeedResult result =
        Feed(*decoder,
             WithParameters(
                 stream, PpmdParameters({.order = 6, .memory_mib = memory_mib, .restoration = 0})),
             1000, 4096);
    EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
    EXPECT_TRUE(result.output == data);
  }
}

// Orders below 2 and restorations other than starting again and cutting down are not PPMd
// variant I as zip stores it.
TEST(PpmdTest, BadParametersAreDataError) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  const std::vector<std::uint8_t> data = TextLike(3000, 5);
  const std::vector<std::uint8_t> stream = SevenZipPpmd(data);
  for (const PpmdOptions& options :
       {PpmdOptions{.order = 1, .memory_mib = 16, .restoration = 0},
        PpmdOptions{.order = 6, .memory_mib = 16, .restoration = 2},
        PpmdOptions{.order = 6, .memory_mib = 16, .restoration = 15}}) {
    SCOPED_TRACE(testing::Message()
                 << "order " << options.order << ", restoration " << options.restoration);
    auto decoder = MakeZipDecoder(kPpmd, ZipDecoderParams{data.size(), 0});
    EXPECT_EQ(Feed(*decoder, WithParameters(stream, PpmdParameters(options)), 1, 4096).status,
              DecodeStatus::kDataError);
  }
}

// The entry's size ends the data: the writer's end mark where bytes are still due, or bytes
// where the end mark is due, are damage.
TEST(PpmdTest, SizeOtherThanTheDataIsDataError) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  const std::vector<std::uint8_t> data = TextLike(20000, 6);
  const std::vector<std::uint8_t> stream = SevenZipPpmd(data);
  for (const std::size_t declared : {data.size() - 1, data.size() + 1}) {
    SCOPED_TRACE(declared);
    auto decoder = MakeZipDecoder(kPpmd, ZipDecoderParams{declared, 0});
    EXPECT_EQ(Feed(*decoder, stream, 100, 4096).status, DecodeStatus::kDataError);
  }
}

// PPMd keeps no check of its own: a changed byte shows as a count past the total, or at the end,
// where the writer's end mark and flush must be found exactly. Whatever the damage, the entry
// never comes out whole.
TEST(PpmdTest, DamageInTheDataNeverEndsWell) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  for (const PpmdSample& data : PpmdSamples()) {
    SCOPED_TRACE(data.name);
    const std::vector<std::uint8_t> stream = SevenZipPpmd(data.bytes);
    for (const std::size_t at : {std::size_t{6}, stream.size() / 3, stream.size() - 2}) {
      SCOPED_TRACE(testing::Message() << "byte " << at << " of " << stream.size());
      std::vector<std::uint8_t> damaged = stream;
      damaged[at] ^= 0x10;
      auto decoder = MakeZipDecoder(kPpmd, ZipDecoderParams{data.bytes.size(), 0});
      const FeedResult result = Feed(*decoder, damaged, 777, 65536);
      EXPECT_NE(result.status, DecodeStatus::kStreamEnd);
      EXPECT_NE(result.status, DecodeStatus::kMemoryError);
    }
  }
}

}  // namespace
}  // namespace lorvante::test
