#include "zipformat/methods.h"

namespace lorvante::zipformat {

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

}  // namespace lorvante::zipformat
