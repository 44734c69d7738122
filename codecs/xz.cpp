#include "codecs/xz.h"

#include "codecs/lzma_stream.h"
#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

// liblzma's limit covers the decoder's whole allocation: the dictionary plus its probability
// tables and buffers, well under a mebibyte.
constexpr std::uint64_t kXzMemoryLimit = kMaxWindowBytes + (std::uint64_t{1} << 20);

class XzDecoder final : public LzmaStreamDecoder {
 public:
  XzDecoder() {
    // One stream: what follows it (stream padding, another stream) is not part of the entry.
    failure_ = StatusOf(lzma_stream_decoder(&stream_, kXzMemoryLimit, 0));
  }
};

}  // namespace

std::unique_ptr<Decoder> MakeXzDecoder() {
  return std::make_unique<XzDecoder>();
}

}  // namespace lorvante::codecs
