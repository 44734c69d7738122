// bzip2 (zip method 12), through libbz2's streaming decoder.
#pragma once

#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one bzip2 stream. Its memory is bounded by the stream's block size (at most
// 900 kB blocks, about 3.7 MB of state).
std::unique_ptr<Decoder> MakeBzip2Decoder();

}  // namespace lorvante::codecs
