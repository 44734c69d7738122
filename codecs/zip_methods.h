// The decoders of the compression methods of zip entries: one for each method the program
// reads (besides stored, which needs none). The method numbers and their flag bits are the
// format's (zipformat/methods.h).
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"
#include "zipformat/methods.h"

namespace lorvante::codecs {

using enum zipformat::ZipMethod;
using zipformat::kZipFlagImplodeLargeWindow;
using zipformat::kZipFlagImplodeLiteralTree;
using zipformat::kZipFlagLzmaEndMarker;

// What a decoder needs to know of the entry besides its method.
struct ZipDecoderParams {
  std::uint64_t uncompressed_size = 0;  // from the entry's directory record
  std::uint16_t flags = 0;              // the entry's general-purpose bit flags
};

// A decoder of the entry's compressed data, or nullptr when this module has none for `method`.
// Stored (0) needs none.
std::unique_ptr<Decoder> MakeZipDecoder(std::uint16_t method, const ZipDecoderParams& params);

// Whether the data of `method` (with the entry's `flags`) mark their own end: a final deflate
// block, an end marker, the end of the last XZ stream or Zstandard frame. Bytes that a writer
// leaves after that end inside the entry's compressed size (an empty final block, XZ stream
// padding, a skippable frame) are unused, not part of a longer entry. The other methods end
// with the entry's size, and bytes after it do belong to a longer entry than declared.
bool StreamMarksItsEnd(std::uint16_t method, std::uint16_t flags);

}  // namespace lorvante::codecs
