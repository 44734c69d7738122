// The decoders of the zip methods beyond deflate, through the factory the unzip library uses:
// byte-for-byte output of streams made by the real encoders, fed in pieces of every size; the end
// of the stream found exactly; truncated, corrupt and over-large streams refused.
#include "codecs/zip_methods.h"

#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "codecs/window_limit.h"
#include "tests/codecs/legacy_encoders.h"
#include "tests/codecs/zip_codec_support.h"
#include "tests/support/test_support.h"

namespace lorvante::test {
namespace {

using codecs::DecodeStatus;
using codecs::MakeZipDecoder;
using codecs::ZipDecoderParams;

struct Method {
  std::string name;
  std::uint16_t number;
  std::uint16_t flags;
  std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t>)> compress;
  // A change to a valid stream that the decoder must detect.
  std::function<void(std::vector<std::uint8_t>&)> corrupt;
};

void FlipMiddleByte(std::vector<std::uint8_t>& stream) {
  stream[stream.size() / 2] ^= 0x55;
}

void OverlongTree(std::vector<std::uint8_t>& stream) {
  stream[0] = 0xFF;
  for (std::size_t i = 1; i <= 256 && i < stream.size(); ++i) stream[i] = 0xF0;  // 16 of length 1
}

// Reduce has no checks but one: a follower's index within its set. Follower sets of 3 bytes
// each, then a first byte coded as index 3 of its set.
void OversizedFollowers(std::vector<std::uint8_t>& stream) {
  std::vector<bool> bits;
  const auto put = [&](unsigned value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) bits.push_back(((value >> i) & 1) != 0);
  };
  for (int set = 255; set >= 0; --set) {
    put(3, 6);
    put(0, 24);
  }
  put(0, 1);  // from the set
  put(3, 2);  // index 3
  stream.assign((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i]) stream[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
  }
}

// The range decoder's first code is never all ones.
void AllOnesCode(std::vector<std::uint8_t>& stream) {
  for (std::size_t i = 2; i < 6; ++i) stream[i] = 0xFF;
}

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = {
      {"Deflate", 8, 0, RawDeflate,
       // Block type 3 does not exist.
       [](auto& s) { s[0] |= 0x06; }},
      {"Bzip2", 12, 0, Bzip2,
       // A block's magic number that is not one.
       [](auto& s) { s[4] ^= 0x55; }},
      {"Deflate64", 9, 0, SevenZipDeflate64,
       // Block type 3 does not exist.
       [](auto& s) { s[0] |= 0x06; }},
      {"LzmaWithEndMarker", 14, codecs::kZipFlagLzmaEndMarker,
       [](auto data) { return ZipLzma(data, true); },
       // The range coder's first byte is always zero.
       [](auto& s) { s[9] = 0x80; }},
      {"LzmaWithoutEndMarker", 14, 0, [](auto data) { return ZipLzma(data, false); },
       [](auto& s) { s[9] = 0x80; }},
      {"Xz", 95, 0, Xz, FlipMiddleByte},
      {"Zstandard", 93, 0, Zstd, FlipMiddleByte},
      {"ZstandardOldId", 20, 0, Zstd, FlipMiddleByte},
      {"Shrink", 1, 0, Shrink,
       // The first code must be a byte: make it 256 or more.
       [](auto& s) { s[1] |= 0x01; }},
      // Implode, with each window and number of trees. The first tree of 256 or 64 lengths is
      // sent as runs; a first byte of 0xFF announces 256 runs, more than the values.
      {"Implode4KTwoTrees", 6, 0, [](auto d) { return Implode(d, 0); }, OverlongTree},
      {"Implode4KThreeTrees", 6, codecs::kZipFlagImplodeLiteralTree,
       [](auto d) { return Implode(d, codecs::kZipFlagImplodeLiteralTree); }, OverlongTree},
      {"Implode8KTwoTrees", 6, codecs::kZipFlagImplodeLargeWindow,
       [](auto d) { return Implode(d, codecs::kZipFlagImplodeLargeWindow); }, OverlongTree},
      {"Implode8KThreeTrees", 6,
       codecs::kZipFlagImplodeLargeWindow | codecs::kZipFlagImplodeLiteralTree,
       [](auto d) {
         return Implode(d, codecs::kZipFlagImplodeLargeWindow | codecs::kZipFlagImplodeLiteralTree);
       },
       OverlongTree},
      // Reduce with each factor.
      {"Reduce1", 2, 0, [](auto d) { return Reduce(d, 1); }, OversizedFollowers},
      {"Reduce2", 3, 0, [](auto d) { return Reduce(d, 2); }, OversizedFollowers},
      {"Reduce3", 4, 0, [](auto d) { return Reduce(d, 3); }, OversizedFollowers},
      {"Reduce4", 5, 0, [](auto d) { return Reduce(d, 4); }, OversizedFollowers},
      // PPMd with the smallest, a middle and the largest order; the small models fill up (at
      // 1 MiB and order 16, the random blocks would come out larger, and 7z stores them).
      {"PpmdOrder6", 98, 0, [](auto d) { return SevenZipPpmd(d); }, AllOnesCode},
      {"PpmdOrder2Restart1MiB", 98, 0,
       [](auto d) { return SevenZipPpmd(d, {.order = 2, .memory_mib = 1, .restoration = 0}); },
       AllOnesCode},
      {"PpmdOrder16CutOff2MiB", 98, 0,
       [](auto d) { return SevenZipPpmd(d, {.order = 16, .memory_mib = 2, .restoration = 1}); },
       AllOnesCode},
  };
  return methods;
}

