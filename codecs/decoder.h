// One streaming decoder interface for every compression method the program reads: raw deflate
// (the members of the gzip payload and deflated zip entries), and the other methods of zip
// entries. The unzip library and the text export both decode through it, so it depends on
// nothing of the program but the compression libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace lorvante::codecs {

enum class DecodeStatus {
  kOk,           // progress was made (or none was possible): call again with more input or room
  kStreamEnd,    // the compressed stream is complete; `consumed` stops right after its last byte
  kDataError,    // the data are corrupt
  kMemoryError,  // the decoder could not get the memory it needs
};

struct DecodeStep {
  std::size_t consumed = 0;  // bytes taken from the input
  std::size_t produced = 0;  // bytes written to the output
  DecodeStatus status = DecodeStatus::kOk;
};

// A decoder of one compressed stream. It takes input and output in pieces of any size, keeps
// what it needs between calls, and never writes past the output span. A stream whose input runs
// out before kStreamEnd is truncated: the caller, which knows where its input ends, says so.
class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual DecodeStep Decode(std::span<const std::uint8_t> input,
                            std::span<std::uint8_t> output) = 0;
};

// The CRC-32 of zip and gzip (reflected IEEE polynomial), continued from `crc` (0 to start).
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data);

}  // namespace lorvante::codecs
