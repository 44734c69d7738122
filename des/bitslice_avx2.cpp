// The AVX2 kernel: 256 blocks, one per bit of a 256-bit register. This file is compiled with
// AVX2 enabled; it runs only after the processor was found to support it.
#include <immintrin.h>

#include "des/bitslice_kernels.h"
#include "des/bitslice_schedule.h"

namespace lorvante::des::bitslice {
namespace {

struct Avx2Ops {
  using W = __m256i;
  static W And(W a, W b) { return _mm256_and_si256(a, b); }
  static W Or(W a, W b) { return _mm256_or_si256(a, b); }
  static W Xor(W a, W b) { return _mm256_xor_si256(a, b); }
  static W AndNot(W a, W b) { return _mm256_andnot_si256(a, b); }
  static W Not(W a) { return _mm256_xor_si256(a, _mm256_set1_epi32(-1)); }
  static W Key(std::uint64_t k) { return _mm256_set1_epi64x(static_cast<long long>(k)); }
  static W Spread(std::uint64_t m) { return _mm256_set1_epi64x(static_cast<long long>(m)); }
  static W Load(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static void Store(std::uint8_t* p, W v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  template <int kShift>
  static W ShiftLeft(W a) {
    return _mm256_slli_epi64(a, kShift);
  }
  template <int kShift>
  static W ShiftRight(W a) {
    return _mm256_srli_epi64(a, kShift);
  }
};

}  // namespace

// Row k of the four 64 x 64 matrices is the 32 bytes of blocks 4k to 4k+3: the four 64-bit lanes
// of a register are transposed side by side, and block 4k+g ends up in bit k of lane g.
void DecryptAvx2(const RoundKeys& keys, const std::uint8_t* in, std::uint8_t* out) {
  __m256i p[64];
  TransposeIn<Avx2Ops>(in, p);
  DecryptPlanes<Avx2Ops>(p, keys);
  TransposeOut<Avx2Ops>(p, out);
}

}  // namespace lorvante::des::bitslice
