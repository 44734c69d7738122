// The range decoder of PPMd variant I: a carry-less coder whose range is renormalized whenever the
// top byte of the interval is settled, or the range falls below 2^15 (then cut to the next
// boundary). It takes its bytes one at a time from the caller, so that a symbol may be decoded
// across pieces of input: the caller normalizes before each coding step, feeding bytes while
// NeedsByte() says so.
#pragma once

#include <cstdint>

namespace lorvante::codecs::ppmd {

class RangeDecoder {
 public:
  static constexpr int kCodeBytes = 4;

  // The first bytes of the stream: the initial code value. True once all are in.
  bool TakeInitialByte(std::uint8_t byte) {
    code_ = (code_ << kByteBits) | byte;
    return ++initial_bytes_ == kCodeBytes;
  }
  // A writer never starts with an all-ones code.
  bool InitialCodeValid() const { return code_ != kAllOnes; }

  // Whether the interval must be widened by another input byte before the next coding step.
  // Cutting the range to the next boundary gives the same answer when asked again, so the caller
  // may ask, find no input, and ask again later.
  bool NeedsByte() {
    if (((low_ ^ (low_ + range_)) >> kTopShift) == 0) return true;
    if (range_ < kBottom) {
      range_ = (0u - low_) & (kBottom - 1);
      return true;
    }
    return false;
  }
  void ShiftIn(std::uint8_t byte) {
    code_ = (code_ << kByteBits) | byte;
    range_ <<= kByteBits;
    low_ <<= kByteBits;
  }

  // The count within [0, total) that the code points at, or false when the range is too narrow
  // for `total` (only corrupt data lead there).
  bool Threshold(std::uint32_t total, std::uint32_t& count) {
    range_ /= total;
    if (range_ == 0) return false;
    count = code_ / range_;
    return true;
  }
  // The same over a total of 2^bits.
  std::uint32_t ThresholdOfBits(unsigned bits) {
    range_ >>= bits;
    return code_ / range_;
  }
  // Takes the subinterval [start, start + size) of the total of the last threshold.
  void Decode(std::uint32_t start, std::uint32_t size) {
    start *= range_;
    low_ += start;
    code_ -= start;
    range_ *= size;
  }

  // A writer's flush leaves the code at the low end of the interval.
  bool AtFlushPoint() const { return code_ == 0; }

 private:
  static constexpr unsigned kByteBits = 8;
  static constexpr unsigned kTopShift = 24;
  static constexpr std::uint32_t kBottom = 1u << 15;
  static constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;

  std::uint32_t code_ = 0;
  std::uint32_t range_ = kAllOnes;
  std::uint32_t low_ = 0;
  int initial_bytes_ = 0;
};

}  // namespace lorvante::codecs::ppmd
