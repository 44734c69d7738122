// XZ (zip method 95): one .xz stream, through liblzma.
#pragma once

#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one .xz stream, its integrity check verified. A stream whose dictionary exceeds
// kMaxWindowBytes (window_limit.h) fails with kMemoryError.
std::unique_ptr<Decoder> MakeXzDecoder();

}  // namespace lorvante::codecs
