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

const char* ZipMethodName(std::uint16_t method) {
  switch (method) {
    case kZipStored:
      return "stored";
    case kZipShrink:
      return "shrink";
    case kZipReduce1:
    case kZipReduce1 + 1:
    case kZipReduce1 + 2:
    case kZipReduce4:
      return "reduce";
    case kZipImplode:
      return "implode";
    case kZipDeflate:
      return "deflate";
    case kZipDeflate64:
      return "Deflate64";
    case kZipDclImplode:
      return "PKWARE DCL implode";
    case kZipBzip2:
      return "bzip2";
    case kZipLzma:
      return "LZMA";
    case kZipIbmTerse:
      return "IBM TERSE";
    case kZipIbmLz77:
      return "IBM LZ77";
    case kZipZstandardOld:
    case kZipZstandard:
      return "Zstandard";
    case kZipMp3:
      return "MP3";
    case kZipXz:
      return "XZ";
    case kZipJpeg:
      return "JPEG";
    case kZipWavPack:
      return "WavPack";
    case kZipPpmd:
      return "PPMd";
    case kZipAes:
      return "AES encryption";
    default:
      return "unknown";
  }
}

}  // namespace lorvante::codecs
