#include "codecs/lzma_stream.h"

namespace lorvante::codecs {

LzmaStreamDecoder::~LzmaStreamDecoder() {
  lzma_end(&stream_);
}

DecodeStatus LzmaStreamDecoder::StatusOf(lzma_ret ret) {
  switch (ret) {
    case LZMA_OK:
    case LZMA_BUF_ERROR:  // no progress was possible: the caller brings input or room
      return DecodeStatus::kOk;
    case LZMA_STREAM_END:
      return DecodeStatus::kStreamEnd;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
      return DecodeStatus::kMemoryError;
    default:  // format, options, data, check or use errors
      return DecodeStatus::kDataError;
  }
}

DecodeStep LzmaStreamDecoder::Decode(std::span<const std::uint8_t> input,
                                     std::span<std::uint8_t> output) {
  if (failure_ != DecodeStatus::kOk) return {0, 0, failure_};
  if (ended_) return {0, 0, DecodeStatus::kStreamEnd};
  stream_.next_in = input.data();
  stream_.avail_in = input.size();
  stream_.next_out = output.data();
  stream_.avail_out = output.size();
  const DecodeStatus status = StatusOf(lzma_code(&stream_, LZMA_RUN));
  const DecodeStep step{input.size() - stream_.avail_in, output.size() - stream_.avail_out, status};
  if (status == DecodeStatus::kStreamEnd) ended_ = true;
  if (status == DecodeStatus::kDataError || status == DecodeStatus::kMemoryError) {
    failure_ = status;
  }
  return step;
}

}  // namespace lorvante::codecs
