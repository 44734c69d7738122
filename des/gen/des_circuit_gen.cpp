// Writes des/bitslice_circuit.h: the DES rounds as gate circuits over bit-planes, for the
// bitsliced decryption kernels.
//
// Regenerate (from the source folder, after changing this program; it takes a few minutes):
//   ninja -C build lorvante_des_circuit_gen
//   build/bin/lorvante_des_circuit_gen > des/bitslice_circuit.h
// Optional arguments: the search depth (default 3) and how many of the 64 inverted-input patterns
// to try per S-box (default 8); the committed file was made with the defaults. The output is the
// same on every run.
//
// Plane layout. A kernel loads every 8-byte block as a little-endian 64-bit word and transposes a
// batch of them, so plane q holds bit q of that word in every block: bit (8 * byte + k), k counted
// from the least significant bit. DES numbers the bits of a block 1 to 64 starting with the most
// significant bit of byte 0, so DES bit n lives in plane 8 * ((n - 1) / 8) + 7 - (n - 1) % 8.
// The initial permutation only names planes: the left half L is the set of planes of the DES bits
// IP[0..31], the right half R those of IP[32..63]. The rounds update the two halves alternately in
// place, so neither permutation costs an instruction; only the final exchange of the halves is
// done as 32 swaps of planes.
//
// S-boxes. Every S-box output is built by a search over multiplexer trees: a function of six
// inputs is split on one input s into f = f0 ^ (s & d) (or the mirrored or the plain OR form),
// where f0 and d only have to be right on the half of the inputs where they matter. That freedom
// lets most leaves be an existing gate or one new gate of two existing ones. The four outputs of
// an S-box share their gates; several output orders and both polarities of every output are
// tried and the smallest circuit kept. An inverted output is free: the inversion is carried in a
// per-plane complement mask and folded into the round keys of the rounds that read the plane.
// Inverted inputs are free the same way. Gates: AND, OR, XOR, ANDN (~a & b), NOT.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using u64 = std::uint64_t;

