#include "tests/codecs/legacy_encoders.h"

#include <queue>

#include <algorithm>
#include <array>
#include <unordered_map>

#include "codecs/shannon_fano.h"
#include "codecs/zip_methods.h"

namespace lorvante::test {

namespace {

// Bits least significant first.
class BitWriter {
 public:
  void Put(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      if (used_ == 0) out_.push_back(0);
      out_.back() |= static_cast<std::uint8_t>(((value >> i) & 1) << used_);
      used_ = (used_ + 1) % 8;
    }
  }
  std::vector<std::uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<std::uint8_t> out_;
  unsigned used_ = 0;
};

class ShrinkEncoder {
 public:
  std::vector<std::uint8_t> Run(std::span<const std::uint8_t> data) {
    if (data.empty()) return {};
    used_.fill(false);
    unsigned string = data[0];
    for (std::size_t i = 1; i < data.size(); ++i) {
      const std::uint8_t byte = data[i];
      const auto found = table_.find(Key(string, byte));
      if (found != table_.end()) {
        string = found->second;
        continue;
      }
      Send(string);
      if (next_free_ == kCodes && string < kLiterals) PartialClear();
      Add(string, byte);
      string = byte;
    }
    Send(string);
    return bits_.Take();
  }

 private:
  static constexpr unsigned kCodes = 1u << 13;
  static constexpr unsigned kLiterals = 256;
  static constexpr unsigned kControl = 256;

  static std::uint32_t Key(unsigned prefix, std::uint8_t byte) { return prefix << 8 | byte; }

  void Send(unsigned code) {
    while (code >= (1u << code_bits_)) {
      bits_.Put(kControl, code_bits_);
      bits_.Put(1, code_bits_);
      ++code_bits_;
    }
    bits_.Put(code, code_bits_);
  }

  void Add(unsigned prefix, std::uint8_t byte) {
    if (next_free_ == kCodes) return;
    prefix_[next_free_] = static_cast<std::uint16_t>(prefix);
    byte_[next_free_] = byte;
    used_[next_free_] = true;
    table_[Key(prefix, byte)] = static_cast<std::uint16_t>(next_free_);
    do {
      ++next_free_;
    } while (next_free_ < kCodes && used_[next_free_]);
  }

  // Frees every code that is no other code's prefix.
  void PartialClear() {
    bits_.Put(kControl, code_bits_);
    bits_.Put(2, code_bits_);
    std::array<bool, kCodes> is_prefix{};
    for (unsigned code = kLiterals + 1; code < kCodes; ++code) {
      if (used_[code]) is_prefix[prefix_[code]] = true;
    }
    table_.clear();
    next_free_ = kCodes;
    for (unsigned code = kCodes - 1; code > kLiterals; --code) {
      if (used_[code] && !is_prefix[code]) used_[code] = false;
      if (used_[code]) {
        table_[Key(prefix_[code], byte_[code])] = static_cast<std::uint16_t>(code);
      } else {
        next_free_ = code;
      }
    }
  }

  BitWriter bits_;
  unsigned code_bits_ = 9;
  unsigned next_free_ = kLiterals + 1;
  std::array<std::uint16_t, kCodes> prefix_{};
  std::array<std::uint8_t, kCodes> byte_{};
  std::array<bool, kCodes> used_{};
  std::unordered_map<std::uint32_t, std::uint16_t> table_;
};

// Huffman code lengths for `freqs` (every value at least 1), none longer than `limit`.
std::vector<std::uint8_t> CodeLengths(std::vector<std::uint64_t> freqs, unsigned limit) {
  for (;;) {
    using Node = std::pair<std::uint64_t, int>;
    std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
    std::vector<int> parent(2 * freqs.size(), -1);
    for (std::size_t i = 0; i < freqs.size(); ++i) queue.push({freqs[i], static_cast<int>(i)});
    int next = static_cast<int>(freqs.size());
    while (queue.size() > 1) {
      const Node a = queue.top();
      queue.pop();
      const Node b = queue.top();
      queue.pop();
      parent[a.second] = parent[b.second] = next;
      queue.push({a.first + b.first, next++});
    }
    std::vector<std::uint8_t> lengths(freqs.size());
    unsigned longest = 0;
    for (std::size_t i = 0; i < freqs.size(); ++i) {
      unsigned depth = 0;
      for (int node = static_cast<int>(i); parent[node] >= 0; node = parent[node]) ++depth;
      lengths[i] = static_cast<std::uint8_t>(std::max(depth, 1u));
      longest = std::max(longest, depth);
    }
    if (longest <= limit) return lengths;
    for (auto& freq : freqs) freq = freq / 2 + 1;
  }
}

class ImplodeEncoder {
 public:
  explicit ImplodeEncoder(std::uint16_t flags)
      : literal_tree_((flags & codecs::kZipFlagImplodeLiteralTree) != 0),
        low_bits_((flags & codecs::kZipFlagImplodeLargeWindow) != 0 ? 7 : 6),
        window_((flags & codecs::kZipFlagImplodeLargeWindow) != 0 ? 8192 : 4096),
        min_match_(literal_tree_ ? 3 : 2) {}

