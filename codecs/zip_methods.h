// The compression methods of zip entries: a decoder for each one the program reads (besides
// stored, which needs none), and a plain name for each one a user may meet, for the messages
// about entries that are not extracted.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// Method numbers of the zip format.
enum ZipMethod : std::uint16_t {
  kZipStored = 0,
  kZipShrink = 1,
  kZipReduce1 = 2,
  kZipReduce4 = 5,
  kZipImplode = 6,
  kZipDeflate = 8,
  kZipDeflate64 = 9,
  kZipDclImplode = 10,
  kZipBzip2 = 12,
  kZipLzma = 14,
  kZipIbmTerse = 18,
  kZipIbmLz77 = 19,
  kZipZstandardOld = 20,
  kZipZstandard = 93,
  kZipMp3 = 94,
  kZipXz = 95,
  kZipJpeg = 96,
  kZipWavPack = 97,
  kZipPpmd = 98,
  kZipAes = 99,
};

// What a decoder needs to know of the entry besides its method.
struct ZipDecoderParams {
  std::uint64_t uncompressed_size = 0;  // from the entry's directory record
  std::uint16_t flags = 0;              // the entry's general-purpose bit flags
};

// The general-purpose flag of an LZMA entry that says its data end with an end-of-stream marker.
inline constexpr std::uint16_t kZipFlagLzmaEndMarker = 1u << 1;
// The general-purpose flags of an imploded entry: an 8 KiB window (else 4 KiB), and three
// Shannon-Fano trees, one for the literals (else two, literals sent plainly).
inline constexpr std::uint16_t kZipFlagImplodeLargeWindow = 1u << 1;
inline constexpr std::uint16_t kZipFlagImplodeLiteralTree = 1u << 2;

// A decoder of the entry's compressed data, or nullptr when this module has none for `method`.
// Stored (0) needs none.
std::unique_ptr<Decoder> MakeZipDecoder(std::uint16_t method, const ZipDecoderParams& params);

// The method's common name ("Deflate64", "PPMd"), or "unknown".
const char* ZipMethodName(std::uint16_t method);

}  // namespace lorvante::codecs