struct Data {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

const std::vector<Data>& DataSets() {
  static const std::vector<Data> data = {
      {"Empty", {}},
      {"Small", TextLike(1000, 1)},
      {"OneMiB", TextLike(1 << 20, 2)},
      {"LongMatches", LongMatches()},
  };
  return data;
}

// Compressed once per method and data set.
const std::vector<std::uint8_t>& Compressed(const Method& method, const Data& data) {
  static std::map<std::pair<std::string, std::string>, std::vector<std::uint8_t>> cache;
  const std::pair key{method.name, data.name};
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, method.compress(data.bytes)).first;
  return it->second;
}

std::unique_ptr<codecs::Decoder> DecoderFor(const Method& method, std::size_t size) {
  auto decoder = MakeZipDecoder(method.number, ZipDecoderParams{size, method.flags});
  EXPECT_NE(decoder, nullptr);
  return decoder;
}

struct Pieces {
  std::size_t input;
  std::size_t output;
};

class ZipMethodTest : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {
 protected:
  const Method& method() const { return Methods()[std::get<0>(GetParam())]; }
  const Data& data() const { return DataSets()[std::get<1>(GetParam())]; }
};

TEST_P(ZipMethodTest, DecodesByteForByteInPiecesOfAnySize) {
  const std::vector<std::uint8_t>& stream = Compressed(method(), data());
  // Bytes after the stream (the next entry, a data descriptor) are left alone.
  std::vector<std::uint8_t> followed = stream;
  followed.insert(followed.end(), {'P', 'K', 7, 8, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  const bool large = data().bytes.size() > (256u << 10);
  for (const Pieces pieces : {Pieces{1, large ? 65536u : 1u}, Pieces{7, 7}, Pieces{65536, 1},
                              Pieces{65536, 65536}, Pieces{followed.size(), 3 << 20}}) {
    SCOPED_TRACE("input pieces " + std::to_string(pieces.input) + ", output pieces " +
                 std::to_string(pieces.output));
    auto decoder = DecoderFor(method(), data().bytes.size());
    const FeedResult result = Feed(*decoder, followed, pieces.input, pieces.output);
    EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
    EXPECT_TRUE(result.output == data().bytes)
        << "decoded " << result.output.size() << " of " << data().bytes.size() << " bytes";
    EXPECT_EQ(result.consumed, stream.size());
    // Once ended, the decoder stays ended and takes nothing more.
    std::uint8_t room[16];
    const codecs::DecodeStep after = decoder->Decode(std::span(followed).last(8), room);
    EXPECT_EQ(after.status, DecodeStatus::kStreamEnd);
    EXPECT_EQ(after.consumed, 0u);
    EXPECT_EQ(after.produced, 0u);
  }
}

TEST_P(ZipMethodTest, TruncatedStreamNeverEnds) {
  const std::vector<std::uint8_t>& stream = Compressed(method(), data());
  // Methods without an end code (the entry's size ends them) write nothing for nothing.
  if (stream.empty()) GTEST_SKIP() << "an empty stream has nothing to cut";
  for (const std::size_t keep :
       {stream.size() - 1, stream.size() / 2, std::min<std::size_t>(3, stream.size() - 1)}) {
    SCOPED_TRACE("kept " + std::to_string(keep) + " of " + std::to_string(stream.size()));
    auto decoder = DecoderFor(method(), data().bytes.size());
    const FeedResult result = Feed(*decoder, std::span(stream).first(keep), 4096, 65536);
    // The input ran out first, or the decoder already saw the stream could not be whole.
    EXPECT_NE(result.status, DecodeStatus::kStreamEnd);
    EXPECT_NE(result.status, DecodeStatus::kMemoryError);
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<std::size_t, std::size_t>>& info) {
  return Methods()[std::get<0>(info.param)].name + "_" + DataSets()[std::get<1>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(MethodsAndData, ZipMethodTest,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Methods().size()),
                                            ::testing::Range<std::size_t>(0, 4)),
                         CaseName);

class ZipMethodDamageTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  const Method& method() const { return Methods()[GetParam()]; }
};

TEST_P(ZipMethodDamageTest, CorruptStreamIsDataError) {
  for (const Data& data : DataSets()) {
    if (data.bytes.empty()) continue;  // no content to corrupt
    SCOPED_TRACE(data.name);
    std::vector<std::uint8_t> stream = Compressed(method(), data);
    method().corrupt(stream);
    for (const Pieces pieces : {Pieces{1, 1}, Pieces{stream.size(), 65536}}) {
      auto decoder = DecoderFor(method(), data.bytes.size());
      EXPECT_EQ(Feed(*decoder, stream, pieces.input, pieces.output).status,
                DecodeStatus::kDataError);
      // The error sticks.
      std::uint8_t room[16];
      EXPECT_EQ(decoder->Decode(stream, room).status, DecodeStatus::kDataError);
    }
  }
}

// Random damage anywhere: whatever the decoder makes of it, it ends, fails or waits for input,
// within bounded output and without touching memory it must not (the sanitizer build checks).
TEST_P(ZipMethodDamageTest, RandomDamageIsSurvived) {
  std::mt19937 random(7);
  for (const Data& data : DataSets()) {
    if (data.bytes.size() > (256u << 10)) continue;  // the smaller streams suffice
    SCOPED_TRACE(data.name);
    const std::vector<std::uint8_t>& stream = Compressed(method(), data);
    if (stream.empty()) continue;  // nothing to damage
    for (int round = 0; round < 60; ++round) {
      std::vector<std::uint8_t> damaged = stream;
      for (int i = 0; i < 1 + round % 4; ++i) {
        damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
      }
      auto decoder = DecoderFor(method(), data.bytes.size());
      const FeedResult result =
          Feed(*decoder, damaged, 1 + random() % 5000, 1 + random() % 70000, std::size_t{16} << 20);
      EXPECT_LE(result.consumed, damaged.size());
    }
  }
}

std::string MethodName(const ::testing::TestParamInfo<std::size_t>& info) {
  return Methods()[info.param].name;
}

INSTANTIATE_TEST_SUITE_P(Methods, ZipMethodDamageTest,
                         ::testing::Range<std::size_t>(0, Methods().size()), MethodName);

// Writers that work in parallel put several frames into one entry, sometimes after a skippable
// frame; the entry ends with the frame that completes its size.
TEST(ZstandardTest, FramesFollowOneAnotherUntilTheEntryIsComplete) {
  const std::vector<std::uint8_t> data = TextLike(300000, 3);
  const std::span<const std::uint8_t> all(data);
  std::vector<std::uint8_t> stream = {0x50, 0x2A, 0x4D, 0x18, 3, 0, 0, 0, 'x', 'y', 'z'};
  for (const auto part : {all.first(100000), all.subspan(100000)}) {
    const std::vector<std::uint8_t> frame = Zstd(part);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  const std::size_t frames_size = stream.size();
  stream.push_back(0);  // not a frame: after the end
  for (const std::size_t piece : {std::size_t{1}, std::size_t{13}, stream.size()}) {
    auto decoder = MakeZipDecoder(93, ZipDecoderParams{data.size(), 0});
    const FeedResult result = Feed(*decoder, stream, piece, 65536);
    EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
    EXPECT_TRUE(result.output == data);
    EXPECT_EQ(result.consumed, frames_size);
  }
}

// A frame header asking for a 1 GiB window: refused before anything is allocated for it.
TEST(ZstandardTest, WindowOverTheLimitIsRefused) {
  const std::uint8_t window_1gib = (30 - 10) << 3;  // exponent 20 over the 1 KiB base
  const std::vector<std::uint8_t> frame = {
      0x28, 0xB5, 0x2F, 0xFD, 0x00, window_1gib, 0x01, 0x00, 0x00};  // then an empty last raw block
  auto decoder = MakeZipDecoder(93, ZipDecoderParams{0, 0});
  EXPECT_EQ(Feed(*decoder, frame, frame.size(), 1024).status, DecodeStatus::kMemoryError);

  // The same frame with a 1 MiB window is fine.
  std::vector<std::uint8_t> small = frame;
  small[5] = (20 - 10) << 3;
  decoder = MakeZipDecoder(93, ZipDecoderParams{0, 0});
  EXPECT_EQ(Feed(*decoder, small, small.size(), 1024).status, DecodeStatus::kStreamEnd);
}

// An .xz stream whose block asks for a dictionary of `size` bytes (its header rewritten).
std::vector<std::uint8_t> XzWithDictionary(const std::vector<std::uint8_t>& data,
                                           std::uint32_t size) {
  std::vector<std::uint8_t> stream = Xz(data);
  constexpr std::size_t kBlockHeader = LZMA_STREAM_HEADER_SIZE;
  lzma_stream_flags flags;
  EXPECT_EQ(lzma_stream_header_decode(&flags, stream.data()), LZMA_OK);
  std::array<lzma_filter, LZMA_FILTERS_MAX + 1> filters{};
  lzma_block block{};
  block.check = flags.check;
  block.filters = filters.data();
  block.header_size = lzma_block_header_size_decode(stream[kBlockHeader]);
  EXPECT_EQ(lzma_block_header_decode(&block, nullptr, stream.data() + kBlockHeader), LZMA_OK);
  static_cast<lzma_options_lzma*>(filters[0].options)->dict_size = size;
  EXPECT_EQ(lzma_block_header_encode(&block, stream.data() + kBlockHeader), LZMA_OK);
  for (lzma_filter& filter : filters) free(filter.options);
  return stream;
}

// The dictionary is the writer's choice: one past the limit is refused before it is allocated;
// the largest that common writers use (64 MiB, xz -9) is not.
TEST(XzTest, DictionaryOverTheLimitIsRefused) {
  const std::vector<std::uint8_t> data = TextLike(3000, 9);
  auto decoder = MakeZipDecoder(95, ZipDecoderParams{data.size(), 0});
  EXPECT_EQ(Feed(*decoder, XzWithDictionary(data, 1u << 30), 100, 4096).status,
            DecodeStatus::kMemoryError);
  decoder = MakeZipDecoder(95, ZipDecoderParams{data.size(), 0});
  const FeedResult result = Feed(*decoder, XzWithDictionary(data, 64u << 20), 100, 4096);
  EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
  EXPECT_TRUE(result.output == data);
}

// Writers may put several .xz streams into one entry, with stream padding (null bytes in groups
// of four) between them; the entry ends with the stream that completes its size.
TEST(XzTest, StreamsFollowOneAnotherUntilTheEntryIsComplete) {
  const std::vector<std::uint8_t> data = TextLike(50000, 10);
  const std::span<const std::uint8_t> all(data);
  const std::vector<std::uint8_t> first = Xz(all.first(20000));
  const std::vector<std::uint8_t> second = Xz(all.subspan(20000));
  for (const std::size_t padding : {0, 4, 12}) {
    std::vector<std::uint8_t> stream = first;
    stream.insert(stream.end(), padding, 0);
    stream.insert(stream.end(), second.begin(), second.end());
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, stream.size()}) {
      SCOPED_TRACE(testing::Message() << "padding " << padding << ", pieces of " << piece);
      auto decoder = MakeZipDecoder(95, ZipDecoderParams{data.size(), 0});
      const FeedResult result = Feed(*decoder, stream, piece, 4096);
      EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
      EXPECT_TRUE(result.output == data);
      EXPECT_EQ(result.consumed, stream.size());
    }
  }
}

// Padding that is not a multiple of four bytes, or a second stream that is no stream, is damage.
TEST(XzTest, BadPaddingBetweenStreamsIsDataError) {
  const std::vector<std::uint8_t> data = TextLike(3000, 11);
  const std::vector<std::uint8_t> one = Xz(data);
  for (const auto& [what, between] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
           {"three null bytes", {0, 0, 0}}, {"not a stream", {0, 0, 0, 0, 'x', 'y', 'z', '!'}}}) {
    SCOPED_TRACE(what);
    std::vector<std::uint8_t> stream = one;
    stream.insert(stream.end(), between.begin(), between.end());
    stream.insert(stream.end(), one.begin(), one.end());
    auto decoder = MakeZipDecoder(95, ZipDecoderParams{2 * data.size(), 0});
    EXPECT_EQ(Feed(*decoder, stream, 7, 4096).status, DecodeStatus::kDataError);
  }
}