  std::vector<std::uint8_t> Run(std::span<const std::uint8_t> data) {
    Parse(data);
    std::vector<std::uint64_t> literal_freqs(256, 1), length_freqs(64, 1), distance_freqs(64, 1);
    for (const Token& token : tokens_) {
      if (token.length == 0) {
        ++literal_freqs[token.value];
      } else {
        ++length_freqs[std::min(token.length - min_match_, 63u)];
        ++distance_freqs[(token.value - 1) >> low_bits_];
      }
    }
    if (literal_tree_) SendTree(literals_, CodeLengths(literal_freqs, 16));
    SendTree(lengths_, CodeLengths(length_freqs, 16));
    SendTree(distances_, CodeLengths(distance_freqs, 16));
    for (const Token& token : tokens_) {
      if (token.length == 0) {
        bits_.Put(1, 1);
        if (literal_tree_) {
          Send(literals_, token.value);
        } else {
          bits_.Put(token.value, 8);
        }
        continue;
      }
      bits_.Put(0, 1);
      const unsigned distance = token.value - 1;
      bits_.Put(distance & ((1u << low_bits_) - 1), low_bits_);
      Send(distances_, distance >> low_bits_);
      const unsigned length = token.length - min_match_;
      Send(lengths_, std::min(length, 63u));
      if (length >= 63) bits_.Put(length - 63, 8);
    }
    return bits_.Take();
  }

 private:
  struct Token {
    unsigned length;  // 0 for a literal
    unsigned value;   // the byte, or the distance
  };

  // Greedy matches through chains of earlier places with the same first bytes.
  void Parse(std::span<const std::uint8_t> data) {
    const unsigned max_length = min_match_ + 63 + 255;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> places;
    const auto key = [&](std::size_t at) {
      std::uint32_t k = 0;
      for (unsigned i = 0; i < min_match_; ++i) k = k << 8 | data[at + i];
      return k;
    };
    for (std::size_t at = 0; at < data.size();) {
      unsigned best = 0;
      std::size_t best_distance = 0;
      if (at + min_match_ <= data.size()) {
        const auto& earlier = places[key(at)];
        int tries = 0;
        for (auto it = earlier.rbegin(); it != earlier.rend() && tries < 64; ++it, ++tries) {
          const std::size_t distance = at - *it;
          if (distance > window_) break;
          unsigned length = 0;
          while (length < max_length && at + length < data.size() &&
                 data[*it + length] == data[at + length]) {
            ++length;
          }
          if (length > best) {
            best = length;
            best_distance = distance;
          }
        }
      }
      const std::size_t step = best >= min_match_ ? best : 1;
      if (best >= min_match_) {
        tokens_.push_back({best, static_cast<unsigned>(best_distance)});
      } else {
        tokens_.push_back({0, data[at]});
      }
      for (std::size_t i = at; i < at + step; ++i) {
        if (i + min_match_ <= data.size()) places[key(i)].push_back(i);
      }
      at += step;
    }
  }

  // Runs of up to 16 equal lengths, a byte each, after their count less one.
  void SendTree(codecs::ShannonFanoCode& code, const std::vector<std::uint8_t>& lengths) {
    std::vector<std::uint8_t> runs;
    for (std::size_t i = 0; i < lengths.size();) {
      std::size_t run = 1;
      while (run < 16 && i + run < lengths.size() && lengths[i + run] == lengths[i]) ++run;
      runs.push_back(static_cast<std::uint8_t>((run - 1) << 4 | (lengths[i] - 1)));
      i += run;
    }
    bits_.Put(static_cast<std::uint32_t>(runs.size() - 1), 8);
    for (const std::uint8_t run : runs) bits_.Put(run, 8);
    code.Build(lengths);
  }

  void Send(const codecs::ShannonFanoCode& code, unsigned value) {
    const codecs::ShannonFanoCode::Code c = code.CodeOf(value);
    bits_.Put(c.bits, c.length);
  }

  bool literal_tree_;
  unsigned low_bits_;
  std::size_t window_;
  unsigned min_match_;
  std::vector<Token> tokens_;
  codecs::ShannonFanoCode literals_, lengths_, distances_;
  BitWriter bits_;
};

class ReduceEncoder {
 public:
  explicit ReduceEncoder(unsigned factor)
      : factor_(factor),
        length_mask_(0xFFu >> factor),
        max_distance_(((0xFFu >> (8 - factor)) << 8) + 256) {}

