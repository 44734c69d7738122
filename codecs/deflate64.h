// Deflate64 (zip method 9): deflate with a 64 KiB window, length code 285 carrying 16 extra bits
// and distance codes 30 and 31. No library decodes it, so it is decoded here.
#pragma once

#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one raw Deflate64 stream (no header or trailer). It holds the 64 KiB window and
// its Huffman tables, nothing that grows with the data.
std::unique_ptr<Decoder> MakeDeflate64Decoder();

}  // namespace lorvante::codecs
