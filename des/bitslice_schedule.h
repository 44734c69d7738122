// The parts of a bitsliced decryption shared by the kernels, written over a word type W and an
// operation set Ops (And, Or, Xor, AndNot, Not, Key, ShiftLeft, ShiftRight, Spread). Each kernel
// is compiled with its own instruction set, so its Ops must live in an unnamed namespace: the
// templates instantiated with it then stay private to that kernel's object file and can never be
// merged with another kernel's at link time.
//
// Bit-planes: plane q of a batch holds bit q of every block's little-endian 64-bit word.
#pragma once

#include <cstddef>
#include <cstdint>

#include "des/bitslice_circuit.h"
#include "des/bitslice_keys.h"

namespace lorvante::des::bitslice {

// A 64 x 64 bit-matrix transpose of the rows p[0..63] (bit c of row r moves to bit r of row c),
// done in two passes over eight rows each. The six swap steps commute; steps 1, 2 and 4 pair rows
// within a run of eight, steps 8, 16 and 32 pair rows eight apart, so each pass keeps its eight
// rows in registers.
template <class Ops, class W>
inline void SwapStep(W& lo, W& hi, int shift, std::uint64_t mask) {
  const W t = Ops::And(Ops::Xor(Ops::ShiftRight(lo, shift), hi), Ops::Spread(mask));
  hi = Ops::Xor(hi, t);
  lo = Ops::Xor(lo, Ops::ShiftLeft(t, shift));
}

template <class Ops, class W>
inline void Transpose8(W* p, int stride, int first_shift) {
  static constexpr std::uint64_t kMasks[6] = {0x5555555555555555ULL, 0x3333333333333333ULL,
                                              0x0F0F0F0F0F0F0F0FULL, 0x00FF00FF00FF00FFULL,
                                              0x0000FFFF0000FFFFULL, 0x00000000FFFFFFFFULL};
  W r[8];
  for (int i = 0; i < 8; ++i) r[i] = p[i * stride];
  for (int level = 2; level >= 0; --level) {
    const int step = 1 << level;
    const int shift = first_shift << level;
    const std::uint64_t mask = kMasks[level + (first_shift == 8 ? 3 : 0)];
    for (int i = 0; i < 8; ++i)
      if ((i & step) == 0) SwapStep<Ops>(r[i], r[i + step], shift, mask);
  }
  for (int i = 0; i < 8; ++i) p[i * stride] = r[i];
}

template <class Ops, class W>
inline void Transpose64(W* p) {
  for (int g = 0; g < 8; ++g) Transpose8<Ops>(p + 8 * g, 1, 1);
  for (int g = 0; g < 8; ++g) Transpose8<Ops>(p + g, 8, 8);
}

// The sixteen rounds of a decryption on the planes, then the inversions the circuits left and
// the exchange of the halves.
template <class Ops, class W>
inline void DecryptPlanes(W* p, const RoundKeys& keys) {
  for (std::size_t r = 0; r < kRounds; r += 2) {
    RoundIntoA<Ops>(p, keys.mask[r]);
    RoundIntoB<Ops>(p, keys.mask[r + 1]);
  }
  for (int q = 0; q < 64; ++q)
    if ((kOutputComplement >> q) & 1) p[q] = Ops::Not(p[q]);
  for (int j = 0; j < 32; ++j) {
    const W a = p[kHalfA[j]];
    p[kHalfA[j]] = p[kHalfB[j]];
    p[kHalfB[j]] = a;
  }
}

}  // namespace lorvante::des::bitslice