// The dictionary of a zip LZMA entry is bounded by the entry's size: a writer's huge dictionary
// costs nothing on a small entry, and is refused only where the entry really needs it.
TEST(ZipLzmaTest, DictionaryIsBoundedByTheEntryAndTheLimit) {
  const std::vector<std::uint8_t> data = TextLike(5000, 4);
  std::vector<std::uint8_t> stream = ZipLzma(data, true);
  stream[5] = stream[6] = stream[7] = 0xFF;  // dictionary size 4 GiB - 1
  stream[8] = 0xFF;
  auto decoder = MakeZipDecoder(14, ZipDecoderParams{data.size(), codecs::kZipFlagLzmaEndMarker});
  FeedResult result = Feed(*decoder, stream, 100, 4096);
  EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
  EXPECT_TRUE(result.output == data);

  // Declared as larger than the limit, the entry would need the whole dictionary.
  decoder = MakeZipDecoder(
      14, ZipDecoderParams{codecs::kMaxWindowBytes + 1, codecs::kZipFlagLzmaEndMarker});
  EXPECT_EQ(Feed(*decoder, stream, 100, 4096).status, DecodeStatus::kMemoryError);
}

TEST(ZipLzmaTest, MalformedHeaderIsDataError) {
  const std::vector<std::uint8_t> good = ZipLzma(TextLike(100, 5), true);
  for (const auto& [what, offset, value] :
       std::vector<std::tuple<std::string, int, int>>{{"properties size 4", 2, 4},
                                                      {"properties size 261", 3, 1},
                                                      {"pb 5", 4, 225},
                                                      {"lc 3 with lp 2", 4, 2 * 9 + 3}}) {
    SCOPED_TRACE(what);
    std::vector<std::uint8_t> stream = good;
    stream[offset] = static_cast<std::uint8_t>(value);
    auto decoder = MakeZipDecoder(14, ZipDecoderParams{100, codecs::kZipFlagLzmaEndMarker});
    EXPECT_EQ(Feed(*decoder, stream, 3, 4096).status, DecodeStatus::kDataError);
  }
}

