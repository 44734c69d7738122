// Decoding speed of the zip-method decoders, on one core, next to zlib's inflate (deflate, the
// method they stand beside). Usage:
//   zip_codecs_bench [--mib N] [--repeat N]
// Text-like data of N MiB (default 64) is compressed by the real encoders (7z for Deflate64
// and PPMd, zlib, liblzma, libzstd), then decoded through 64 KiB pieces of input into 256 KiB
// pieces of output; the best of --repeat runs (default 3) is reported in MB/s of output (10^6
// bytes per second of the thread's CPU time), with the decoder's peak memory where the library
// tells it.
#include <lzma.h>
#include <time.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "codecs/zip_methods.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using lorvante::codecs::DecodeStatus;

Bytes TextLike(std::size_t size) {
  std::mt19937 random(42);
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string word;
    for (int n = 2 + random() % 8; n > 0; --n)
      word.push_back(static_cast<char>('a' + random() % 26));
    words.push_back(word);
  }
  Bytes out;
  out.reserve(size + 64);
  while (out.size() < size) {
    for (int i = 0; i < 12; ++i) {
      const std::string& w = words[random() % words.size()];
      out.insert(out.end(), w.begin(), w.end());
      out.push_back(' ');
    }
    const std::string number = std::to_string(random() % 1000000000) + "\n";
    out.insert(out.end(), number.begin(), number.end());
  }
  out.resize(size);
  return out;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

std::uint32_t Le(const Bytes& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

// The data of the only entry of the zip that 7z writes from `data` with `switches`.
Bytes SevenZipEntry(const Bytes& data, const std::string& switches) {
  char dir[] = "/tmp/zip-codecs-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) std::exit(2);
  const std::string in = std::string(dir) + "/data.bin", zip = std::string(dir) + "/data.zip";
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), data.size());
  const std::string command = "7z a -tzip " + switches + " '" + zip + "' '" + in + "' >/dev/null";
  if (std::system(command.c_str()) != 0) std::exit(2);
  std::ifstream file(zip, std::ios::binary);
  const Bytes archive((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::error_code removal;
  std::filesystem::remove_all(dir, removal);
  if (removal) std::fprintf(stderr, "cannot remove %s: %s\n", dir, removal.message().c_str());
  const std::size_t start = 30 + Le(archive, 26, 2) + Le(archive, 28, 2);
  return Bytes(archive.begin() + start, archive.begin() + start + Le(archive, 18, 4));
}

Bytes RawDeflate(const Bytes& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytes::value_type*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Bytes ZipLzma(const Bytes& data) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 1)) std::exit(2);
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&s, filters) != LZMA_OK) std::exit(2);
  Bytes out = {9, 20, 5, 0,
               static_cast<std::uint8_t>((options.pb * 5 + options.lp) * 9 + options.lc)};
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(options.dict_size >> (8 * i)));
  const std::size_t header = out.size();
  out.resize(header + data.size() + data.size() / 2 + 1024);
  s.next_in = data.data();
  s.avail_in = data.size();
  s.next_out = out.data() + header;
  s.avail_out = out.size() - header;
  if (lzma_code(&s, LZMA_FINISH) != LZMA_STREAM_END) std::exit(2);
  out.resize(out.size() - s.avail_out);
  lzma_end(&s);
  return out;
}

Bytes Xz(const Bytes& data) {
  Bytes out(lzma_stream_buffer_bound(data.size()));
  std::size_t size = 0;
  if (lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr, data.data(), data.size(), out.data(),
                              &size, out.size()) != LZMA_OK) {
    std::exit(2);
  }
  out.resize(size);
  return out;
}

Bytes Zstd(const Bytes& data) {
  Bytes out(ZSTD_compressBound(data.size()));
  out.resize(ZSTD_compress(out.data(), out.size(), data.data(), data.size(), 3));
  return out;
}

constexpr std::size_t kInputPiece = 64 << 10;
constexpr std::size_t kOutputPiece = 256 << 10;

