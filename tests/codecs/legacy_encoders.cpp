#include "tests/codecs/legacy_encoders.h"

#include <array>
#include <unordered_map>

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

}  // namespace

std::vector<std::uint8_t> Shrink(std::span<const std::uint8_t> data) {
  return ShrinkEncoder().Run(data);
}

}  // namespace lorvante::test
