// The parts of a bitsliced decryption shared by the kernels, written over a word type W and an
// operation set Ops (And, Or, Xor, AndNot, Not, Key, Spread, ShiftLeft<n>, ShiftRight<n>, Load,
// Store). Each kernel
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

// A 64 x 64 bit-matrix transpose (bit c of row r moves to bit r of row c),
// done in two passes over eight rows each. The six swap steps (each exchanges one bit of the row
// number with the same bit of the column number) commute; steps 1, 2 and 4 pair rows within a
// run of eight, steps 8, 16 and 32 pair rows eight apart, so each pass keeps its eight rows in
// registers. Everything is spelled out with constant shifts so that it compiles to straight code.

// The mask of the low `shift` bits of every 2 * `shift` bits. Evaluated by the compiler only, so
// no code of it is ever emitted where a kernel's instruction set could leak into another.
consteval std::uint64_t SwapMask(int shift) {
  std::uint64_t mask = 0;
  for (int bit = 0; bit < 64; ++bit)
    if ((bit / shift) % 2 == 0) mask |= std::uint64_t{1} << bit;
  return mask;
}

template <class Ops, int kShift, class W>
[[gnu::always_inline]] inline void SwapStep(W& lo, W& hi) {
  const W t =
      Ops::And(Ops::Xor(Ops::template ShiftRight<kShift>(lo), hi), Ops::Spread(SwapMask(kShift)));
  hi = Ops::Xor(hi, t);
  lo = Ops::Xor(lo, Ops::template ShiftLeft<kShift>(t));
}

// Eight rows, eight apart (kShift 8: steps 8, 16, 32) or adjacent (kShift 1: steps 1, 2, 4).
template <class Ops, int kShift, class W>
[[gnu::always_inline]] inline void Transpose8(W (&r)[8]) {
  SwapStep<Ops, 4 * kShift>(r[0], r[4]);
  SwapStep<Ops, 4 * kShift>(r[1], r[5]);
  SwapStep<Ops, 4 * kShift>(r[2], r[6]);
  SwapStep<Ops, 4 * kShift>(r[3], r[7]);
  SwapStep<Ops, 2 * kShift>(r[0], r[2]);
  SwapStep<Ops, 2 * kShift>(r[1], r[3]);
  SwapStep<Ops, 2 * kShift>(r[4], r[6]);
  SwapStep<Ops, 2 * kShift>(r[5], r[7]);
  SwapStep<Ops, kShift>(r[0], r[1]);
  SwapStep<Ops, kShift>(r[2], r[3]);
  SwapStep<Ops, kShift>(r[4], r[5]);
  SwapStep<Ops, kShift>(r[6], r[7]);
}

// Row k of the input matrix is the sizeof(W) bytes at in + k * sizeof(W), read with Ops::Load;
// the transposed rows go to p.
template <class Ops, class W>
inline void TransposeIn(const std::uint8_t* in, W* p) {
  for (int g = 0; g < 8; ++g) {
    W r[8];
    for (int i = 0; i < 8; ++i) r[i] = Ops::Load(in + (8 * g + i) * sizeof(W));
    Transpose8<Ops, 1>(r);
    for (int i = 0; i < 8; ++i) p[8 * g + i] = r[i];
  }
  for (int g = 0; g < 8; ++g) {
    W r[8];
    for (int i = 0; i < 8; ++i) r[i] = p[g + 8 * i];
    Transpose8<Ops, 8>(r);
    for (int i = 0; i < 8; ++i) p[g + 8 * i] = r[i];
  }
}

// The inverse: the rows p transposed back to bytes at out, written with Ops::Store.
template <class Ops, class W>
inline void TransposeOut(W* p, std::uint8_t* out) {
  for (int g = 0; g < 8; ++g) {
    W r[8];
    for (int i = 0; i < 8; ++i) r[i] = p[g + 8 * i];
    Transpose8<Ops, 8>(r);
    for (int i = 0; i < 8; ++i) p[g + 8 * i] = r[i];
  }
  for (int g = 0; g < 8; ++g) {
    W r[8];
    for (int i = 0; i < 8; ++i) r[i] = p[8 * g + i];
    Transpose8<Ops, 1>(r);
    for (int i = 0; i < 8; ++i) Ops::Store(out + (8 * g + i) * sizeof(W), r[i]);
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
