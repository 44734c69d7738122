// Compressed streams for the decoder tests, made with zlib: raw deflate in each block kind, and
// gzip members with any header fields.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lorvante::test {

using ByteVector = std::vector<std::uint8_t>;

struct DeflateOptions {
  int level = 6;
  int strategy = Z_DEFAULT_STRATEGY;
  int window_bits = -MAX_WBITS;  // raw deflate; 16 + 15 for a gzip member
  // Every this many input bytes the stream is flushed with `flush` (0: never).
  std::size_t flush_every = 0;
  int flush = Z_SYNC_FLUSH;
  // Header fields of a gzip member.
  std::string name;
  std::string comment;
  ByteVector extra;
  bool header_crc = false;
};

inline DeflateOptions AtLevel(int level) {
  DeflateOptions options;
  options.level = level;
  return options;
}

inline DeflateOptions WithWindowBits(int window_bits) {
  DeflateOptions options;
  options.window_bits = window_bits;
  return options;
}

// Header fields of a gzip member; empty ones are left out.
inline DeflateOptions WithHeader(std::string name, std::string comment = {}, ByteVector extra = {},
                                 bool header_crc = false) {
  DeflateOptions options;
  options.name = std::move(name);
  options.comment = std::move(comment);
  options.extra = std::move(extra);
  options.header_crc = header_crc;
  return options;
}

inline ByteVector Deflate(const ByteVector& data, const DeflateOptions& options = {}) {
  z_stream stream{};
  if (deflateInit2(&stream, options.level, Z_DEFLATED, options.window_bits, 8, options.strategy) !=
      Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  gz_header header{};
  ByteVector name(options.name.begin(), options.name.end());
  ByteVector comment(options.comment.begin(), options.comment.end());
  ByteVector extra = options.extra;
  name.push_back(0);
  comment.push_back(0);
  if (options.window_bits > MAX_WBITS) {
    header.os = 3;
    if (!options.name.empty()) header.name = name.data();
    if (!options.comment.empty()) header.comment = comment.data();
    if (!extra.empty()) {
      header.extra = extra.data();
      header.extra_len = static_cast<uInt>(extra.size());
    }
    header.hcrc = options.header_crc ? 1 : 0;
    deflateSetHeader(&stream, &header);
  }
  ByteVector out;
  std::size_t offset = 0;
  const std::size_t step = options.flush_every != 0 ? options.flush_every : data.size();
  do {
    const std::size_t piece = std::min(step, data.size() - offset);
    const bool last = offset + piece == data.size();
    stream.next_in = const_cast<Bytef*>(data.data() + offset);
    stream.avail_in = static_cast<uInt>(piece);
    offset += piece;
    const int flush = last ? Z_FINISH : options.flush;
    int rc;
    do {
      std::uint8_t chunk[16384];
      stream.next_out = chunk;
      stream.avail_out = sizeof chunk;
      rc = deflate(&stream, flush);
      out.insert(out.end(), chunk, chunk + (sizeof chunk - stream.avail_out));
    } while (stream.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
  } while (offset < data.size());
  deflateEnd(&stream);
  return out;
}

// A gzip member of `data`.
inline ByteVector GzipMember(const ByteVector& data, DeflateOptions options = {}) {
  options.window_bits = 16 + MAX_WBITS;
  return Deflate(data, options);
}

// Text that compresses like office text, with matches reaching back across the whole window.
inline ByteVector SampleText(std::size_t size, std::uint32_t seed = 1) {
  static const char* const kWords[] = {"jelentés ", "raktár ",   "készlet\r\n", "összesen ",
                                       "tétel ",    "határidő ", "1 ",          "230 ",
                                       "forint ",   "ügyintéző "};
  ByteVector text;
  text.reserve(size);
  std::uint32_t state = seed * 2654435761u + 1;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    const std::string word = kWords[(state >> 16) % 10];
    text.insert(text.end(), word.begin(), word.end());
  }
  text.resize(size);
  return text;
}

inline ByteVector Concat(std::initializer_list<ByteVector> parts) {
  ByteVector all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace lorvante::test
