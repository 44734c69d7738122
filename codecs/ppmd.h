// PPMd as zip stores it (method 98): PPMd variant I, revision 1, after a 2-byte little-endian
// word of parameters: bits 0-3 the model order - 1 (2 to 16), bits 4-11 the model's memory in
// MiB - 1, bits 12-15 what the model does when the memory is full (0 start again, 1 cut down).
// The data end after the entry's uncompressed size, where the writer may add an end mark.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one zip PPMd entry of `uncompressed_size` bytes. Memory over kMaxWindowBytes
// (window_limit.h) is refused with kMemoryError before anything is allocated; an order below 2 or
// a restoration other than 0 and 1 is kDataError.
std::unique_ptr<Decoder> MakePpmdDecoder(std::uint64_t uncompressed_size);

}  // namespace lorvante::codecs