// Decodes `stream` through the pieces; false when the output differs from `want`.
bool DecodeWithDecoder(std::uint16_t method, const Bytes& stream, const Bytes& want, Bytes& out) {
  auto decoder = lorvante::codecs::MakeZipDecoder(
      method,
      {want.size(), method == lorvante::codecs::kZipLzma ? lorvante::codecs::kZipFlagLzmaEndMarker
                                                         : std::uint16_t{0}});
  std::size_t in = 0, produced = 0;
  for (;;) {
    const std::size_t offered = std::min(kInputPiece, stream.size() - in);
    const auto step =
        decoder->Decode({stream.data() + in, offered},
                        {out.data() + produced, std::min(kOutputPiece, out.size() - produced)});
    in += step.consumed;
    produced += step.produced;
    if (step.status == DecodeStatus::kStreamEnd) break;
    if (step.status != DecodeStatus::kOk || (step.consumed == 0 && step.produced == 0))
      return false;
  }
  return produced == want.size() && std::memcmp(out.data(), want.data(), produced) == 0;
}

bool DecodeWithZlib(const Bytes& stream, const Bytes& want, Bytes& out) {
  z_stream z{};
  inflateInit2(&z, -15);
  std::size_t in = 0, produced = 0;
  int ret = Z_OK;
  while (ret == Z_OK) {
    z.next_in = const_cast<Bytes::value_type*>(stream.data() + in);
    z.avail_in = static_cast<uInt>(std::min(kInputPiece, stream.size() - in));
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(std::min(kOutputPiece, out.size() - produced));
    const uInt before_in = z.avail_in, before_out = z.avail_out;
    ret = inflate(&z, Z_NO_FLUSH);
    in += before_in - z.avail_in;
    produced += before_out - z.avail_out;
  }
  inflateEnd(&z);
  return ret == Z_STREAM_END && produced == want.size() &&
         std::memcmp(out.data(), want.data(), produced) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t mib = 64;
  int repeat = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--mib") == 0) mib = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::atoi(argv[i + 1]);
  }
  const Bytes data = TextLike(mib << 20);
  Bytes out(data.size());
  struct Row {
    const char* name;
    Bytes stream;
    std::function<bool(const Bytes&)> decode;
  };
  using lorvante::zipformat::ZipMethod;
  const auto with_decoder = [&](std::uint16_t method) {
    return [&, method](const Bytes& s) { return DecodeWithDecoder(method, s, data, out); };
  };
  const Row rows[] = {
      {"deflate (zlib, reference)", RawDeflate(data),
       [&](const Bytes& s) { return DecodeWithZlib(s, data, out); }},
      {"Deflate64 (7z)", SevenZipEntry(data, "-mm=Deflate64"),
       with_decoder(lorvante::codecs::kZipDeflate64)},
      {"PPMd (7z, order 6, 16 MiB)", SevenZipEntry(data, "-mm=PPMd -mo=6 -mmem=16m"),
       with_decoder(lorvante::codecs::kZipPpmd)},
      {"LZMA (preset 1)", ZipLzma(data), with_decoder(lorvante::codecs::kZipLzma)},
      {"XZ (preset 1)", Xz(data), with_decoder(lorvante::codecs::kZipXz)},
      {"Zstandard (level 3)", Zstd(data), with_decoder(lorvante::codecs::kZipZstandard)},
  };
  std::printf("%zu MiB of text-like data, best of %d\n", mib, repeat);
  for (const Row& row : rows) {
    double best = 1e30;
    for (int r = 0; r < repeat; ++r) {
      const double start = CpuSeconds();
      if (!row.decode(row.stream)) {
        std::printf("%-28s WRONG OUTPUT\n", row.name);
        return 1;
      }
      best = std::min(best, CpuSeconds() - start);
    }
    std::printf("%-28s %10zu bytes compressed  %8.1f MB/s\n", row.name, row.stream.size(),
                data.size() / best / 1e6);
  }
  return 0;
}
