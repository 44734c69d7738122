// The portable kernel: 64 blocks, one per bit of a 64-bit word.
#include "des/bitslice_kernels.h"
#include "des/bitslice_schedule.h"

namespace lorvante::des::bitslice {
namespace {

struct WordOps {
  using W = std::uint64_t;
  static W And(W a, W b) { return a & b; }
  static W Or(W a, W b) { return a | b; }
  static W Xor(W a, W b) { return a ^ b; }
  static W AndNot(W a, W b) { return ~a & b; }
  static W Not(W a) { return ~a; }
  static W Key(std::uint64_t k) { return k; }
  static W Spread(std::uint64_t m) { return m; }
  static W ShiftLeft(W a, int n) { return a << n; }
  static W ShiftRight(W a, int n) { return a >> n; }
};

std::uint64_t LoadLe(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void StoreLe(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

void DecryptPortable(const RoundKeys& keys, const std::uint8_t* in, std::uint8_t* out) {
  std::uint64_t p[64];
  for (int k = 0; k < 64; ++k) p[k] = LoadLe(in + 8 * k);
  Transpose64<WordOps>(p);
  DecryptPlanes<WordOps>(p, keys);
  Transpose64<WordOps>(p);
  for (int k = 0; k < 64; ++k) StoreLe(out + 8 * k, p[k]);
}

}  // namespace lorvante::des::bitslice
