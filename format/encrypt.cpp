#include "format/encrypt.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "format/key.h"
#include "format/payload_check.h"
#include "des/des_ecb.h"

namespace lorvante {

std::vector<std::uint8_t> EncryptPayload(std::span<const std::uint8_t> payload, bool tagged) {
  const std::string key = BuildKey();
  std::uint8_t key_bytes[des::kKeySize];
  std::memcpy(key_bytes, key.data(), des::kKeySize);
  const des::EcbCipher cipher(key_bytes);

  const std::size_t prefix = tagged ? kZipTagSize : 0;
  const std::size_t padded = (payload.size() + des::kBlockSize - 1) / des::kBlockSize * des::kBlockSize;
  std::vector<std::uint8_t> out(prefix + padded, 0);
  if (tagged) std::memcpy(out.data(), kZipTag, kZipTagSize);
  if (!payload.empty()) std::memcpy(out.data() + prefix, payload.data(), payload.size());
  cipher.Encrypt(out.data() + prefix, out.data() + prefix, padded / des::kBlockSize);
  return out;
}

std::vector<std::uint8_t> GzipPayload(std::span<const std::uint8_t> text, int level) {
  if (level < 2 || level > 8) throw std::invalid_argument("gzip level must be 2 to 8");
  z_stream stream{};
  // 15 + 16: a gzip wrapper with the default window; zlib writes the header of this system.
  if (deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::vector<std::uint8_t> out(deflateBound(&stream, text.size()) + 32);
  stream.next_in = const_cast<Bytef*>(text.data());
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  out[9] = 3;  // the operating system byte: Unix, whatever system wrote it
  return out;
}

}  // namespace lorvante
