// Decryption speed of every DES-ECB kernel this processor can run, on one core.
//
//   des_bench [--key HEX16] [--mib N] [--repeat N] [--in FILE] [--out FILE]
//
// The data (random, or the bytes of --in, whose length must be a multiple of 8) is decrypted in
// 4096-byte chunks by each kernel in turn, two ways:
//   chunk:  one 4096-byte buffer decrypted over and over, as many bytes in all as the data holds:
//           the program's chunk, just read from the file, sits in the cache the same way (the
//           speed of a bitsliced kernel does not depend on the data);
//   stream: in place over the whole data, which does not fit in the caches.
// The best of --repeat runs is reported in MB/s (10^6 bytes per second of the thread's CPU time).
// --out writes the plaintext, so a script can compare it with another tool's.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "des/des_ecb.h"

namespace {

using lorvante::des::EcbCipher;
using lorvante::des::Kernel;

constexpr std::size_t kChunk = 4096;

bool ParseKey(const std::string& hex, std::uint8_t (&key)[8]) {
  if (hex.size() != 16) return false;
  for (std::size_t i = 0; i < 8; ++i) {
    char* end = nullptr;
    const std::string byte = hex.substr(2 * i, 2);
    const unsigned long v = std::strtoul(byte.c_str(), &end, 16);
    if (end != byte.c_str() + 2) return false;
    key[i] = static_cast<std::uint8_t>(v);
  }
  return true;
}

// CPU time of this thread: on a shared machine, time spent waiting for a core is not counted.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double StreamSeconds(const EcbCipher& cipher, Kernel kernel, std::vector<std::uint8_t>& data) {
  const double start = ThreadSeconds();
  for (std::size_t pos = 0; pos < data.size(); pos += kChunk) {
    const std::size_t n = std::min(kChunk, data.size() - pos);
    cipher.DecryptWith(kernel, data.data() + pos, data.data() + pos, n / lorvante::des::kBlockSize);
  }
  return ThreadSeconds() - start;
}

double ChunkSeconds(const EcbCipher& cipher, Kernel kernel, const std::vector<std::uint8_t>& data) {
  alignas(64) std::uint8_t buffer[kChunk];
  const std::size_t n = std::min(kChunk, data.size());
  std::memcpy(buffer, data.data(), n);
  const double start = ThreadSeconds();
  for (std::size_t pos = 0; pos < data.size(); pos += n)
    cipher.DecryptWith(kernel, buffer, buffer, n / lorvante::des::kBlockSize);
  return ThreadSeconds() - start;
}

int Usage() {
  std::fprintf(stderr,
               "usage: des_bench [--key HEX16] [--mib N] [--repeat N] [--in FILE] [--out FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint8_t key[8] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
  std::size_t mib = 256;
  int repeat = 3;
  std::string in_path, out_path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--key") {
      if (!ParseKey(value, key)) return Usage();
    } else if (arg == "--mib") {
      mib = std::strtoul(value.c_str(), nullptr, 10);
    } else if (arg == "--repeat") {
      repeat = std::atoi(value.c_str());
    } else if (arg == "--in") {
      in_path = value;
    } else if (arg == "--out") {
      out_path = value;
    } else {
      return Usage();
    }
  }

  std::vector<std::uint8_t> source;
  if (!in_path.empty()) {
    std::ifstream in(in_path, std::ios::binary);
    source.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "cannot read %s\n", in_path.c_str());
      return 1;
    }
  } else {
    source.resize(mib << 20);
    std::mt19937_64 random(42);
    for (std::size_t i = 0; i < source.size(); i += 8) {
      const std::uint64_t v = random();
      std::memcpy(source.data() + i, &v, 8);
    }
  }
  if (source.size() % 8 != 0 || source.empty()) {
    std::fprintf(stderr, "the data must be a non-empty multiple of 8 bytes\n");
    return 1;
  }

  const EcbCipher cipher(key);
  std::vector<std::uint8_t> data(source.size());
  const double megabytes = static_cast<double>(source.size()) / 1e6;
  double table_chunk = 0, table_stream = 0;
  std::vector<std::uint8_t> reference;
  std::printf("%-12s %12s %8s %12s %8s\n", "kernel", "chunk MB/s", "x table", "stream MB/s",
              "x table");
  for (const Kernel kernel : lorvante::des::AvailableKernels()) {
    double chunk = 1e30, stream = 1e30;
    for (int r = 0; r < repeat; ++r) {
      chunk = std::min(chunk, ChunkSeconds(cipher, kernel, source));
      std::memcpy(data.data(), source.data(), source.size());
      stream = std::min(stream, StreamSeconds(cipher, kernel, data));
      if (kernel == Kernel::kTable) reference = data;
      if (data != reference) {
        std::fprintf(stderr, "%s: plaintext differs from the table kernel's\n",
                     lorvante::des::KernelName(kernel));
        return 1;
      }
    }
    const double chunk_rate = megabytes / chunk, stream_rate = megabytes / stream;
    if (kernel == Kernel::kTable) table_chunk = chunk_rate, table_stream = stream_rate;
    std::printf("%-12s %12.1f %8.2f %12.1f %8.2f\n", lorvante::des::KernelName(kernel), chunk_rate,
                chunk_rate / table_chunk, stream_rate, stream_rate / table_stream);
  }
  if (!out_path.empty()) {
    std::ofstream out(out_path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", out_path.c_str());
      return 1;
    }
  }
  return 0;
}