// Without the marker flag the entry's size ends the data; a marker written anyway is taken.
TEST(ZipLzmaTest, MarkerWithoutTheFlagIsAccepted) {
  const std::vector<std::uint8_t> data = TextLike(20000, 6);
  const std::vector<std::uint8_t> stream = ZipLzma(data, true);
  auto decoder = MakeZipDecoder(14, ZipDecoderParams{data.size(), 0});
  const FeedResult result = Feed(*decoder, stream, 1000, 1000);
  EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
  EXPECT_TRUE(result.output == data);
  EXPECT_EQ(result.consumed, stream.size());
}

// The marker written without the flag may be split anywhere between two reads: reaching the
// entry's size is the end, whether or not the rest of the marker has arrived.
TEST(ZipLzmaTest, MarkerWithoutTheFlagSplitAnywhere) {
  const std::vector<std::uint8_t> data = TextLike(20000, 6);
  const std::vector<std::uint8_t> stream = ZipLzma(data, true);
  for (std::size_t cut = stream.size() - 12; cut < stream.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << "first read of " << cut << " bytes");
    auto decoder = MakeZipDecoder(14, ZipDecoderParams{data.size(), 0});
    // The caller leaves one byte of room beyond the entry's size, to see whether it is longer.
    const FeedResult result = Feed(*decoder, stream, cut, data.size() + 1);
    EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
    EXPECT_TRUE(result.output == data);
  }
}

