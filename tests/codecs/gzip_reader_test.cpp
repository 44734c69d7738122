// The gzip reader against zlib's gz file interface, which read the payload before: the same
// verdict (complete or not) and the same bytes for multi-member data, every header field, the
// filler after the last member, truncation and damaged trailers, read through any buffer sizes.
#include "codecs/gzip_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>

#include "codecs/inflater.h"
#include "tests/codecs/deflate_streams.h"
#include "tests/support/test_support.h"

namespace lorvante::codecs {

void PrintTo(GzipStatus status, std::ostream* out) {
  *out << GzipStatusName(status);
}

namespace {

using test::Bytes;
using test::ByteVector;
using test::Concat;
using test::DeflateOptions;
using test::GzipMember;
using test::SampleText;

struct Outcome {
  bool complete = false;
  ByteVector output;
};

// How the export read a payload with zlib: gzread in blocks of 16384 bytes; a negative result,
// or an end that gzerror reports as an error, is corrupt data; data without the magic too.
Outcome ReadWithZlib(const ByteVector& payload) {
  test::TempDir dir;
  const std::string path = dir / "payload";
  test::WriteBytes(path, payload);
  Outcome outcome;
  if (payload.size() < 2 || payload[0] != 0x1F || payload[1] != 0x8B) return outcome;
  gzFile gz = gzopen(path.c_str(), "r");
  if (gz == nullptr) return outcome;
  std::uint8_t buffer[16384];
  for (;;) {
    const int n = gzread(gz, buffer, sizeof buffer);
    if (n < 0) break;
    if (n == 0) {
      int error = Z_OK;
      gzerror(gz, &error);
      outcome.complete = error == Z_OK;
      break;
    }
    outcome.output.insert(outcome.output.end(), buffer, buffer + n);
  }
  gzclose(gz);
  return outcome;
}

struct ReadShape {
  std::size_t input_size = GzipReader::kDefaultInputSize;  // the reader's buffer
  std::size_t source_piece = 1 << 30;                      // most bytes one source read gives
  std::size_t output_piece = 1 << 20;                      // the caller's buffer
};

struct ReaderOutcome {
  Outcome outcome;
  GzipStatus status = GzipStatus::kOk;
};

ReaderOutcome ReadWithReader(const ByteVector& payload, const ReadShape& shape = {},
                             GzipReader::DecoderFactory make = MakeInflater) {
  std::size_t offset = 0;
  GzipReader reader(
      [&](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        const std::size_t n =
            std::min({buffer.size(), shape.source_piece, payload.size() - offset});
        std::copy_n(payload.begin() + offset, n, buffer.begin());
        offset += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      make, shape.input_size);
  ReaderOutcome result;
  ByteVector buffer(shape.output_piece);
  for (;;) {
    const GzipStep step = reader.Read(buffer);
    result.outcome.output.insert(result.outcome.output.end(), buffer.begin(),
                                 buffer.begin() + step.produced);
    if (step.status != GzipStatus::kOk) {
      result.status = step.status;
      break;
    }
  }
  result.outcome.complete = result.status == GzipStatus::kEnd;
  return result;
}

ByteVector Head(const ByteVector& bytes, std::size_t count) {
  return ByteVector(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

bool IsPrefix(const ByteVector& part, const ByteVector& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

struct PayloadCase {
  std::string name;
  ByteVector payload;
  ByteVector text;  // the data of the members, as far as they are sound
};

// Header fields, several members, and what may follow the last one.
std::vector<PayloadCase> PayloadCases() {
  const ByteVector text = SampleText(100000);
  const ByteVector other = test::RandomBytes(20000, 3);
  const ByteVector member = GzipMember(text);
  std::vector<PayloadCase> cases = {
      {"one member", member, text},
      {"empty member", GzipMember({}), {}},
      {"stored member", GzipMember(other, test::AtLevel(0)), other},
      {"three members, one empty", Concat({member, GzipMember({}), GzipMember(other)}),
       Concat({text, other})},
      {"name, comment, extra field and header CRC",
       GzipMember(text, test::WithHeader("jelentes.txt",
                                         std::string(70000, 'c'),  // longer than a small buffer
                                         test::RandomBytes(3000, 1), true)),
       text},
      {"header CRC alone", GzipMember(other, test::WithHeader({}, {}, {}, true)), other},
      {"second member with every field",
       Concat({member, GzipMember(other, test::WithHeader("b", "c", {1, 2, 3, 4}, true))}),
       Concat({text, other})},
      {"long filler", Concat({member, ByteVector(100000, 0x00)}), text},
      {"filler that names a gzip file", Concat({member, Bytes("\x1F")}), text},
      {"filler of a whole header", Concat({member, Head(GzipMember({}), 10)}), text},
  };
  // The block filler after the payload: 1 to 7 bytes of any value. A filler that starts with the
  // magic is taken for another member, as zlib takes it.
  for (const std::uint8_t first : {0x00, 0xA5, 0x1F, 0x8B}) {
    for (std::size_t count = 1; count <= 7; ++count) {
      ByteVector filler(count, first);
      cases.push_back({"filler " + std::to_string(first) + " x " + std::to_string(count),
                       Concat({member, filler}), text});
    }
  }
  const ByteVector magic_filler = {0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00};
  for (std::size_t count = 2; count <= 7; ++count) {
    cases.push_back({"magic filler x " + std::to_string(count),
                     Concat({member, Head(magic_filler, count)}), text});
  }
  return cases;
}

TEST(GzipReader, ReadsWhatZlibReads) {
  for (const auto& c : PayloadCases()) {
    const Outcome reference = ReadWithZlib(c.payload);
    const ReaderOutcome ours = ReadWithReader(c.payload);
    EXPECT_EQ(ours.outcome.complete, reference.complete) << c.name;
    if (reference.complete) {
      EXPECT_TRUE(ours.outcome.output == reference.output) << c.name;
      EXPECT_TRUE(ours.outcome.output == c.text) << c.name;
    } else {
      EXPECT_TRUE(IsPrefix(ours.outcome.output, c.text)) << c.name;
    }
  }
}

// The same payloads through every shape of buffers: a reader buffer smaller than the header
// fields, a source that gives one byte at a time, a caller taking a few bytes per call.
TEST(GzipReader, BufferSizesDoNotMatter) {
  const ReadShape shapes[] = {
      {16, 1, 1}, {16, 5, 4096}, {4096, 1000, 7}, {65536, 1 << 30, 16384}, {1 << 20, 3000, 1 << 20},
  };
  for (const auto& c : PayloadCases()) {
    const ReaderOutcome expected = ReadWithReader(c.payload);
    for (const auto& shape : shapes) {
      const ReaderOutcome ours = ReadWithReader(c.payload, shape);
      EXPECT_EQ(ours.status, expected.status) << c.name << " through " << shape.input_size;
      EXPECT_TRUE(ours.outcome.output == expected.outcome.output) << c.name;
    }
    // The zlib decoder under the same reader: the same verdict and bytes.
    const ReaderOutcome through_zlib = ReadWithReader(c.payload, {}, MakeZlibInflater);
    EXPECT_EQ(through_zlib.status, expected.status) << c.name;
    EXPECT_TRUE(through_zlib.outcome.output == expected.outcome.output) << c.name;
  }
}

// Each way the data go wrong has its own status; zlib calls every one of them an error; what
// came out before the fault is a prefix of the text.
TEST(GzipReader, FaultsAreFoundWhereZlibFindsThem) {
  const ByteVector text = test::RandomBytes(100000, 5);  // stored blocks: data come out early
  const ByteVector good = GzipMember(text);
  struct Case {
    const char* name;
    std::function<ByteVector()> make;
    GzipStatus status;
  };
  auto damaged = [&](std::size_t at, std::uint8_t mask) {
    return [&good, at, mask] {
      ByteVector p = good;
      p[at] ^= mask;
      return p;
    };
  };
  const std::size_t end = good.size();
  const Case cases[] = {
      {"cut in the middle", [&] { return Head(good, end / 2); }, GzipStatus::kTruncated},
      {"trailer missing", [&] { return Head(good, end - 8); }, GzipStatus::kTruncated},
      {"trailer cut", [&] { return Head(good, end - 3); }, GzipStatus::kTruncated},
      {"header only", [&] { return Head(good, 10); }, GzipStatus::kTruncated},
      {"header cut", [&] { return Head(good, 6); }, GzipStatus::kTruncated},
      {"checksum wrong", damaged(end - 8, 0x01), GzipStatus::kCrcMismatch},
      {"length wrong", damaged(end - 4, 0x01), GzipStatus::kLengthMismatch},
      {"length off by 2^24", damaged(end - 1, 0x01), GzipStatus::kLengthMismatch},
      {"bad block type", damaged(10, 0x06), GzipStatus::kDataError},
      {"method 7", damaged(2, 0x0F), GzipStatus::kBadHeader},
      {"reserved flag", damaged(3, 0x20), GzipStatus::kBadHeader},
      {"header CRC wrong",
       [&] {
         ByteVector p = GzipMember(text, test::WithHeader({}, {}, {}, true));
         p[10] ^= 0x01;
         return p;
       },
       GzipStatus::kBadHeader},
      {"name never ends", [&] { return Head(GzipMember(text, test::WithHeader("jelentes")), 14); },
       GzipStatus::kTruncated},
      {"second member truncated",
       [&] {
         return Concat({good, Head(good, end - 1)});
       },
       GzipStatus::kTruncated},
      {"second member damaged",
       [&] {
         return Concat({good, damaged(end - 8, 0x80)()});
       },
       GzipStatus::kCrcMismatch},
      {"empty", [] { return ByteVector{}; }, GzipStatus::kNotGzip},
      {"one byte of the magic", [] { return ByteVector{0x1F}; }, GzipStatus::kNotGzip},
      {"plain text", [] { return Bytes("plain text, not compressed"); }, GzipStatus::kNotGzip},
      {"zlib wrapper", [&] { return test::Deflate(text, test::WithWindowBits(15)); },
       GzipStatus::kNotGzip},
  };
  for (const auto& c : cases) {
    const ByteVector payload = c.make();
    const Outcome reference = ReadWithZlib(payload);
    const ReaderOutcome ours = ReadWithReader(payload, {4096, 1 << 30, 16384});
    EXPECT_FALSE(reference.complete) << c.name;
    EXPECT_EQ(ours.status, c.status) << c.name;
    EXPECT_TRUE(IsPrefix(ours.outcome.output, Concat({text, text}))) << c.name;
    // Truncated data give out all they hold, as zlib does.
    if (c.status == GzipStatus::kTruncated) {
      EXPECT_GE(ours.outcome.output.size(), reference.output.size()) << c.name;
    }
  }
}

// A small stream cut at every 4 KiB boundary, and after every byte of its last 4 KiB: truncated,
// with everything decoded so far given out, never complete.
TEST(GzipReader, StreamCutAnywhereIsTruncated) {
  const ByteVector text = Concat({SampleText(50000, 2), test::RandomBytes(20000, 8)});
  const ByteVector member = GzipMember(text, test::WithHeader("a"));
  std::vector<std::size_t> cuts;
  for (std::size_t cut = 0; cut < member.size(); cut += 4096) cuts.push_back(cut);
  for (std::size_t cut = member.size() - 4096; cut < member.size(); ++cut) cuts.push_back(cut);
  for (const std::size_t cut : cuts) {
    const ByteVector payload = Head(member, cut);
    const Outcome reference = ReadWithZlib(payload);
    const ReaderOutcome ours = ReadWithReader(payload, {4096, 1 << 30, 16384});
    EXPECT_FALSE(reference.complete);
    EXPECT_EQ(ours.status, cut < 2 ? GzipStatus::kNotGzip : GzipStatus::kTruncated) << cut;
    EXPECT_TRUE(IsPrefix(ours.outcome.output, text)) << cut;
    EXPECT_TRUE(IsPrefix(reference.output, text)) << cut;
  }
}

// The source fails after the first bytes, inside the header, inside the data (random data: the
// member is as long as its text) and where the next member would start.
TEST(GzipReader, SourceFailureIsAReadError) {
  const ByteVector member = GzipMember(test::RandomBytes(200000, 1));
  for (const std::size_t fail_at :
       {std::size_t{0}, std::size_t{5}, std::size_t{20000}, member.size()}) {
    std::size_t offset = 0;
    GzipReader reader(
        [&](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
          if (offset >= fail_at) return -1;
          const std::size_t n = std::min(buffer.size(), fail_at - offset);
          std::copy_n(member.begin() + offset, n, buffer.begin());
          offset += n;
          return static_cast<std::ptrdiff_t>(n);
        },
        nullptr, 4096);
    std::vector<std::uint8_t> out(65536);
    GzipStep step;
    do {
      step = reader.Read(out);
    } while (step.status == GzipStatus::kOk);
    EXPECT_EQ(step.status, GzipStatus::kReadError) << fail_at;
    // The status stays.
    EXPECT_EQ(reader.Read(out).status, GzipStatus::kReadError);
  }
}

// The text a stream holds, read from its end, is never more than it holds: the last member's
// recorded length counts modulo 2^32, earlier members are not seen, and a filler after the stream
// may hide where the trailer ends; each place it could end at is taken at its smallest.
struct TailCase {
  const char* name;
  ByteVector tail;
  std::size_t max_filler;
  std::uint64_t at_least;
};

ByteVector Trailer(std::uint32_t crc, std::uint32_t length, std::size_t filler,
                   std::uint8_t filler_byte = 0) {
  ByteVector tail(filler + 8, filler_byte);
  for (int i = 0; i < 4; ++i) tail[i] = static_cast<std::uint8_t>(crc >> (8 * i));
  for (int i = 0; i < 4; ++i) tail[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
  return tail;
}

// `tail` after 7 bytes of `lead` (the end of the deflate data).
ByteVector Led(ByteVector tail, std::uint8_t lead) {
  tail.insert(tail.begin(), 7, lead);
  return tail;
}

TEST(GzipTextSize, ALowerBoundFromTheEnd) {
  const ByteVector member = GzipMember(ByteVector(100000, 'a'));
  ByteVector two = GzipMember(ByteVector(300000, 'b'));
  two.insert(two.end(), member.begin(), member.end());
  const TailCase cases[] = {
      {"one member, no filler: its length", member, 0, 100000},
      {"two members: the last one's length only", two, 0, 100000},
      {"over 4 GiB: the length modulo 2^32", Trailer(0x11223344, 5, 0), 0, 5},
      {"a filler of zeros may hide the trailer: nothing known", Trailer(0xFFFFFFFF, 0x01010101, 7),
       7, 0},
      {"no filler where one could be: every place counts",
       Led(Trailer(0x01010101, 0x01010101, 0), 0x01), 7, 0x01010101},
      {"a trailer with a 0 byte: the smallest place", Led(Trailer(0xFF00FFFF, 0x01010101, 0), 0xFF),
       7, 0x00FFFFFF},
      {"as short as a trailer: the one place", Trailer(0xFF00FFFF, 0x01010101, 0), 7, 0x01010101},
      {"shorter than a trailer", ByteVector(7, 0xFF), 7, 0},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GzipTextSizeAtLeast(c.tail, c.max_filler), c.at_least);
  }
  EXPECT_EQ(GzipTailSize(7), 15u);
}

}  // namespace
}  // namespace lorvante::codecs
