// The ISA-L raw deflate decoder against zlib's on the same streams: every block kind, flushes,
// long matches, any split of input and output, truncation and corruption. What zlib makes of a
// stream is what the program's decoder must make of it, to the byte.
#include "codecs/inflater.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/codecs/deflate_streams.h"
#include "tests/support/test_support.h"

namespace lorvante::codecs {
namespace {

using test::ByteVector;
using test::Concat;
using test::Deflate;
using test::DeflateOptions;
using test::SampleText;

struct Decoded {
  ByteVector output;
  DecodeStatus status = DecodeStatus::kOk;
  std::size_t consumed = 0;
};

// Decodes `stream` handing the input over in pieces of `in_piece` bytes and taking the output
// through one reused buffer of `out_piece` bytes, as a streaming caller does.
Decoded DecodeAll(Decoder& decoder, const ByteVector& stream, std::size_t in_piece,
                  std::size_t out_piece) {
  Decoded result;
  ByteVector buffer(out_piece);
  for (;;) {
    const std::size_t in = std::min(in_piece, stream.size() - result.consumed);
    const DecodeStep step =
        decoder.Decode(std::span(stream).subspan(result.consumed, in), std::span(buffer));
    result.consumed += step.consumed;
    result.output.insert(result.output.end(), buffer.begin(), buffer.begin() + step.produced);
    result.status = step.status;
    if (step.status != DecodeStatus::kOk) break;
    if (step.consumed == 0 && step.produced == 0 && result.consumed == stream.size()) break;
  }
  return result;
}

Decoded DecodeWith(std::unique_ptr<Decoder> (*make)(), const ByteVector& stream,
                   std::size_t in_piece = 1 << 20, std::size_t out_piece = 1 << 20) {
  auto decoder = make();
  return DecodeAll(*decoder, stream, in_piece, out_piece);
}

struct StreamCase {
  const char* name;
  ByteVector data;
  DeflateOptions options;
};

std::vector<StreamCase> StreamCases() {
  const ByteVector text = SampleText(300000);
  ByteVector mixed = test::RandomBytes(70000, 4);
  mixed.insert(mixed.end(), text.begin(), text.begin() + 100000);
  mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 40000);  // a match 170000 back: none
  DeflateOptions stored;
  stored.level = 0;
  DeflateOptions fixed;
  fixed.strategy = Z_FIXED;
  DeflateOptions huffman_only;
  huffman_only.strategy = Z_HUFFMAN_ONLY;
  DeflateOptions rle;
  rle.strategy = Z_RLE;
  DeflateOptions best;
  best.level = 9;
  DeflateOptions fastest;
  fastest.level = 1;
  DeflateOptions sync_flushed;
  sync_flushed.flush_every = 10000;
  DeflateOptions full_flushed;
  full_flushed.flush_every = 33333;
  full_flushed.flush = Z_FULL_FLUSH;
  DeflateOptions block_flushed;
  block_flushed.flush_every = 4096;
  block_flushed.flush = Z_BLOCK;
  return {
      {"empty", {}, {}},
      {"empty stored", {}, stored},
      {"one byte", {0xF5}, {}},
      {"stored blocks", test::RandomBytes(200000, 7), stored},  // blocks of at most 65535
      {"fixed huffman", text, fixed},
      {"dynamic huffman", text, {}},
      {"huffman only", text, huffman_only},
      {"run length", ByteVector(100000, 'a'), rle},
      {"level 9 with window-long matches", mixed, best},
      {"level 1", text, fastest},
      {"incompressible", test::RandomBytes(100000, 8), {}},
      {"sync flushes", text, sync_flushed},
      {"full flushes", text, full_flushed},
      {"block flushes", text, block_flushed},
  };
}

TEST(Inflater, EveryBlockKindDecodesAsZlibDoes) {
  for (const auto& c : StreamCases()) {
    const ByteVector stream = Deflate(c.data, c.options);
    const Decoded ours = DecodeWith(MakeInflater, stream);
    const Decoded reference = DecodeWith(MakeZlibInflater, stream);
    EXPECT_EQ(reference.status, DecodeStatus::kStreamEnd) << c.name;
    EXPECT_EQ(ours.status, DecodeStatus::kStreamEnd) << c.name;
    EXPECT_EQ(ours.consumed, stream.size()) << c.name;
    EXPECT_TRUE(ours.output == c.data) << c.name;
    EXPECT_TRUE(ours.output == reference.output) << c.name;
  }
}

// Input and output in pieces of every awkward size, the output always through the same small
// buffer: the window must be kept by the decoder, not found in the caller's memory.
TEST(Inflater, AnySplitOfInputAndOutputGivesTheSameBytes) {
  const ByteVector data = Concat({SampleText(150000, 3), test::RandomBytes(5000, 2)});
  for (const int level : {0, 6}) {
    DeflateOptions options;
    options.level = level;
    const ByteVector stream = Deflate(data, options);
    const std::pair<std::size_t, std::size_t> splits[] = {
        {1, 1}, {1, 65536}, {7, 3}, {4096, 1}, {4096, 16384}, {65536, 100}, {1 << 20, 32768},
    };
    for (const auto& [in_piece, out_piece] : splits) {
      const Decoded ours = DecodeWith(MakeInflater, stream, in_piece, out_piece);
      EXPECT_EQ(ours.status, DecodeStatus::kStreamEnd)
          << level << ": " << in_piece << "/" << out_piece;
      EXPECT_TRUE(ours.output == data) << level << ": " << in_piece << "/" << out_piece;
      EXPECT_EQ(ours.consumed, stream.size());
    }
  }
}

// The stream end is where the next thing begins (a gzip trailer, the next zip entry): the bytes
// after it are left unconsumed, also those the decoder had read ahead, and the decoder stays
// ended.
TEST(Inflater, StopsRightAfterTheLastByteOfTheStream) {
  for (const auto& c : StreamCases()) {
    const ByteVector stream = Deflate(c.data, c.options);
    const ByteVector followed = Concat({stream, test::Bytes("\x1F\x8B\x08 the next member")});
    const std::pair<std::size_t, std::size_t> splits[] = {
        {1, 4096}, {5, 4096}, {1 << 20, 3}, {1 << 20, 1 << 20}};
    for (const auto& [in_piece, out_piece] : splits) {
      auto decoder = MakeInflater();
      const Decoded ours = DecodeAll(*decoder, followed, in_piece, out_piece);
      EXPECT_EQ(ours.status, DecodeStatus::kStreamEnd) << c.name;
      EXPECT_EQ(ours.consumed, stream.size()) << c.name << " in pieces of " << in_piece;
      std::uint8_t room[16];
      const DecodeStep again = decoder->Decode(std::span(followed).subspan(ours.consumed), room);
      EXPECT_EQ(again.status, DecodeStatus::kStreamEnd);
      EXPECT_EQ(again.consumed + again.produced, 0u);
    }
  }
}

// A stream cut at every 4 KiB boundary never ends and never fails: it asks for more. What came
// out is a prefix of the data, and no more than zlib gave out of the same bytes... nor less than
// what lies a window's reach before the cut.
TEST(Inflater, StreamCutAtEvery4KiBBoundaryWantsMore) {
  const ByteVector data = Concat({SampleText(60000, 5), test::RandomBytes(30000, 6)});
  for (const int level : {0, 1, 9}) {
    DeflateOptions options;
    options.level = level;
    const ByteVector stream = Deflate(data, options);
    ASSERT_GT(stream.size(), 3 * 4096u);
    for (std::size_t cut = 0; cut < stream.size(); cut += 4096) {
      const ByteVector part(stream.begin(), stream.begin() + cut);
      const Decoded ours = DecodeWith(MakeInflater, part, 1000, 3000);
      const Decoded reference = DecodeWith(MakeZlibInflater, part, 1000, 3000);
      EXPECT_EQ(ours.status, DecodeStatus::kOk) << level << " cut at " << cut;
      EXPECT_EQ(ours.consumed, cut);
      EXPECT_LE(ours.output.size(), reference.output.size());
      EXPECT_TRUE(std::equal(ours.output.begin(), ours.output.end(), data.begin()))
          << level << " cut at " << cut;
    }
  }
}

// Streams broken in each way the format can be broken, handcrafted: both decoders refuse them.
TEST(Inflater, CorruptStreamsAreDataErrors) {
  const ByteVector good = Deflate(SampleText(5000), {});
  ByteVector stored_bad_complement = Deflate(test::Bytes("stored data"), test::AtLevel(0));
  stored_bad_complement[3] ^= 0x01;  // LEN and NLEN no longer complement each other
  const std::pair<const char*, ByteVector> cases[] = {
      {"reserved block type", {0x07, 0x00}},
      {"stored length mismatch", stored_bad_complement},
      // Fixed block: literal 'a', then length 3 at distance 2, before two bytes were written.
      {"distance beyond the start", {0x4B, 0x04, 0x42, 0x00}},
      // The same fault in the last bytes of the input, which ISA-L reads through a buffer of
      // its own (and then counted its failure as 2^32 - 1 bytes left over).
      {"distance beyond the start at the end of the input",
       {0x43, 0xC6, 0xBD, 0xBC, 0x6D, 0x60, 0x9B, 0x00, 0x9A, 0x32, 0xF6, 0x14, 0xFA, 0x1A, 0xC1,
        0x65}},
      // Dynamic block declaring 30 length codes beyond the 286 that exist.
      {"too many length codes", {0xFD, 0xFF, 0xFF, 0xFF}},
      {"mangled dynamic header",
       Concat({{good[0]}, ByteVector(40, 0xFF), ByteVector(good.begin() + 41, good.end())})},
  };
  for (const auto& [name, stream] : cases) {
    for (const auto make : {MakeZlibInflater, MakeInflater}) {
      const Decoded decoded = DecodeWith(make, stream);
      EXPECT_EQ(decoded.status, DecodeStatus::kDataError) << name;
      // Even a failing call takes no more than it was offered.
      EXPECT_LE(decoded.consumed, stream.size()) << name;
    }
  }
}

// Random damage to real streams: where zlib finds a fault the decoder finds one too, and where
// zlib decodes the stream to its end the decoder gives the same bytes.
TEST(Inflater, DamagedStreamsFailWhereZlibFails) {
  const ByteVector data = SampleText(40000, 9);
  const ByteVector stream = Deflate(data, {});
  std::uint32_t state = 12345;
  int mismatches = 0;
  for (int round = 0; round < 400; ++round) {
    ByteVector damaged = stream;
    for (int k = 0; k < 1 + round % 3; ++k) {
      state = state * 1103515245u + 12345u;
      const std::size_t at = (state >> 8) % damaged.size();
      damaged[at] ^= static_cast<std::uint8_t>(1u << ((state >> 4) % 8));
    }
    const Decoded ours = DecodeWith(MakeInflater, damaged, 4096, 8192);
    const Decoded reference = DecodeWith(MakeZlibInflater, damaged, 4096, 8192);
    const bool ours_failed = ours.status == DecodeStatus::kDataError;
    const bool reference_failed = reference.status == DecodeStatus::kDataError;
    if (reference_failed != ours_failed) ++mismatches;
    if (!reference_failed && !ours_failed && reference.status == DecodeStatus::kStreamEnd) {
      EXPECT_TRUE(ours.output == reference.output) << "round " << round;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace lorvante::codecs
