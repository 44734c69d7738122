// Raw deflate decoders: the members of the gzip payload and deflated zip entries.
#pragma once

#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// Raw deflate (no zlib or gzip wrapper) through ISA-L's streaming inflate: the decoder the
// program uses. Output may go to any span on each call; the 32 KiB window is kept inside.
std::unique_ptr<Decoder> MakeInflater();

// The same through zlib: the reference the ISA-L decoder is held against.
std::unique_ptr<Decoder> MakeZlibInflater();

}  // namespace lorvante::codecs
