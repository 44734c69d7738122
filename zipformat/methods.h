// The compression methods of zip entries: their numbers, the general-purpose flag bits that
// belong to a method, and a plain name for each one a user may meet, for the messages about
// entries that are not extracted.
#pragma once

#include <cstdint>

namespace lorvante::zipformat {

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

// The general-purpose flag of an LZMA entry that says its data end with an end-of-stream marker.
inline constexpr std::uint16_t kZipFlagLzmaEndMarker = 1u << 1;
// The general-purpose flags of an imploded entry: an 8 KiB window (else 4 KiB), and three
// Shannon-Fano trees, one for the literals (else two, literals sent plainly).
inline constexpr std::uint16_t kZipFlagImplodeLargeWindow = 1u << 1;
inline constexpr std::uint16_t kZipFlagImplodeLiteralTree = 1u << 2;

// The method's common name ("Deflate64", "PPMd"), or "unknown".
const char* ZipMethodName(std::uint16_t method);

}  // namespace lorvante::zipformat