// Frames of the format's early versions (magic numbers ending in 0x25 to 0x27) are refused
// however their first bytes arrive; a frame of the current format decodes in any pieces.
TEST(ZstandardTest, FramesOfEarlyFormatVersionsAreRefused) {
  // Magic, a header without content size or checksum, a raw block "abc", an end block.
  const std::vector<std::uint8_t> early = {0x27, 0xB5, 0x2F, 0xFD, 0x00, 0x00, 0x40, 0x00,
                                           0x03, 'a',  'b',  'c',  0xC0, 0x00, 0x00};
  const std::vector<std::uint8_t> abc = {'a', 'b', 'c'};
  const std::vector<std::uint8_t> current = Zstd(abc);
  for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{100}}) {
    SCOPED_TRACE(testing::Message() << "pieces of " << piece);
    for (std::uint8_t version = 0x25; version <= 0x27; ++version) {
      std::vector<std::uint8_t> frame = early;
      frame[0] = version;
      auto decoder = MakeZipDecoder(93, ZipDecoderParams{3, 0});
      EXPECT_EQ(Feed(*decoder, frame, piece, 1024).status, DecodeStatus::kDataError);
    }
    auto decoder = MakeZipDecoder(93, ZipDecoderParams{3, 0});
    const FeedResult result = Feed(*decoder, current, piece, 1024);
    EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
    EXPECT_TRUE(result.output == abc);
  }
}

