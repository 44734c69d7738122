// The cipher service behind the decryption: a provider context, a key, the ECB mode and block
// decryption, each step reporting an error code of the cipher layer (0 = success).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace lorvante {

class DesDecryptService {
 public:
  virtual ~DesDecryptService() = default;
  virtual std::uint32_t AcquireContext() = 0;
  // The key must be 8 bytes (kErrorBadKey otherwise).
  virtual std::uint32_t ImportKey(std::string_view key) = 0;
  virtual std::uint32_t SetModeEcb() = 0;
  // Decrypts `length` bytes in place; a length that is not a multiple of 8 is kErrorBadData
  // and leaves the data as it was.
  virtual std::uint32_t Decrypt(std::uint8_t* data, std::size_t length) = 0;
  virtual void ReleaseContext() = 0;
};

// The real service.
std::unique_ptr<DesDecryptService> MakeDesDecryptService();

}  // namespace lorvante
