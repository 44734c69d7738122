#include "codecs/huffman_table.h"

#include <algorithm>
#include <array>

namespace lorvante::codecs {

namespace {

// `code` of `length` bits with its bit order reversed: deflate sends Huffman codes starting with
// their most significant bit into a stream read from the least significant bit.
unsigned Reverse(unsigned code, unsigned length) {
  unsigned reversed = 0;
  for (unsigned i = 0; i < length; ++i) {
    reversed = (reversed << 1) | (code & 1);
    code >>= 1;
  }
  return reversed;
}

}  // namespace

bool HuffmanTable::Build(std::span<const std::uint8_t> lengths, unsigned root_bits,
                         Completeness rule) {
  if (lengths.size() > kMaxSymbols || root_bits > kMaxRootBits) return false;
  std::array<unsigned, kMaxCodeLength + 1> count{};
  for (const std::uint8_t length : lengths) {
    if (length > kMaxCodeLength) return false;
    ++count[length];
  }
  count[0] = 0;

  // Codes left over at each length: negative means over-subscribed.
  int left = 1;
  unsigned codes = 0;
  for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
    left = 2 * left - static_cast<int>(count[length]);
    if (left < 0) return false;
    codes += count[length];
  }
  if (left > 0) {
    const bool single_bit_code = codes == 1 && count[1] == 1;
    if (rule == Completeness::kComplete || !(codes == 0 || single_bit_code)) return false;
  }

  // Canonical codes, in the bit order of the stream.
  std::array<unsigned, kMaxCodeLength + 1> next_code{};
  unsigned code = 0;
  for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
    code = (code + count[length - 1]) << 1;
    next_code[length] = code;
  }
  std::array<std::uint16_t, kMaxSymbols> stream_code{};
  for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    if (lengths[symbol] != 0) {
      stream_code[symbol] =
          static_cast<std::uint16_t>(Reverse(next_code[lengths[symbol]]++, lengths[symbol]));
    }
  }

  root_bits_ = root_bits;
  root_mask_ = (std::uint64_t{1} << root_bits) - 1;
  const unsigned root_size = 1u << root_bits;
  // A root slot no code starts with is invalid once `root_bits` bits are known.
  entries_.assign(root_size, {0, static_cast<std::uint8_t>(root_bits), HuffmanEntry::kInvalid});

  // One subtable per root slot that longer codes start with, as wide as the longest of them.
  std::array<std::uint8_t, 1u << kMaxRootBits> longest{};
  for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    if (lengths[symbol] > root_bits) {
      auto& slot = longest[stream_code[symbol] & root_mask_];
      slot = std::max(slot, lengths[symbol]);
    }
  }
  for (unsigned slot = 0; slot < root_size; ++slot) {
    if (longest[slot] == 0) continue;
    const unsigned index_bits = longest[slot] - root_bits;
    entries_[slot] = {static_cast<std::uint16_t>(entries_.size()),
                      static_cast<std::uint8_t>(index_bits), HuffmanEntry::kLink};
    entries_.resize(entries_.size() + (std::size_t{1} << index_bits),
                    {0, longest[slot], HuffmanEntry::kInvalid});
  }

  // Every slot whose leading bits are a code gets that code's symbol.
  for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    const unsigned length = lengths[symbol];
    if (length == 0) continue;
    const HuffmanEntry entry{static_cast<std::uint16_t>(symbol), static_cast<std::uint8_t>(length),
                             HuffmanEntry::kSymbol};
    if (length <= root_bits) {
      for (unsigned i = stream_code[symbol]; i < root_size; i += 1u << length) entries_[i] = entry;
    } else {
      const HuffmanEntry link = entries_[stream_code[symbol] & root_mask_];
      const unsigned size = 1u << link.length;
      for (unsigned i = stream_code[symbol] >> root_bits; i < size;
           i += 1u << (length - root_bits)) {
        entries_[link.value + i] = entry;
      }
    }
  }
  return true;
}

}  // namespace lorvante::codecs
