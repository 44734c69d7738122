// The Deflate64 inflater on blocks written bit by bit: what sets Deflate64 apart from deflate
// (distances up to 64 KiB through codes 30 and 31, length code 285 with 16 extra bits), the
// unusual but valid codes writers use, and every kind of malformed block, which must fail as
// data errors without reading or writing outside the decoder's buffers. The streams of a real
// writer (Debian's 7z) are decoded in zip_methods_test.cpp.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "codecs/deflate64.h"
#include "tests/codecs/zip_codec_support.h"
#include "tests/support/test_support.h"

namespace lorvante::test {
namespace {

using codecs::DecodeStatus;

// Writes a deflate bit stream: fields from their least significant bit, Huffman codes from their
// most significant bit.
class BitWriter {
 public:
  void Bits(std::uint64_t value, unsigned count) {  // count <= 64
    for (unsigned i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(std::uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) Bit((code >> i) & 1);
  }
  void Align() {
    while (bit_ != 0) Bit(0);
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  void Bit(unsigned bit) {
    if (bit_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<std::uint8_t>(bit << bit_);
    bit_ = (bit_ + 1) % 8;
  }
  std::vector<std::uint8_t> bytes_;
  unsigned bit_ = 0;
};

void StoredBlock(BitWriter& w, std::span<const std::uint8_t> data, bool final) {
  w.Bits(final, 1);
  w.Bits(0, 2);
  w.Align();
  w.Bits(static_cast<std::uint32_t>(data.size()), 16);
  w.Bits(static_cast<std::uint32_t>(~data.size()), 16);
  for (const std::uint8_t byte : data) w.Bits(byte, 8);
}

void FixedHeader(BitWriter& w, bool final) {
  w.Bits(final, 1);
  w.Bits(1, 2);
}

// The fixed literal/length code.
void FixedSymbol(BitWriter& w, unsigned symbol) {
  if (symbol < 144) return w.Code(0x30 + symbol, 8);
  if (symbol < 256) return w.Code(0x190 + symbol - 144, 9);
  if (symbol < 280) return w.Code(symbol - 256, 7);
  w.Code(0xC0 + symbol - 280, 8);
}

// A match in a fixed block: length symbol and its extra bits, distance symbol and its extra bits.
struct Match {
  unsigned length_symbol, length_extra_bits, length_extra;
  unsigned distance_symbol, distance_extra_bits, distance_extra;
};
void FixedMatch(BitWriter& w, const Match& m) {
  FixedSymbol(w, m.length_symbol);
  w.Bits(m.length_extra, m.length_extra_bits);
  w.Code(m.distance_symbol, 5);
  w.Bits(m.distance_extra, m.distance_extra_bits);
}

// What a match does to the output, byte by byte.
void Copy(std::vector<std::uint8_t>& out, std::size_t length, std::size_t distance) {
  for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
}

// Canonical codes for code lengths, as deflate assigns them.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
  std::vector<std::uint32_t> codes(lengths.size());
  std::uint32_t code = 0;
  for (unsigned length = 1; length <= 15; ++length) {
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] == length) codes[symbol] = code++;
    }
    code <<= 1;
  }
  return codes;
}

constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

// The start of a dynamic block: table sizes and the code-length code.
void DynamicStart(BitWriter& w, bool final, unsigned literal_length_codes, unsigned distance_codes,
                  const std::vector<std::uint8_t>& code_length_lengths) {
  w.Bits(final, 1);
  w.Bits(2, 2);
  w.Bits(literal_length_codes - 257, 5);
  w.Bits(distance_codes - 1, 5);
  w.Bits(19 - 4, 4);
  for (const std::uint8_t symbol : kCodeLengthOrder) w.Bits(code_length_lengths[symbol], 3);
}

// A dynamic block header sending these lengths, each through a 4-bit code-length code.
void DynamicHeader(BitWriter& w, bool final, const std::vector<std::uint8_t>& literal_length,
                   const std::vector<std::uint8_t>& distance) {
  std::vector<std::uint8_t> code_length_lengths(19, 0);
  std::fill_n(code_length_lengths.begin(), 16, 4);
  DynamicStart(w, final, static_cast<unsigned>(literal_length.size()),
               static_cast<unsigned>(distance.size()), code_length_lengths);
  for (const std::uint8_t length : literal_length) w.Code(length, 4);
  for (const std::uint8_t length : distance) w.Code(length, 4);
}

// Literal/length lengths with codes for byte 0, end of block and length symbol 257 only.
std::vector<std::uint8_t> ZeroEndAndShortMatch() {
  std::vector<std::uint8_t> lengths(258, 0);
  lengths[0] = 1;
  lengths[256] = 2;
  lengths[257] = 2;
  return lengths;
}

struct PiecesCase {
  std::size_t input, output;
};
const PiecesCase kPieces[] = {{1, 1},     {7, 7},         {1, 65536},
                              {65536, 1}, {65536, 65536}, {1 << 20, 1 << 20}};

void ExpectDecodes(const std::vector<std::uint8_t>& stream, const std::vector<std::uint8_t>& want) {
  for (const PiecesCase pieces : kPieces) {
    SCOPED_TRACE("pieces " + std::to_string(pieces.input) + "/" + std::to_string(pieces.output));
    auto decoder = codecs::MakeDeflate64Decoder();
    const FeedResult result = Feed(*decoder, stream, pieces.input, pieces.output);
    EXPECT_EQ(result.status, DecodeStatus::kStreamEnd);
    EXPECT_EQ(result.consumed, stream.size());
    ASSERT_EQ(result.output.size(), want.size());
    EXPECT_TRUE(result.output == want);
  }
}

TEST(Deflate64Test, MatchesReachTheWholeWindowWithTheLongestLengths) {
  // 64 KiB of history in two stored blocks, then a fixed block of matches only Deflate64 has.
  const std::vector<std::uint8_t> history = RandomBytes(65536, 11);
  BitWriter w;
  StoredBlock(w, std::span(history).first(40000), false);
  StoredBlock(w, std::span(history).subspan(40000), false);
  std::vector<std::uint8_t> want = history;
  FixedHeader(w, true);
  // Length 3 + 40000 (code 285, 16 extra bits) from 65536 back (code 31, the last distance).
  FixedMatch(w, {285, 16, 40000, 31, 14, 16383});
  Copy(want, 40003, 65536);
  // Length 3 (code 285 with extra 0) from 32769 back (code 30, the first beyond deflate's reach).
  FixedMatch(w, {285, 16, 0, 30, 14, 0});
  Copy(want, 3, 32769);
  FixedSymbol(w, 'x');
  want.push_back('x');
  // The longest match: 65538 bytes, a run of the last byte.
  FixedMatch(w, {285, 16, 65535, 0, 0, 0});
  Copy(want, 65538, 1);
  // 258 (code 284 with all its 5 extra bits) from 49153 back (code 31, extra 0).
  FixedMatch(w, {284, 5, 31, 31, 14, 0});
  Copy(want, 258, 49153);
  // Deflate's farthest distance, 32768 (code 29).
  FixedMatch(w, {257, 0, 0, 29, 13, 8191});
  Copy(want, 3, 32768);
  FixedSymbol(w, 256);
  ExpectDecodes(w.bytes(), want);

  // Cut anywhere, the stream never ends.
  for (const std::size_t keep : {w.bytes().size() - 1, w.bytes().size() - 4, std::size_t{40010}}) {
    auto decoder = codecs::MakeDeflate64Decoder();
    EXPECT_EQ(Feed(*decoder, std::span(w.bytes()).first(keep), 1000, 70000).status,
              DecodeStatus::kOk);
  }
}

TEST(Deflate64Test, ValidCodesThatAreRare) {
  struct Case {
    std::string name;
    std::function<void(BitWriter&)> write;
    std::vector<std::uint8_t> want;
  };
  const std::vector<Case> cases = {
      {"empty stored block, then a fixed one",
       [](BitWriter& w) {
         StoredBlock(w, {}, false);
         FixedHeader(w, true);
         FixedSymbol(w, 'a');
         FixedSymbol(w, 256);
       },
       {'a'}},
      {"literals only, no distance code at all",
       [](BitWriter& w) {
         const auto lengths = ZeroEndAndShortMatch();
         DynamicHeader(w, true, lengths, {0});
         const auto codes = CanonicalCodes(lengths);
         w.Code(codes[0], 1);
         w.Code(codes[0], 1);
         w.Code(codes[256], 2);
       },
       {0, 0}},
      {"a single one-bit distance code",
       [](BitWriter& w) {
         const auto lengths = ZeroEndAndShortMatch();
         DynamicHeader(w, true, lengths, {1});
         const auto codes = CanonicalCodes(lengths);
         w.Code(codes[0], 1);
         w.Code(codes[257], 2);  // length 3
         w.Code(0, 1);           // distance 1
         w.Code(codes[256], 2);
       },
       {0, 0, 0, 0}},
      {"code lengths repeated across the two tables",
       [](BitWriter& w) {
         // Literal/length: bytes of 9 bits, end of block and 257 of 2 bits; distance: only
         // codes 30 and 31, of one bit. The run of zeros after 257 runs on into the distances.
         std::vector<std::uint8_t> code_length_lengths(19, 0);
         code_length_lengths[16] = 1;
         code_length_lengths[9] = 2;
         code_length_lengths[2] = 3;
         code_length_lengths[1] = 4;
         code_length_lengths[18] = 4;
         const auto cl = CanonicalCodes(code_length_lengths);
         DynamicStart(w, true, 286, 32, code_length_lengths);
         w.Code(cl[9], 2);
         for (int i = 0; i < 42; ++i) {
           w.Code(cl[16], 1);  // six more
           w.Bits(3, 2);
         }
         w.Code(cl[16], 1);  // three more: 256 in all
         w.Bits(0, 2);
         w.Code(cl[2], 3);
         w.Code(cl[2], 3);
         w.Code(cl[18], 4);  // 28 unused lengths, then distances 0 to 29
         w.Bits(58 - 11, 7);
         w.Code(cl[1], 4);
         w.Code(cl[1], 4);
         std::vector<std::uint8_t> lengths(258, 9);
         lengths[256] = lengths[257] = 2;
         const auto codes = CanonicalCodes(lengths);
         w.Code(codes['A'], 9);
         w.Code(codes[256], 2);
       },
       {'A'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    c.write(w);
    ExpectDecodes(w.bytes(), c.want);
  }
}

// Each malformed stream is refused as corrupt, whether it comes byte by byte or at once.
TEST(Deflate64Test, MalformedBlocksAreDataErrors) {
  const std::vector<std::pair<std::string, std::function<void(BitWriter&)>>> cases = {
      {"block type 3", [](BitWriter& w) { w.Bits(1, 1), w.Bits(3, 2), w.Bits(0, 16); }},
      {"stored length and its complement disagree",
       [](BitWriter& w) {
         w.Bits(1, 1), w.Bits(0, 2), w.Align();
         w.Bits(5, 16), w.Bits(5, 16), w.Bits(0x12345678, 32), w.Bits(0, 8);
       }},
      {"distance before the start of the output",
       [](BitWriter& w) {
         FixedHeader(w, true);
         FixedSymbol(w, 'a');
         FixedMatch(w, {257, 0, 0, 1, 0, 0});  // 3 bytes from 2 back, after 1 byte
         FixedSymbol(w, 256);
       }},
      {"distance before the start, after stored data",
       [](BitWriter& w) {
         const std::vector<std::uint8_t> data(1000, 'z');
         StoredBlock(w, data, false);
         FixedHeader(w, true);
         FixedMatch(w, {257, 0, 0, 19, 8, 232});  // from 1001 back
         FixedSymbol(w, 256);
       }},
      {"literal/length symbol 286",
       [](BitWriter& w) {
         FixedHeader(w, true);
         FixedSymbol(w, 286);
         w.Bits(0, 16);
       }},
      {"too many literal/length codes",
       [](BitWriter& w) {
         w.Bits(1, 1), w.Bits(2, 2), w.Bits(287 - 257, 5), w.Bits(0, 5), w.Bits(15, 4);
         w.Bits(0, 64);
       }},
      {"over-subscribed code-length code",
       [](BitWriter& w) {
         w.Bits(1, 1), w.Bits(2, 2), w.Bits(0, 5), w.Bits(0, 5), w.Bits(15, 4);
         for (int i = 0; i < 19; ++i) w.Bits(1, 3);
         w.Bits(0, 64);
       }},
      {"incomplete code-length code",
       [](BitWriter& w) {
         w.Bits(1, 1), w.Bits(2, 2), w.Bits(0, 5), w.Bits(0, 5), w.Bits(0, 4);
         w.Bits(1, 3), w.Bits(0, 3), w.Bits(0, 3), w.Bits(0, 3);  // only 16, one bit
         w.Bits(0, 64);
       }},
      {"over-subscribed literal/length code",
       [](BitWriter& w) {
         std::vector<std::uint8_t> lengths(257, 0);
         lengths[0] = lengths[1] = lengths[256] = 1;
         DynamicHeader(w, true, lengths, {1});
         w.Bits(0, 16);
       }},
      {"incomplete literal/length code",
       [](BitWriter& w) {
         std::vector<std::uint8_t> lengths(257, 0);
         lengths[0] = lengths[256] = 2;
         DynamicHeader(w, true, lengths, {1});
         w.Bits(0, 16);
       }},
      {"incomplete distance code of two codes",
       [](BitWriter& w) {
         DynamicHeader(w, true, ZeroEndAndShortMatch(), {2, 2});
         w.Bits(0, 16);
       }},
      {"no end-of-block code",
       [](BitWriter& w) {
         std::vector<std::uint8_t> lengths(257, 0);
         lengths[0] = lengths[1] = 1;
         DynamicHeader(w, true, lengths, {1});
         w.Bits(0, 16);
       }},
      {"length repeat with nothing before it",
       [](BitWriter& w) {
         std::vector<std::uint8_t> code_length_lengths(19, 0);
         code_length_lengths[16] = 1;
         code_length_lengths[0] = code_length_lengths[1] = 2;
         DynamicStart(w, true, 257, 1, code_length_lengths);
         w.Code(0, 1), w.Bits(0, 2), w.Bits(0, 32);
       }},
      {"zero run past the last length",
       [](BitWriter& w) {
         std::vector<std::uint8_t> code_length_lengths(19, 0);
         code_length_lengths[18] = 1;
         code_length_lengths[0] = code_length_lengths[1] = 2;
         DynamicStart(w, true, 257, 1, code_length_lengths);
         w.Code(0, 1), w.Bits(127, 7), w.Code(0, 1), w.Bits(127, 7), w.Bits(0, 32);
       }},
      {"length where no distance code exists",
       [](BitWriter& w) {
         const auto lengths = ZeroEndAndShortMatch();
         DynamicHeader(w, true, lengths, {0});
         const auto codes = CanonicalCodes(lengths);
         w.Code(codes[0], 1);
         w.Code(codes[257], 2);
         w.Bits(0, 32);
       }},
  };
  for (const auto& [name, write] : cases) {
    SCOPED_TRACE(name);
    BitWriter w;
    write(w);
    // Followed by more bytes, the fault is met where the decoder reads ahead in large steps.
    std::vector<std::uint8_t> followed = w.bytes();
    followed.resize(followed.size() + 32, 0);
    for (const auto& stream : {w.bytes(), followed}) {
      for (const std::size_t piece : {std::size_t{1}, stream.size()}) {
        auto decoder = codecs::MakeDeflate64Decoder();
        EXPECT_EQ(Feed(*decoder, stream, piece, 64).status, DecodeStatus::kDataError);
      }
    }
  }
}

// Data whose only redundancy lies 40 to 60 KiB back: 7z's Deflate64 must reach it, so that its
// streams exercise the long distances too (deflate's 32 KiB could not compress this at all).
TEST(Deflate64Test, SevenZipStreamsUseTheLongDistances) {
  const std::vector<std::uint8_t> data = LongMatches();
  const std::vector<std::uint8_t> stream = SevenZipDeflate64(data);
  EXPECT_LT(stream.size(), data.size() * 6 / 10);
  ExpectDecodes(stream, data);
}

}  // namespace
}  // namespace lorvante::test
