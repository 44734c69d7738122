// The parts of a bitsliced decryption shared by the kernels, written over a word type W and an
// operation set Ops (And, Or, Xor, AndNot, Not, Key, Spread, ShiftLeft<n>, ShiftRight<n>, Load,
// Store). Each kernel is compiled with its own instruction set, so its Ops must live in an
// unnamed namespace: the templates instantiated with it then stay private to that kernel's object
// file and can never be merged with another kernel's at link time.
//
// Bit-planes: plane q of a batch holds bit q of every block's little-endian 64-bit word.
#pragma once

#include <cstddef>
#include <cstdint>

#include "des/bitslice_circuit.h"
#include "des/bitslice_keys.h"

namespace lorvante::des::bitslice {

// A 64 x 64 bit-matrix transpose (bit c of row r moves to bit r of row c), done in two passes
// over eight rows each. The six swap steps (each exchanges one bit of the row
// number with the same bit of the column number) commute; steps 1, 2 and 4 pair rows within a
// run of eight, steps 8, 16 and 32 pair rows eight apart, so each pass keeps its eight rows in
// registers. Everything is spelled out with constant shifts so that it compiles to straight code.

// The mask of the low `shift` bits of every 2 * `shift` bits. Only used through kSwapMask, a
// constant, so no code of it is ever emitted where a kernel's instruction set could leak into
// another.
constexpr std::uint64_t SwapMask(int shift) {
  std::uint64_t mask = 0;
  for (int bit = 0; bit < 64; ++bit)
    if ((bit / shift) % 2 == 0) mask |= std::uint64_t{1} << bit;
  return mask;
}

template <int kShift>
inline constexpr std::uint64_t kSwapMask = SwapMask(kShift);

template <class Ops, int kShift, class W>
[[gnu::always_inline]] inline void SwapStep(W& lo, W& hi) {
  const W t =
      Ops::And(Ops::Xor(Ops::template ShiftRight<kShift>(lo), hi), Ops::Spread(kSwapMask<kShift>));
  hi = Ops::Xor(hi, t);
  lo = Ops::Xor(lo, Ops::template ShiftLeft<kShift>(t));
}

// Eight rows, eight apart (kShift 8: steps 8, 16, 32) or adjacent (kShift 1: steps 1, 2, 4).
// The rows are separate variables, not an array: some compilers copy an array through memory in
// halves and then stall reading it back whole.
template <class Ops, int kShift, class W>
[[gnu::always_inline]] inline void Transpose8(W& r0, W& r1, W& r2, W& r3, W& r4, W& r5, W& r6,
                                              W& r7) {
  SwapStep<Ops, 4 * kShift>(r0, r4);
  SwapStep<Ops, 4 * kShift>(r1, r5);
  SwapStep<Ops, 4 * kShift>(r2, r6);
  SwapStep<Ops, 4 * kShift>(r3, r7);
  SwapStep<Ops, 2 * kShift>(r0, r2);
  SwapStep<Ops, 2 * kShift>(r1, r3);
  SwapStep<Ops, 2 * kShift>(r4, r6);
  SwapStep<Ops, 2 * kShift>(r5, r7);
  SwapStep<Ops, kShift>(r0, r1);
  SwapStep<Ops, kShift>(r2, r3);
  SwapStep<Ops, kShift>(r4, r5);
  SwapStep<Ops, kShift>(r6, r7);
}

// The eight rows src[0], src[stride], ... through Transpose8 into the same places of dst.
template <class Ops, int kShift, class W>
[[gnu::always_inline]] inline void TransposeRows(const W* src, W* dst, int stride) {
  W r0 = src[0], r1 = src[stride], r2 = src[2 * stride], r3 = src[3 * stride];
  W r4 = src[4 * stride], r5 = src[5 * stride], r6 = src[6 * stride], r7 = src[7 * stride];
  Transpose8<Ops, kShift>(r0, r1, r2, r3, r4, r5, r6, r7);
  dst[0] = r0, dst[stride] = r1, dst[2 * stride] = r2, dst[3 * stride] = r3;
  dst[4 * stride] = r4, dst[5 * stride] = r5, dst[6 * stride] = r6, dst[7 * stride] = r7;
}

// Row k of the input matrix is the sizeof(W) bytes at in + k * sizeof(W), read with Ops::Load;
// the transposed rows go to p.
template <class Ops, class W>
inline void TransposeIn(const std::uint8_t* in, W* p) {
  constexpr std::size_t kRow = sizeof(W);
  for (int g = 0; g < 8; ++g, in += 8 * kRow) {
    W r0 = Ops::Load(in), r1 = Ops::Load(in + kRow), r2 = Ops::Load(in + 2 * kRow);
    W r3 = Ops::Load(in + 3 * kRow), r4 = Ops::Load(in + 4 * kRow);
    W r5 = Ops::Load(in + 5 * kRow), r6 = Ops::Load(in + 6 * kRow);
    W r7 = Ops::Load(in + 7 * kRow);
    Transpose8<Ops, 1>(r0, r1, r2, r3, r4, r5, r6, r7);
    W* q = p + 8 * g;
    q[0] = r0, q[1] = r1, q[2] = r2, q[3] = r3, q[4] = r4, q[5] = r5, q[6] = r6, q[7] = r7;
  }
  for (int g = 0; g < 8; ++g) TransposeRows<Ops, 8>(p + g, p + g, 8);
}

// The inverse: the rows p transposed back to bytes at out, written with Ops::Store.
template <class Ops, class W>
inline void TransposeOut(W* p, std::uint8_t* out) {
  constexpr std::size_t kRow = sizeof(W);
  for (int g = 0; g < 8; ++g) TransposeRows<Ops, 8>(p + g, p + g, 8);
  for (int g = 0; g < 8; ++g, out += 8 * kRow) {
    const W* q = p + 8 * g;
    W r0 = q[0], r1 = q[1], r2 = q[2], r3 = q[3], r4 = q[4], r5 = q[5], r6 = q[6], r7 = q[7];
    Transpose8<Ops, 1>(r0, r1, r2, r3, r4, r5, r6, r7);
    Ops::Store(out, r0), Ops::Store(out + kRow, r1), Ops::Store(out + 2 * kRow, r2);
    Ops::Store(out + 3 * kRow, r3), Ops::Store(out + 4 * kRow, r4);
    Ops::Store(out + 5 * kRow, r5), Ops::Store(out + 6 * kRow, r6);
    Ops::Store(out + 7 * kRow, r7);
  }
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
