#include "format/des_layer.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "des/des_ecb.h"
#include "platform/cpu_count.h"
#include "platform/error_texts.h"

namespace lorvante {
namespace {

// ECB blocks do not depend on each other: a long run is cut into one share per usable core,
// each decrypted on its own thread (the caller's own thread takes the first share). Shorter
// runs are not worth a thread.
constexpr std::size_t kMinShareBlocks = 16 * 1024;
constexpr std::size_t kMaxShares = 8;

void DecryptOnAllCores(const des::EcbCipher& cipher, std::uint8_t* data, std::size_t blocks) {
  const std::size_t shares =
      std::min({UsableCores(), kMaxShares, std::max<std::size_t>(1, blocks / kMinShareBlocks)});
  const std::size_t per_share = (blocks + shares - 1) / shares;
  std::vector<std::thread> helpers;
  helpers.reserve(shares - 1);
  for (std::size_t first = per_share; first < blocks; first += per_share) {
    std::uint8_t* part = data + first * des::kBlockSize;
    const std::size_t count = std::min(per_share, blocks - first);
    try {
      helpers.emplace_back([&cipher, part, count] { cipher.Decrypt(part, part, count); });
    } catch (const std::system_error&) {
      // No thread to be had: the caller decrypts the rest itself.
      cipher.Decrypt(part, part, blocks - first);
      break;
    }
  }
  cipher.Decrypt(data, data, std::min(per_share, blocks));
  for (std::thread& helper : helpers) helper.join();
}

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

  std::uint32_t SetModeEcb() override {
    return cipher_ ? 0u : static_cast<std::uint32_t>(kErrorBadKey);
  }

  std::uint32_t Decrypt(std::uint8_t* data, std::size_t length) override {
    if (!cipher_) return kErrorBadKey;
    if (length % des::kBlockSize != 0) return kErrorBadData;
    DecryptOnAllCores(*cipher_, data, length / des::kBlockSize);
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
