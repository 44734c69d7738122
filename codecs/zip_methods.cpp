#include "codecs/zip_methods.h"

#include "codecs/bzip2.h"
#include "codecs/deflate64.h"
#include "codecs/implode.h"
#include "codecs/inflater.h"
#include "codecs/lzma_zip.h"
#include "codecs/ppmd.h"
#include "codecs/reduce.h"
#include "codecs/shrink.h"
#include "codecs/xz.h"
#include "codecs/zstd.h"

namespace lorvante::codecs {

std::unique_ptr<Decoder> MakeZipDecoder(std::uint16_t method, const ZipDecoderParams& params) {
  switch (method) {
    case kZipDeflate64:
      return MakeDeflate64Decoder();
    case kZipLzma:
      return MakeZipLzmaDecoder(params.uncompressed_size,
                                (params.flags & kZipFlagLzmaEndMarker) != 0);
    case kZipZstandard:
    case kZipZstandardOld:
      return MakeZstdDecoder(params.uncompressed_size);
    case kZipXz:
      return MakeXzDecoder(params.uncompressed_size);
    case kZipDeflate:
      return MakeInflater();
    case kZipBzip2:
      return MakeBzip2Decoder();
    case kZipImplode:
      return MakeImplodeDecoder(params.uncompressed_size, params.flags);
    case kZipReduce1:
    case kZipReduce1 + 1:
    case kZipReduce1 + 2:
    case kZipReduce4:
      return MakeReduceDecoder(params.uncompressed_size, method - kZipReduce1 + kReduceMinFactor);
    case kZipShrink:
      return MakeShrinkDecoder(params.uncompressed_size);
    case kZipPpmd:
      return MakePpmdDecoder(params.uncompressed_size);
    default:
      return nullptr;
  }
}

bool StreamMarksItsEnd(std::uint16_t method, std::uint16_t flags) {
  switch (method) {
    case kZipDeflate:
    case kZipDeflate64:
    case kZipBzip2:
    case kZipXz:
    case kZipZstandard:
    case kZipZstandardOld:
      return true;
    case kZipLzma:
      return (flags & kZipFlagLzmaEndMarker) != 0;
    default:
      return false;
  }
}

}  // namespace lorvante::codecs
