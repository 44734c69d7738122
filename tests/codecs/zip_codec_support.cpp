#include "tests/codecs/zip_codec_support.h"

#include <bzlib.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>

#include "tests/support/test_support.h"

namespace lorvante::test {

using codecs::DecodeStatus;

FeedResult Feed(codecs::Decoder& decoder, std::span<const std::uint8_t> input,
                std::size_t input_piece, std::size_t output_piece, std::size_t output_limit) {
  FeedResult result;
  std::vector<std::uint8_t> buffer(output_piece);
  for (;;) {
    const auto piece =
        input.subspan(result.consumed, std::min(input_piece, input.size() - result.consumed));
    const codecs::DecodeStep step = decoder.Decode(piece, buffer);
    EXPECT_LE(step.consumed, piece.size());
    EXPECT_LE(step.produced, buffer.size());
    if (step.consumed > piece.size() || step.produced > buffer.size()) break;
    result.consumed += step.consumed;
    result.output.insert(result.output.end(), buffer.begin(), buffer.begin() + step.produced);
    result.status = step.status;
    if (step.status != DecodeStatus::kOk || result.output.size() > output_limit) break;
    if (step.consumed == 0 && step.produced == 0) {
      // With room to write, only the end of the input stops a decoder.
      EXPECT_EQ(result.consumed, input.size()) << "the decoder stopped taking input";
      break;
    }
  }
  return result;
}

std::vector<std::uint8_t> TextLike(std::size_t size, std::uint32_t seed) {
  static const std::array<std::string, 16> kWords = {
      "kivonat", "jelentés", "adat", "the", "archive", "entry", "of",  "and",
      "2026.",   "összeg",   "Ft",   "12",  "345",     "—",     "név", "file"};
  std::mt19937 random(seed);
  std::vector<std::uint8_t> text;
  text.reserve(size + 32);
  while (text.size() < size) {
    const std::string& word = kWords[random() % kWords.size()];
    text.insert(text.end(), word.begin(), word.end());
    text.push_back(random() % 9 == 0 ? '\n' : ' ');
  }
  text.resize(size);
  return text;
}

std::vector<std::uint8_t> LongMatches() {
  std::vector<std::uint8_t> data;
  std::uint32_t seed = 40;
  for (const std::size_t block : {40u << 10, 60u << 10, 48u << 10}) {
    const std::vector<std::uint8_t> random = RandomBytes(block, seed++);
    data.insert(data.end(), random.begin(), random.end());
    data.insert(data.end(), random.begin(), random.end());
  }
  return data;
}

namespace {

std::uint32_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}

}  // namespace

std::string FindProgram(const std::string& name) {
  const char* path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  throw std::runtime_error(name + " not found (scripts/setup installs it)");
}

namespace {

// The data of the only entry of a zip that 7z writes from `data` with `switches`, which must
// come out with `method`.
std::vector<std::uint8_t> SevenZipEntry(std::span<const std::uint8_t> data,
                                        const std::vector<std::string>& switches,
                                        std::uint16_t method) {
  TempDir dir;
  WriteBytes(dir / "data.bin", std::vector<std::uint8_t>(data.begin(), data.end()));
  std::vector<std::string> argv = {FindProgram("7z"), "a", "-tzip"};
  argv.insert(argv.end(), switches.begin(), switches.end());
  argv.insert(argv.end(), {dir / "data.zip", dir / "data.bin"});
  const RunResult run = Run(argv);
  if (run.status != 0)
    throw std::runtime_error("7z failed (scripts/setup installs p7zip-full): " + run.err);
  // The local header of the only entry: method at 8, compressed size at 18, name and extra
  // field lengths at 26 and 28, the data after them.
  const std::vector<std::uint8_t> zip = ReadBytes(dir / "data.zip");
  if (Le32(zip, 0) != 0x04034b50 || Le16(zip, 8) != method) {
    throw std::runtime_error("7z did not write an entry of method " + std::to_string(method));
  }
  const std::size_t start = 30 + Le16(zip, 26) + Le16(zip, 28);
  const std::size_t size = Le32(zip, 18);
  return {zip.begin() + start, zip.begin() + start + size};
}

}  // namespace

