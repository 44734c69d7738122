// The string table keeps, for each code, its prefix code and its last byte; a string is spelt
// backwards into a staging buffer, from which the caller's output is filled, so input and output
// may come in pieces of any size. Bits are taken from the input a byte at a time, only when a
// code needs them, so the input taken ends with the byte holding the last code.
#include "codecs/shrink.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lorvante::codecs {

namespace {

constexpr unsigned kMinCodeBits = 9;
constexpr unsigned kMaxCodeBits = 13;
constexpr unsigned kCodes = 1u << kMaxCodeBits;
constexpr unsigned kLiterals = 256;
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstFreeCode = 257;
constexpr unsigned kControlWiden = 1;
constexpr unsigned kControlPartialClear = 2;

class ShrinkDecoder final : public Decoder {
 public:
  explicit ShrinkDecoder(std::uint64_t uncompressed_size);
  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override;

 private:
  enum class Mode { kCode, kControl, kDone, kError };

  // The next code of `code_bits_` bits; false when the input ran out first.
  bool ReadCode(unsigned& code);
  // Spells the string of `code` into the staging buffer; false for a code that cannot be.
  bool Spell(unsigned code);
  bool TakeCode(unsigned code);
  void PartialClear();
  void FindFreeCode();

  std::uint64_t remaining_;
  Mode mode_ = Mode::kCode;
  unsigned code_bits_ = kMinCodeBits;
  std::uint32_t bits_ = 0;
  unsigned bit_count_ = 0;
  const std::uint8_t* in_ = nullptr;
  const std::uint8_t* in_end_ = nullptr;

  // A freed code keeps its string until the code is taken again: a string spelt just before a
  // partial clear may still be needed by the code after it.
  std::array<std::uint16_t, kCodes> prefix_{};
  std::array<std::uint8_t, kCodes> last_byte_{};
  std::array<bool, kCodes> used_{};
  unsigned next_free_ = kFirstFreeCode;  // kCodes when the table is full
  int previous_ = -1;                    // the code before, none at the start

  // A string, last byte first, handed out from its end.
  std::array<std::uint8_t, kCodes> staged_{};
  std::size_t staged_size_ = 0;
};

ShrinkDecoder::ShrinkDecoder(std::uint64_t uncompressed_size) : remaining_(uncompressed_size) {
  for (unsigned code = 0; code < kLiterals; ++code) {
    last_byte_[code] = static_cast<std::uint8_t>(code);
    used_[code] = true;
  }
  if (remaining_ == 0) mode_ = Mode::kDone;
}

DecodeStep ShrinkDecoder::Decode(std::span<const std::uint8_t> input,
                                 std::span<std::uint8_t> output) {
  in_ = input.data();
  in_end_ = input.data() + input.size();
  std::uint8_t* out = output.data();
  std::uint8_t* const out_end = out + output.size();
  for (;;) {
    // Staged bytes first.
    while (staged_size_ > 0 && out != out_end) *out++ = staged_[--staged_size_];
    if (staged_size_ > 0 || mode_ == Mode::kDone || mode_ == Mode::kError) break;
    unsigned code = 0;
    if (!ReadCode(code)) break;
    if (mode_ == Mode::kControl) {
      if (code == kControlWiden && code_bits_ < kMaxCodeBits) {
        ++code_bits_;
      } else if (code == kControlPartialClear) {
        PartialClear();
      } else {
        mode_ = Mode::kError;
        break;
      }
      mode_ = Mode::kCode;
      continue;
    }
    if (code == kControlCode) {
      mode_ = Mode::kControl;
      continue;
    }
    if (!TakeCode(code)) mode_ = Mode::kError;
  }
  DecodeStep step;
  step.consumed = static_cast<std::size_t>(in_ - input.data());
  step.produced = static_cast<std::size_t>(out - output.data());
  step.status = mode_ == Mode::kError                       ? DecodeStatus::kDataError
                : mode_ == Mode::kDone && staged_size_ == 0 ? DecodeStatus::kStreamEnd
                                                            : DecodeStatus::kOk;
  return step;
}

bool ShrinkDecoder::ReadCode(unsigned& code) {
  while (bit_count_ < code_bits_) {
    if (in_ == in_end_) return false;
    bits_ |= std::uint32_t{*in_++} << bit_count_;
    bit_count_ += 8;
  }
  code = bits_ & ((1u << code_bits_) - 1);
  bits_ >>= code_bits_;
  bit_count_ -= code_bits_;
  return true;
}

bool ShrinkDecoder::Spell(unsigned code) {
  std::size_t size = staged_size_;
  for (;;) {
    if (size == staged_.size()) return false;  // a loop in a damaged table
    staged_[size++] = last_byte_[code];
    if (code < kLiterals) break;
    code = prefix_[code];
  }
  staged_size_ = size;
  return true;
}

bool ShrinkDecoder::TakeCode(unsigned code) {
  const bool known = code != kControlCode && used_[code];
  if (previous_ < 0) {
    // The first code is a byte.
    if (code >= kLiterals) return false;
    staged_[staged_size_++] = static_cast<std::uint8_t>(code);
  } else if (known) {
    if (!Spell(code)) return false;
  } else if (code == next_free_) {
    // The code being defined: the previous string and its own first byte.
    staged_[0] = 0;  // placeholder for the first byte, set below
    staged_size_ = 1;
    if (!Spell(static_cast<unsigned>(previous_))) return false;
    staged_[0] = staged_[staged_size_ - 1];
  } else {
    return false;
  }
  if (staged_size_ > remaining_) return false;  // more than the entry holds
  remaining_ -= staged_size_;

  if (previous_ >= 0 && next_free_ < kCodes) {
    prefix_[next_free_] = static_cast<std::uint16_t>(previous_);
    last_byte_[next_free_] = staged_[staged_size_ - 1];
    used_[next_free_] = true;
    FindFreeCode();
  }
  previous_ = static_cast<int>(code);
  if (remaining_ == 0) mode_ = Mode::kDone;
  return true;
}

void ShrinkDecoder::FindFreeCode() {
  do {
    ++next_free_;
  } while (next_free_ < kCodes && used_[next_free_]);
}

void ShrinkDecoder::PartialClear() {
  // Codes that are the prefix of another stay; the others are freed.
  std::array<bool, kCodes> is_prefix{};
  for (unsigned code = kFirstFreeCode; code < kCodes; ++code) {
    if (used_[code]) is_prefix[prefix_[code]] = true;
  }
  for (unsigned code = kFirstFreeCode; code < kCodes; ++code) {
    if (!is_prefix[code]) used_[code] = false;
  }
  next_free_ = kFirstFreeCode - 1;
  FindFreeCode();
}

}  // namespace

std::unique_ptr<Decoder> MakeShrinkDecoder(std::uint64_t uncompressed_size) {
  return std::make_unique<ShrinkDecoder>(uncompressed_size);
}

}  // namespace lorvante::codecs