TEST(ZipMethodsTest, FactoryServesTheMethodsOfThisModuleOnly) {
  for (const std::uint16_t method : {1, 2, 3, 4, 5, 6, 8, 9, 12, 14, 20, 93, 95, 98}) {
    EXPECT_NE(MakeZipDecoder(method, {}), nullptr) << method;
  }
  // Stored needs no decoder; the rest is unsupported.
  for (const std::uint16_t method : {0, 10, 18, 19, 94, 96, 97, 99, 7, 300}) {
    EXPECT_EQ(MakeZipDecoder(method, {}), nullptr) << method;
  }
}

TEST(ZipMethodsTest, EveryMethodAUserMayMeetHasAPlainName) {
  const std::map<std::uint16_t, std::string> names = {{0, "stored"},     {1, "shrink"},
                                                      {2, "reduce"},     {3, "reduce"},
                                                      {4, "reduce"},     {5, "reduce"},
                                                      {6, "implode"},    {8, "deflate"},
                                                      {9, "Deflate64"},  {10, "PKWARE DCL implode"},
                                                      {12, "bzip2"},     {14, "LZMA"},
                                                      {18, "IBM TERSE"}, {19, "IBM LZ77"},
                                                      {20, "Zstandard"}, {93, "Zstandard"},
                                                      {94, "MP3"},       {95, "XZ"},
                                                      {96, "JPEG"},      {97, "WavPack"},
                                                      {98, "PPMd"},      {99, "AES encryption"}};
  for (const auto& [method, name] : names) EXPECT_EQ(zipformat::ZipMethodName(method), name) << method;
  for (const std::uint16_t method : {7, 11, 13, 15, 100, 65535}) {
    EXPECT_STREQ(zipformat::ZipMethodName(method), "unknown") << method;
  }
}

}  // namespace
}  // namespace lorvante::test
