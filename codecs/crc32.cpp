// The CRC-32 of zip and gzip, through ISA-L's folding routine.
#include <isa-l/crc.h>

#include "codecs/decoder.h"

namespace lorvante::codecs {

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data) {
  return crc32_gzip_refl(crc, data.data(), data.size());
}

}  // namespace lorvante::codecs
