// LZMA as zip stores it (method 14): a 4-byte header (the writer's LZMA version, major and minor,
// then the size of the properties, 5, little-endian), the 5 properties bytes, then raw LZMA data,
// ended by an end-of-stream marker or by the entry's uncompressed size.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/decoder.h"

namespace lorvante::codecs {

// A decoder of one zip LZMA entry of `uncompressed_size` bytes. With `end_marker` (bit 1 of the
// entry's general-purpose flags) the data end with the marker; without it they end after
// `uncompressed_size` bytes, where a marker is accepted but not required. The dictionary is never
// larger than the entry; when that is still over kMaxWindowBytes (window_limit.h) the decoder
// fails with kMemoryError.
std::unique_ptr<Decoder> MakeZipLzmaDecoder(std::uint64_t uncompressed_size, bool end_marker);

}  // namespace lorvante::codecs
