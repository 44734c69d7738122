// Canonical Huffman codes of deflate-style blocks, read least significant bit first, decoded
// through a two-level lookup table: the first `root_bits` bits of the input index the root table,
// and a longer code continues in a subtable its root entry links to.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lorvante::codecs {

struct HuffmanEntry {
  enum Kind : std::uint8_t { kSymbol, kLink, kInvalid };
  std::uint16_t value = 0;  // the symbol (kSymbol), or where the subtable starts (kLink)
  std::uint8_t length =
      0;  // bits of the code (kSymbol, kInvalid), index bits of the subtable (kLink)
  Kind kind = kInvalid;
};

class HuffmanTable {
 public:
  static constexpr unsigned kMaxCodeLength = 15;
  static constexpr unsigned kMaxSymbols = 288;
  static constexpr unsigned kMaxRootBits = 10;

  // Which incomplete codes are accepted: deflate writers use an incomplete code only for a
  // distance or literal/length code with a single symbol (one code of one bit) or none at all.
  enum class Completeness { kComplete, kSingleCodeAllowed };

  // Builds the table for the code with these lengths (0: the symbol has no code), with a root of
  // `root_bits` (at most kMaxRootBits). False when the lengths over-subscribe the code, or leave it
  // incomplete where `rule` forbids that.
  bool Build(std::span<const std::uint8_t> lengths, unsigned root_bits, Completeness rule);

  // What a lookup reads, by value: a loop that stores bytes keeps it in registers (the compiler
  // must assume a byte store may change the table itself).
  struct Reader {
    const HuffmanEntry* entries;
    unsigned root_bits;
    std::uint64_t root_mask;

    // The entry for the code at the start of `bits`. Bits not yet read must be zero: when the
    // entry's length exceeds the bits available, more input decides.
    HuffmanEntry Lookup(std::uint64_t bits) const {
      HuffmanEntry entry = entries[bits & root_mask];
      if (entry.kind == HuffmanEntry::kLink) {
        const auto index = (bits >> root_bits) & ((1u << entry.length) - 1);
        entry = entries[entry.value + index];
      }
      return entry;
    }
  };
  Reader reader() const { return {entries_.data(), root_bits_, root_mask_}; }
  HuffmanEntry Lookup(std::uint64_t bits) const { return reader().Lookup(bits); }

 private:
  std::vector<HuffmanEntry> entries_;
  unsigned root_bits_ = 0;
  std::uint64_t root_mask_ = 0;
};

}  // namespace lorvante::codecs
