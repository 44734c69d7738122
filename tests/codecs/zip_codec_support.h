// Shared by the tests of the zip-method decoders: feeding a decoder in pieces, test data, and
// compressed streams made by the real encoders (Debian's 7z, liblzma, libzstd).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/decoder.h"

namespace lorvante::test {

// What a decoder made of a whole input. `status` is the last one it reported, or kOk when the
// input ran out before the stream ended (a truncated stream).
struct FeedResult {
  codecs::DecodeStatus status = codecs::DecodeStatus::kOk;
  std::vector<std::uint8_t> output;
  std::size_t consumed = 0;
};

// Feeds `input` to `decoder` at most `input_piece` bytes at a time, into an output buffer of
// `output_piece` bytes, until the decoder ends, fails, or can go no further. A decoder that
// writes more than `output_limit` bytes is stopped there (kOk). Flags, as test failures, any
// step that takes or gives more than it was offered, and a decoder that stops taking input while
// it has room.
FeedResult Feed(codecs::Decoder& decoder, std::span<const std::uint8_t> input,
                std::size_t input_piece, std::size_t output_piece,
                std::size_t output_limit = std::size_t{1} << 26);

// The program's path from PATH, as a shell finds it; throws when it is not there.
std::string FindProgram(const std::string& name);

// Words and line breaks from a small vocabulary: compressible with many short matches.
std::vector<std::uint8_t> TextLike(std::size_t size, std::uint32_t seed);
// Random blocks of 40 KiB and 60 KiB, each sent twice in a row: the only redundancy lies beyond
// the 32 KiB window of deflate, within the 64 KiB one of Deflate64.
std::vector<std::uint8_t> LongMatches();

// Zip method payloads of `data`.
// Deflate64 written by 7z into a zip, cut out of it; the empty stream for empty data (7z stores
// an empty file instead).
// A bzip2 stream as libbz2 writes it (block size 900 kB).
std::vector<std::uint8_t> Bzip2(std::span<const std::uint8_t> data);

// Raw deflate as zlib writes it at level 6.
std::vector<std::uint8_t> RawDeflate(std::span<const std::uint8_t> data);

std::vector<std::uint8_t> SevenZipDeflate64(std::span<const std::uint8_t> data);
// PPMd written by 7z into a zip with these settings, cut out of it (7z lowers the memory to what
// a small file needs); for empty data the parameters and a range coder flushed at once (7z
// stores an empty file instead).
struct PpmdOptions {
  unsigned order = 6;
  unsigned memory_mib = 16;
  unsigned restoration = 0;  // 0 starts the model again when its memory is full, 1 cuts it down
};
std::vector<std::uint8_t> SevenZipPpmd(std::span<const std::uint8_t> data,
                                       const PpmdOptions& options = {});
// The 2-byte parameter word that starts a zip PPMd entry.
std::uint16_t PpmdParameters(const PpmdOptions& options);
// The zip LZMA header and raw LZMA1 from liblzma's encoder, with or without the end marker.
std::vector<std::uint8_t> ZipLzma(std::span<const std::uint8_t> data, bool end_marker);
// One .xz stream (CRC-64 check).
std::vector<std::uint8_t> Xz(std::span<const std::uint8_t> data);
// One Zstandard frame with its content checksum.
std::vector<std::uint8_t> Zstd(std::span<const std::uint8_t> data);

}  // namespace lorvante::test
