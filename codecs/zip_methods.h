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

}  // namespace lorvante::codecs
