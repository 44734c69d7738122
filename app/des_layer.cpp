#include "app/des_layer.h"

#include <cstring>
#include <optional>

#include "des/des_ecb.h"
#include "platform/error_texts.h"

namespace lorvante {
namespace {

class DesService : public DesDecryptService {
 public:
  std::uint32_t AcquireContext() override { return 0; }

  std::uint32_t ImportKey(std::string_view key) override {
    if (key.size() != des::kKeySize) return kErrorBadKey;
    std::uint8_t bytes[des::kKeySize];
    std::memcpy(bytes, key.data(), des::kKeySize);
    cipher_.emplace(bytes);
    return 0;
  }

  std::uint32_t SetModeEcb() override { return cipher_ ? 0u : static_cast<std::uint32_t>(kErrorBadKey); }

  std::uint32_t Decrypt(std::uint8_t* data, std::size_t length) override {
    if (!cipher_) return kErrorBadKey;
    if (length % des::kBlockSize != 0) return kErrorBadData;
    cipher_->Decrypt(data, data, length / des::kBlockSize);
    return 0;
  }

  void ReleaseContext() override { cipher_.reset(); }

 private:
  std::optional<des::EcbCipher> cipher_;
};

}  // namespace

std::unique_ptr<DesDecryptService> MakeDesDecryptService() {
  return std::make_unique<DesService>();
}

}  // namespace lorvante