// FIPS 46-3 tables, as printed there (1-based bit numbers).
constexpr int kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                         62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                         57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                         61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr int kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                        12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                        22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
constexpr int kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                        2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr int kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr int kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                          26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                          51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr int kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr int kSbox[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// Plane of DES bit n (1-based).
int Plane(int n) {
  return 8 * ((n - 1) / 8) + 7 - (n - 1) % 8;
}

// ---------------------------------------------------------------------------------------------
// Circuits over six inputs. Truth tables are 64-bit words: bit v is the value for input v, where
// input 0 is the most significant bit of the six-bit S-box input.

enum class Op { kInput, kAnd, kOr, kXor, kAndNot, kNot };

struct Gate {
  Op op;
  int a, b;
  u64 t;
};

struct Circuit {
  std::vector<Gate> g;
  int Add(Op op, int a, int b) {
    const u64 x = g[a].t;
    const u64 y = b >= 0 ? g[b].t : 0;
    u64 t = 0;
    switch (op) {
      case Op::kAnd:
        t = x & y;
        break;
      case Op::kOr:
        t = x | y;
        break;
      case Op::kXor:
        t = x ^ y;
        break;
      case Op::kAndNot:
        t = ~x & y;
        break;
      case Op::kNot:
        t = ~x;
        break;
      case Op::kInput:
        break;
    }
    g.push_back({op, a, b, t});
    return static_cast<int>(g.size()) - 1;
  }
};

u64 InputTable(int i) {
  u64 t = 0;
  for (int v = 0; v < 64; ++v)
    if ((v >> (5 - i)) & 1) t |= u64{1} << v;
  return t;
}

Circuit Inputs() {
  Circuit c;
  for (int i = 0; i < 6; ++i) c.g.push_back({Op::kInput, -1, -1, InputTable(i)});
  return c;
}

bool Matches(u64 t, u64 target, u64 care) {
  return ((t ^ target) & care) == 0;
}

// An existing node or one new gate of existing nodes that is right on `care`; -1 if none.
int FindCheap(Circuit& c, u64 target, u64 care) {
  const int n = static_cast<int>(c.g.size());
  for (int i = n - 1; i >= 0; --i)
    if (Matches(c.g[i].t, target, care)) return i;
  for (int i = n - 1; i >= 0; --i) {
    const u64 x = c.g[i].t;
    if (Matches(~x, target, care)) return c.Add(Op::kNot, i, -1);
    for (int j = n - 1; j >= 0; --j) {
      const u64 y = c.g[j].t;
      if (j < i) {
        if (Matches(x & y, target, care)) return c.Add(Op::kAnd, i, j);
        if (Matches(x | y, target, care)) return c.Add(Op::kOr, i, j);
        if (Matches(x ^ y, target, care)) return c.Add(Op::kXor, i, j);
      }
      if (j != i && Matches(~x & y, target, care)) return c.Add(Op::kAndNot, i, j);
    }
  }
  return -1;
}

struct Search {
  int depth_limit;
};

// Builds a node that equals `target` on `care`, adding gates to `c`. Inputs in `used` were
// already split on along this path. Returns the node, or -1 when the budget (a limit on the
// circuit size) is exceeded.
int Solve(Circuit& c, u64 target, u64 care, unsigned used, int depth, std::size_t budget) {
  if (c.g.size() > budget) return -1;
  const int cheap = FindCheap(c, target, care);
  if (cheap >= 0) return c.g.size() <= budget ? cheap : -1;
  if (depth == 0) {
    // Past the search depth: a plain multiplexer on the first free input.
    for (int s = 0; s < 6; ++s) {
      if (used & (1u << s)) continue;
      const u64 sel = InputTable(s);
      const int f0 = Solve(c, target, care & ~sel, used | (1u << s), 0, budget);
      if (f0 < 0) return -1;
      const int d = Solve(c, target ^ c.g[f0].t, care & sel, used | (1u << s), 0, budget);
      if (d < 0) return -1;
      const int r = c.Add(Op::kXor, f0, c.Add(Op::kAnd, s, d));
      return c.g.size() <= budget ? r : -1;
    }
    return -1;  // unreachable: with every input split on, `care` holds one point
  }
  Circuit best;
  int best_node = -1;
  for (int s = 0; s < 6; ++s) {
    if (used & (1u << s)) continue;
    const u64 sel = InputTable(s);
    const unsigned next = used | (1u << s);
    for (int form = 0; form < 3; ++form) {
      Circuit trial = c;
      const std::size_t limit = best_node >= 0 ? best.g.size() - 1 : budget;
      int r = -1;
      if (form == 0) {  // f0 ^ (s & d)
        const int f0 = Solve(trial, target, care & ~sel, next, depth - 1, limit);
        if (f0 < 0) continue;
        const int d = Solve(trial, target ^ trial.g[f0].t, care & sel, next, depth - 1, limit);
        if (d < 0) continue;
        r = trial.Add(Op::kXor, f0, trial.Add(Op::kAnd, s, d));
      } else if (form == 1) {  // f1 ^ (~s & d)
        const int f1 = Solve(trial, target, care & sel, next, depth - 1, limit);
        if (f1 < 0) continue;
        const int d = Solve(trial, target ^ trial.g[f1].t, care & ~sel, next, depth - 1, limit);
        if (d < 0) continue;
        r = trial.Add(Op::kXor, f1, trial.Add(Op::kAndNot, s, d));
      } else {  // (~s & f0) | (s & f1)
        const int f0 = Solve(trial, target, care & ~sel, next, depth - 1, limit);
        if (f0 < 0) continue;
        const int f1 = Solve(trial, target, care & sel, next, depth - 1, limit);
        if (f1 < 0) continue;
        r = trial.Add(Op::kOr, trial.Add(Op::kAndNot, s, f0), trial.Add(Op::kAnd, s, f1));
      }
      if (trial.g.size() > limit) continue;
      best = std::move(trial);
      best_node = r;
    }
  }
  if (best_node < 0) return -1;
  c = std::move(best);
  return best_node;
}

// One S-box as a circuit: out[k] is the node of output bit k (0 = most significant), inverted
// when bit k of `out_inverted` is set; the circuit reads its inputs inverted by `in_inverted`
// (bit 5 - i for input i), that is it computes S(x ^ in_inverted) ^ out_inverted.
struct SboxCircuit {
  Circuit c;
  int out[4];
  unsigned in_inverted = 0;
  unsigned out_inverted = 0;
};

u64 OutputTable(int box, int bit, unsigned in_inverted) {
  u64 t = 0;
  for (int v = 0; v < 64; ++v) {
    const int x = v ^ static_cast<int>(in_inverted);
    const int row = ((x >> 4) & 2) | (x & 1);
    const int col = (x >> 1) & 15;
    if ((kSbox[box][row * 16 + col] >> (3 - bit)) & 1) t |= u64{1} << v;
  }
  return t;
}

SboxCircuit BuildSbox(int box, int depth, unsigned in_inverted) {
  SboxCircuit best;
  std::size_t best_size = SIZE_MAX;
  std::array<int, 4> order = {0, 1, 2, 3};
  do {
    SboxCircuit sc;
    sc.c = Inputs();
    sc.in_inverted = in_inverted;
    bool ok = true;
    for (const int bit : order) {
      const u64 t = OutputTable(box, bit, in_inverted);
      Circuit plain = sc.c;
      Circuit inverted = sc.c;
      const int np = Solve(plain, t, ~u64{0}, 0, depth, SIZE_MAX);
      const int ni = Solve(inverted, ~t, ~u64{0}, 0, depth, plain.g.size());
      if (ni >= 0 && inverted.g.size() < plain.g.size()) {
        sc.c = std::move(inverted);
        sc.out[bit] = ni;
        sc.out_inverted |= 1u << bit;
      } else if (np >= 0) {
        sc.c = std::move(plain);
        sc.out[bit] = np;
      } else {
        ok = false;
        break;
      }
    }
    if (ok && sc.c.g.size() < best_size) {
      best_size = sc.c.g.size();
      best = std::move(sc);
    }
  } while (std::next_permutation(order.begin(), order.end()));
  return best;
}

// Drops gates that no output needs.
void Prune(SboxCircuit& sc) {
  const Circuit& c = sc.c;
  std::vector<bool> live(c.g.size(), false);
  for (const int o : sc.out) live[o] = true;
  for (int i = static_cast<int>(c.g.size()) - 1; i >= 6; --i) {
    if (!live[i]) continue;
    live[c.g[i].a] = true;
    if (c.g[i].b >= 0) live[c.g[i].b] = true;
  }
  std::vector<int> remap(c.g.size(), -1);
  Circuit out;
  for (int i = 0; i < static_cast<int>(c.g.size()); ++i) {
    if (i >= 6 && !live[i]) continue;
    Gate g = c.g[i];
    if (g.a >= 0) g.a = remap[g.a];
    if (g.b >= 0) g.b = remap[g.b];
    out.g.push_back(g);
    remap[i] = static_cast<int>(out.g.size()) - 1;
  }
  for (int& o : sc.out) o = remap[o];
  sc.c = std::move(out);
}

bool Verify(int box, const SboxCircuit& sc) {
  for (int v = 0; v < 64; ++v) {
    std::vector<int> val(sc.c.g.size());
    for (std::size_t i = 0; i < sc.c.g.size(); ++i) {
      const Gate& g = sc.c.g[i];
      const int a = g.a >= 0 ? val[g.a] : 0;
      const int b = g.b >= 0 ? val[g.b] : 0;
      switch (g.op) {
        case Op::kInput:
          val[i] = (v >> (5 - i)) & 1;
          break;
        case Op::kAnd:
          val[i] = a & b;
          break;
        case Op::kOr:
          val[i] = a | b;
          break;
        case Op::kXor:
          val[i] = a ^ b;
          break;
        case Op::kAndNot:
          val[i] = (a ^ 1) & b;
          break;
        case Op::kNot:
          val[i] = !a;
          break;
      }
    }
    const int x = v ^ static_cast<int>(sc.in_inverted);
    const int s = kSbox[box][(((x >> 4) & 2) | (x & 1)) * 16 + ((x >> 1) & 15)];
    for (int k = 0; k < 4; ++k) {
      const int want = ((s >> (3 - k)) & 1) ^ ((sc.out_inverted >> k) & 1);
      if (val[sc.out[k]] != want) return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Key schedule: for encryption round r and subkey bit j, the DES key bit (1-based) it copies.

std::array<std::array<int, 48>, 16> KeyBits() {
  std::array<std::array<int, 48>, 16> out{};
  int c[28], d[28];
  for (int i = 0; i < 28; ++i) {
    c[i] = kPc1[i];
    d[i] = kPc1[28 + i];
  }
  for (int r = 0; r < 16; ++r) {
    for (int s = 0; s < kShifts[r]; ++s) {
      std::rotate(c, c + 1, c + 28);
      std::rotate(d, d + 1, d + 28);
    }
    for (int j = 0; j < 48; ++j) out[r][j] = kPc2[j] <= 28 ? c[kPc2[j] - 1] : d[kPc2[j] - 29];
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Output.

const char* OpName(Op op) {
  switch (op) {
    case Op::kAnd:
      return "And";
    case Op::kOr:
      return "Or";
    case Op::kXor:
      return "Xor";
    case Op::kAndNot:
      return "AndNot";
    case Op::kNot:
      return "Not";
    case Op::kInput:
      break;
  }
  return "?";
}

// The round that updates one half: `left` holds the planes of the half updated, `right` those of
// the half read (DES order within the half).
void EmitRound(const char* name, const int (&left)[32], const int (&right)[32],
               const std::vector<SboxCircuit>& boxes) {
  std::printf("template <class Ops, class W>\ninline void %s(W* p, const std::uint64_t* k) {\n",
              name);
  for (int box = 0; box < 8; ++box) {
    const SboxCircuit& sc = boxes[box];
    std::printf("  {  // S-box %d: %zu gates\n", box + 1, sc.c.g.size() - 6);
    for (int i = 0; i < 6; ++i) {
      const int j = 6 * box + i;
      std::printf("    const W n%d = Ops::Xor(p[%d], Ops::Key(k[%d]));\n", i, right[kE[j] - 1], j);
    }
    for (std::size_t i = 6; i < sc.c.g.size(); ++i) {
      const Gate& g = sc.c.g[i];
      if (g.op == Op::kNot)
        std::printf("    const W n%zu = Ops::Not(n%d);\n", i, g.a);
      else
        std::printf("    const W n%zu = Ops::%s(n%d, n%d);\n", i, OpName(g.op), g.a, g.b);
    }
    for (int k = 0; k < 4; ++k) {
      const int concat_bit = 4 * box + k + 1;
      int m = 0;
      while (kP[m] != concat_bit) ++m;
      const int plane = left[m];
      std::printf("    p[%d] = Ops::Xor(p[%d], n%d);\n", plane, plane, sc.out[k]);
    }
    std::printf("  }\n");
  }
  std::printf("}\n\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int depth = argc > 1 ? std::atoi(argv[1]) : 3;
  const unsigned inversions = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 8;
  std::vector<SboxCircuit> boxes;
  std::size_t total = 0;
  for (int box = 0; box < 8; ++box) {
    SboxCircuit best;
    std::size_t best_size = SIZE_MAX;
    // Inverted-input patterns tried: `inversions` of the 64, spread evenly.
    for (unsigned i = 0; i < inversions; ++i) {
      const unsigned inv = i * 64 / inversions;
      SboxCircuit sc = BuildSbox(box, depth, inv);
      Prune(sc);
      if (sc.c.g.size() < best_size) {
        best_size = sc.c.g.size();
        best = std::move(sc);
      }
    }
    if (!Verify(box, best)) {
      std::fprintf(stderr, "S-box %d: circuit does not verify\n", box + 1);
      return 1;
    }
    std::fprintf(stderr, "S-box %d: %zu gates\n", box + 1, best.c.g.size() - 6);
    total += best.c.g.size() - 6;
    boxes.push_back(std::move(best));
  }
  std::fprintf(stderr, "total %zu gates\n", total);

  // Halves: A starts as L, B as R.
  int half_a[32], half_b[32];
  for (int j = 0; j < 32; ++j) {
    half_a[j] = Plane(kIp[j]);
    half_b[j] = Plane(kIp[32 + j]);
  }

  // Complements carried through the rounds of a decryption (round keys in reverse order).
  // Round r reads half B when r is even and updates half A, and the other way round when odd.
  const auto key_bits = KeyBits();
  unsigned comp_a = 0, comp_b = 0;  // bit j: plane j of the half holds the inverted value
  int schedule[16][48];
  for (int r = 0; r < 16; ++r) {
    const unsigned read = (r % 2 == 0) ? comp_b : comp_a;
    unsigned update = 0;
    for (int box = 0; box < 8; ++box) {
      for (int i = 0; i < 6; ++i) {
        const int j = 6 * box + i;
        const int read_flip = (read >> (kE[j] - 1)) & 1;
        const int want_flip = (boxes[box].in_inverted >> (5 - i)) & 1;
        const int key_bit = key_bits[15 - r][j];
        schedule[r][j] = Plane(key_bit) | ((read_flip ^ want_flip) << 7);
      }
      for (int k = 0; k < 4; ++k) {
        if (!((boxes[box].out_inverted >> k) & 1)) continue;
        int m = 0;
        while (kP[m] != 4 * box + k + 1) ++m;
        update |= 1u << m;
      }
    }
    if (r % 2 == 0)
      comp_a ^= update;
    else
      comp_b ^= update;
  }
  u64 output_complement = 0;
  for (int j = 0; j < 32; ++j) {
    if ((comp_a >> j) & 1) output_complement |= u64{1} << half_a[j];
    if ((comp_b >> j) & 1) output_complement |= u64{1} << half_b[j];
  }

  std::printf(
      "// Generated by des/gen/des_circuit_gen.cpp: DES decryption rounds as gate circuits over\n"
      "// bit-planes (%zu S-box gates per round). Do not edit; regenerate with\n"
      "//   ninja -C build lorvante_des_circuit_gen && build/bin/lorvante_des_circuit_gen > "
      "des/bitslice_circuit.h\n"
      "// clang-format off\n"
      "#pragma once\n\n#include <cstdint>\n\nnamespace lorvante::des::bitslice {\n\n",
      total);
  std::printf(
      "// Round r of a decryption, subkey bit j: bits 0-5 give the key bit (plane numbering of a\n"
      "// little-endian 64-bit key word), bit 7 asks for the bit inverted.\n"
      "inline constexpr std::uint8_t kDecryptKeyBits[16][48] = {\n");
  for (int r = 0; r < 16; ++r) {
    std::printf("    {");
    for (int j = 0; j < 48; ++j) std::printf("%s%d", j ? ", " : "", schedule[r][j]);
    std::printf("},\n");
  }
  std::printf("};\n\n");
  std::printf(
      "// Planes that hold their value inverted after the last round (before the halves swap).\n"
      "inline constexpr std::uint64_t kOutputComplement = 0x%016llxULL;\n\n",
      static_cast<unsigned long long>(output_complement));
  std::printf(
      "// The halves: plane of bit j of the left half (A) and of the right half (B) of the state.\n"
      "// After the sixteen rounds A holds L16 and B holds R16; the output block is R16 L16, so a\n"
      "// kernel swaps them.\n"
      "inline constexpr std::uint8_t kHalfA[32] = {");
  for (int j = 0; j < 32; ++j) std::printf("%s%d", j ? ", " : "", half_a[j]);
  std::printf("};\ninline constexpr std::uint8_t kHalfB[32] = {");
  for (int j = 0; j < 32; ++j) std::printf("%s%d", j ? ", " : "", half_b[j]);
  std::printf("};\n\n");
  std::printf(
      "// One round: half A ^= f(half B, k) and the other way round. `p` holds the 64 planes, `k`\n"
      "// the 48 subkey masks of the round. Ops supplies And, Or, Xor, AndNot (~a & b), Not and "
      "Key\n"
      "// (a mask word spread over a plane).\n");
  EmitRound("RoundIntoA", half_a, half_b, boxes);
  EmitRound("RoundIntoB", half_b, half_a, boxes);
  std::printf("}  // namespace lorvante::des::bitslice\n");
  return 0;
}
