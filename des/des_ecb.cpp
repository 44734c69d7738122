#include "des/des_ecb.h"

#include <nettle/des.h>

#include <cstring>

#include "des/bitslice_kernels.h"

namespace lorvante::des {

struct EcbCipher::TableKey {
  des_ctx ctx{};
};

EcbCipher::EcbCipher(const std::uint8_t (&key)[kKeySize])
    : table_key_(std::make_unique<TableKey>()), round_keys_(bitslice::MakeDecryptKeys(key)) {
  // The result only tells whether the key is weak; the schedule is set up either way.
  des_set_key(&table_key_->ctx, key);
}

EcbCipher::~EcbCipher() = default;
EcbCipher::EcbCipher(EcbCipher&&) noexcept = default;
EcbCipher& EcbCipher::operator=(EcbCipher&&) noexcept = default;

void EcbCipher::Decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
  DecryptWith(BestKernel(), in, out, blocks);
}

void EcbCipher::DecryptWith(Kernel kernel, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t blocks) const {
  using BatchFunction = void (*)(const bitslice::RoundKeys&, const std::uint8_t*, std::uint8_t*);
  BatchFunction batch_function = nullptr;
  std::size_t batch = 0;
  // A kernel this processor cannot run would fault; the table-driven routine always works.
  if (!KernelAvailable(kernel)) kernel = Kernel::kTable;
  switch (kernel) {
    case Kernel::kTable:
      break;
    case Kernel::kPortable:
      batch_function = bitslice::DecryptPortable;
      batch = bitslice::kPortableBatch;
      break;
    case Kernel::kAvx2:
#if defined(LORVANTE_DES_AVX2)
      batch_function = bitslice::DecryptAvx2;
      batch = bitslice::kAvx2Batch;
#endif
      break;
  }
  if (batch_function != nullptr) {
    for (; blocks >= batch; blocks -= batch) {
      batch_function(round_keys_, in, out);
      in += batch * kBlockSize;
      out += batch * kBlockSize;
    }
    if (blocks >= kMinPaddedBlocks) {
      std::uint8_t padded[bitslice::kAvx2Batch * kBlockSize] = {};
      std::memcpy(padded, in, blocks * kBlockSize);
      batch_function(round_keys_, padded, padded);
      std::memcpy(out, padded, blocks * kBlockSize);
      return;
    }
  }
  if (blocks != 0) des_decrypt(&table_key_->ctx, blocks * kBlockSize, out, in);
}

void EcbCipher::Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
  if (blocks != 0) des_encrypt(&table_key_->ctx, blocks * kBlockSize, out, in);
}

}  // namespace lorvante::des
