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
  static W Load(const std::uint8_t* p) {
    W v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
  }
  static void Store(std::uint8_t* p, W v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  template <int kShift>
  static W ShiftLeft(W a) {
    return a << kShift;
  }
  template <int kShift>
  static W ShiftRight(W a) {
    return a >> kShift;
  }
};

}  // namespace

void DecryptPortable(const RoundKeys& keys, const std::uint8_t* in, std::uint8_t* out) {
  std::uint64_t p[64];
  TransposeIn<WordOps>(in, p);
  DecryptPlanes<WordOps>(p, keys);
  TransposeOut<WordOps>(p, out);
}

}  // namespace lorvante::des::bitslice