std::vector<std::uint8_t> SevenZipDeflate64(std::span<const std::uint8_t> data) {
  if (data.empty()) return {0x03, 0x00};  // a final fixed block holding only its end code
  return SevenZipEntry(data, {"-mm=Deflate64"}, 9);
}

std::uint16_t PpmdParameters(const PpmdOptions& options) {
  return static_cast<std::uint16_t>((options.order - 1) | (options.memory_mib - 1) << 4 |
                                    options.restoration << 12);
}

std::vector<std::uint8_t> SevenZipPpmd(std::span<const std::uint8_t> data,
                                       const PpmdOptions& options) {
  if (data.empty()) {
    // The parameters, then the range coder flushed at once (its four bytes of a zero low end):
    // no symbol, no end mark.
    const std::uint16_t parameters = PpmdParameters(options);
    std::vector<std::uint8_t> stream = {static_cast<std::uint8_t>(parameters),
                                        static_cast<std::uint8_t>(parameters >> 8)};
    stream.resize(stream.size() + 4, 0);
    return stream;
  }
  return SevenZipEntry(data,
                       {"-mm=PPMd", "-mo=" + std::to_string(options.order),
                        "-mmem=" + std::to_string(options.memory_mib) + "m",
                        "-ma=" + std::to_string(options.restoration)},
                       98);
}

std::vector<std::uint8_t> ZipLzma(std::span<const std::uint8_t> data, bool end_marker) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 6)) throw std::runtime_error("lzma preset");
  options.ext_flags = 0;  // LZMA1EXT without its flag writes no end marker
  const std::array<lzma_filter, 2> filters = {{
      {end_marker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
      {LZMA_VLI_UNKNOWN, nullptr},
  }};
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters.data()) != LZMA_OK) throw std::runtime_error("encoder");
  std::vector<std::uint8_t> out = {
      9,
      20,
      5,
      0,  // LZMA SDK 9.20; 5 bytes of properties
      static_cast<std::uint8_t>((options.pb * 5 + options.lp) * 9 + options.lc),
      static_cast<std::uint8_t>(options.dict_size),
      static_cast<std::uint8_t>(options.dict_size >> 8),
      static_cast<std::uint8_t>(options.dict_size >> 16),
      static_cast<std::uint8_t>(options.dict_size >> 24)};
  const std::size_t header = out.size();
  out.resize(header + data.size() + data.size() / 2 + 1024);
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = out.data() + header;
  stream.avail_out = out.size() - header;
  const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  out.resize(out.size() - stream.avail_out);
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) throw std::runtime_error("lzma encoding");
  return out;
}

std::vector<std::uint8_t> Bzip2(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out(data.size() + data.size() / 100 + 600);
  auto size = static_cast<unsigned>(out.size());
  char nothing = 0;  // libbz2 refuses a null source, even of no bytes
  char* source =
      data.empty() ? &nothing : reinterpret_cast<char*>(const_cast<std::uint8_t*>(data.data()));
  if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size, source,
                               static_cast<unsigned>(data.size()), 9, 0, 0) != BZ_OK) {
    throw std::runtime_error("bzip2 compression failed");
  }
  out.resize(size);
  return out;
}

std::vector<std::uint8_t> RawDeflate(std::span<const std::uint8_t> data) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::vector<std::uint8_t> out(deflateBound(&stream, data.size()));
  stream.next_in = const_cast<std::uint8_t*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

std::vector<std::uint8_t> Xz(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out(lzma_stream_buffer_bound(data.size()));
  std::size_t size = 0;
  if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, data.data(), data.size(), out.data(),
                              &size, out.size()) != LZMA_OK) {
    throw std::runtime_error("xz encoding");
  }
  out.resize(size);
  return out;
}

std::vector<std::uint8_t> Zstd(std::span<const std::uint8_t> data) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 9);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  std::vector<std::uint8_t> out(ZSTD_compressBound(data.size()));
  const std::size_t size =
      ZSTD_compress2(context, out.data(), out.size(), data.data(), data.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) throw std::runtime_error("zstd encoding");
  out.resize(size);
  return out;
}

}  // namespace lorvante::test