  std::vector<std::uint8_t> Run(std::span<const std::uint8_t> data) {
    const std::vector<std::uint8_t> expanded = Expand(data);
    // The most frequent followers of each byte, up to 32 of them.
    std::vector<std::array<std::uint64_t, 256>> counts(256);
    std::uint8_t last = 0;
    for (const std::uint8_t byte : expanded) {
      ++counts[last][byte];
      last = byte;
    }
    std::array<std::vector<std::uint8_t>, 256> sets;
    for (unsigned b = 0; b < 256; ++b) {
      std::vector<std::uint8_t> seen;
      for (unsigned f = 0; f < 256; ++f) {
        if (counts[b][f] > 0) seen.push_back(static_cast<std::uint8_t>(f));
      }
      std::stable_sort(seen.begin(), seen.end(),
                       [&](auto x, auto y) { return counts[b][x] > counts[b][y]; });
      if (seen.size() > 32) seen.resize(32);
      sets[b] = seen;
    }
    for (int b = 255; b >= 0; --b) {
      bits_.Put(static_cast<std::uint32_t>(sets[b].size()), 6);
      for (const std::uint8_t f : sets[b]) bits_.Put(f, 8);
    }
    last = 0;
    for (const std::uint8_t byte : expanded) {
      const auto& set = sets[last];
      const auto found = std::find(set.begin(), set.end(), byte);
      if (set.empty()) {
        bits_.Put(byte, 8);
      } else if (found == set.end()) {
        bits_.Put(1, 1);
        bits_.Put(byte, 8);
      } else {
        unsigned index_bits = 1;
        while ((1u << index_bits) < set.size()) ++index_bits;
        bits_.Put(0, 1);
        bits_.Put(static_cast<std::uint32_t>(found - set.begin()), index_bits);
      }
      last = byte;
    }
    return bits_.Take();
  }

 private:
  static constexpr std::uint8_t kMarker = 144;

  // Greedy matches: the marker, the length (and its rest) with the high distance bits, the low
  // distance byte; a plain marker byte as the marker and 0.
  std::vector<std::uint8_t> Expand(std::span<const std::uint8_t> data) const {
    std::vector<std::uint8_t> out;
    const unsigned max_length = length_mask_ + 255 + 3;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> places;
    const auto key = [&](std::size_t at) {
      return data[at] << 16 | data[at + 1] << 8 | data[at + 2];
    };
    for (std::size_t at = 0; at < data.size();) {
      unsigned best = 0;
      std::size_t best_distance = 0;
      if (at + 3 <= data.size()) {
        const auto& earlier = places[key(at)];
        int tries = 0;
        for (auto it = earlier.rbegin(); it != earlier.rend() && tries < 64; ++it, ++tries) {
          const std::size_t distance = at - *it;
          if (distance > max_distance_) break;
          unsigned length = 0;
          while (length < max_length && at + length < data.size() &&
                 data[*it + length] == data[at + length]) {
            ++length;
          }
          // A first byte of 0 after the marker would mean the marker itself.
          const unsigned high = static_cast<unsigned>((distance - 1) >> 8);
          if (length > best && (high != 0 || length > 3)) {
            best = length;
            best_distance = distance;
          }
        }
      }
      std::size_t step = 1;
      if (best >= 3) {
        const unsigned length = best - 3;
        const unsigned high = static_cast<unsigned>((best_distance - 1) >> 8);
        out.push_back(kMarker);
        out.push_back(
            static_cast<std::uint8_t>(high << (8 - factor_) | std::min(length, length_mask_)));
        if (length >= length_mask_) out.push_back(static_cast<std::uint8_t>(length - length_mask_));
        out.push_back(static_cast<std::uint8_t>((best_distance - 1) & 0xFF));
        step = best;
      } else {
        out.push_back(data[at]);
        if (data[at] == kMarker) out.push_back(0);
      }
      for (std::size_t i = at; i < at + step; ++i) {
        if (i + 3 <= data.size()) places[key(i)].push_back(i);
      }
      at += step;
    }
    return out;
  }

  unsigned factor_;
  unsigned length_mask_;
  std::size_t max_distance_;
  BitWriter bits_;
};

}  // namespace

std::vector<std::uint8_t> Reduce(std::span<const std::uint8_t> data, unsigned factor) {
  return ReduceEncoder(factor).Run(data);
}

std::vector<std::uint8_t> Implode(std::span<const std::uint8_t> data, std::uint16_t flags) {
  return ImplodeEncoder(flags).Run(data);
}

std::vector<std::uint8_t> Shrink(std::span<const std::uint8_t> data) {
  return ShrinkEncoder().Run(data);
}

}  // namespace lorvante::test
