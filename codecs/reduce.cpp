// The Reduce decoder. Each step (a follower set's size, one of its bytes, one coded byte) is
// taken whole or not at all, with bytes taken from the input only as a step needs them; the
// expansion of the coded bytes runs as a small state machine between steps. Distances reaching
// before the start of the entry read zeros, as the window starts zeroed.
#include "codecs/reduce.h"

#include <algorithm>
#include <array>

#include "codecs/lsb_bit_input.h"

namespace lorvante::codecs {

namespace {

constexpr unsigned kSetSizeBits = 6;
constexpr unsigned kByteBits = 8;
constexpr unsigned kMaxFollowers = 64;
constexpr std::uint8_t kMatchMarker = 144;  // DLE: a match follows, or 144 itself after a 0
constexpr unsigned kMinMatch = 3;
constexpr std::size_t kWindow = 4096;

// Bits of a follower's index in a set of n (index 0: no set, a plain byte instead).
unsigned IndexBits(unsigned n) {
  unsigned bits = 1;
  while ((1u << bits) < n) ++bits;
  return bits;
}

class ReduceDecoder final : public Decoder {
 public:
  ReduceDecoder(std::uint64_t uncompressed_size, unsigned factor);
  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override;

 private:
  enum class Mode { kSetSize, kSetByte, kData, kDone, kError };
  // Where the expansion stands: a plain byte next, after the marker, after a length that
  // continues in the next byte, or before the low byte of the distance.
  enum class Expand { kPlain, kMarker, kLongLength, kDistance };

  bool Take(unsigned count, std::uint32_t& value);
  bool ReadSetSize();
  bool ReadSetByte();
  bool ReadCodedByte(std::uint8_t& byte);
  void ExpandByte(std::uint8_t byte);
  void Put(std::uint8_t byte) {
    window_[pos_] = byte;
    pos_ = (pos_ + 1) % kWindow;
    *out_++ = byte;
    --remaining_;
  }

  std::uint64_t remaining_;
  unsigned factor_;
  std::uint8_t length_mask_;
  Mode mode_ = Mode::kSetSize;
  Expand expand_ = Expand::kPlain;

  LsbBitInput input_;
  std::uint8_t* out_ = nullptr;
  std::uint8_t* out_end_ = nullptr;

  std::array<std::array<std::uint8_t, kMaxFollowers>, 256> followers_{};
  std::array<std::uint8_t, 256> set_size_{};
  int set_ = 255;  // the set being read, from 255 down
  unsigned set_read_ = 0;
  std::uint8_t last_ = 0;

  std::uint8_t match_byte_ = 0;  // the byte after the marker: length and high distance bits
  unsigned match_length_ = 0;
  std::array<std::uint8_t, kWindow> window_{};
  std::size_t pos_ = 0;
  std::size_t copy_left_ = 0;
  std::size_t copy_distance_ = 0;
};

ReduceDecoder::ReduceDecoder(std::uint64_t uncompressed_size, unsigned factor)
    : remaining_(uncompressed_size),
      factor_(factor),
      length_mask_(static_cast<std::uint8_t>(0xFF >> factor)) {}

bool ReduceDecoder::Take(unsigned count, std::uint32_t& value) {
  if (!input_.Load(count)) return false;
  value = static_cast<std::uint32_t>(input_.bits & ((1u << count) - 1));
  input_.bits >>= count;
  input_.count -= count;
  return true;
}

DecodeStep ReduceDecoder::Decode(std::span<const std::uint8_t> input,
                                 std::span<std::uint8_t> output) {
  input_.Start(input);
  out_ = output.data();
  out_end_ = output.data() + output.size();
  for (;;) {
    while (copy_left_ > 0 && out_ != out_end_) {
      Put(window_[(pos_ + kWindow - copy_distance_) % kWindow]);
      --copy_left_;
    }
    if (copy_left_ > 0) break;
    if (mode_ == Mode::kData && remaining_ == 0) mode_ = Mode::kDone;
    bool more = false;
    switch (mode_) {
      case Mode::kSetSize:
        more = ReadSetSize();
        break;
      case Mode::kSetByte:
        more = ReadSetByte();
        break;
      case Mode::kData: {
        if (out_ == out_end_) break;
        std::uint8_t byte = 0;
        more = ReadCodedByte(byte);
        if (more) ExpandByte(byte);
        break;
      }
      case Mode::kDone:
      case Mode::kError:
        break;
    }
    if (!more || mode_ == Mode::kError) break;
  }
  DecodeStep step;
  step.consumed = input_.Consumed(input);
  step.produced = static_cast<std::size_t>(out_ - output.data());
  step.status = mode_ == Mode::kError  ? DecodeStatus::kDataError
                : mode_ == Mode::kDone ? DecodeStatus::kStreamEnd
                                       : DecodeStatus::kOk;
  return step;
}

bool ReduceDecoder::ReadSetSize() {
  std::uint32_t size = 0;
  if (!Take(kSetSizeBits, size)) return false;
  set_size_[set_] = static_cast<std::uint8_t>(size);
  set_read_ = 0;
  mode_ = Mode::kSetByte;
  return true;
}

bool ReduceDecoder::ReadSetByte() {
  if (set_read_ < set_size_[set_]) {
    std::uint32_t byte = 0;
    if (!Take(kByteBits, byte)) return false;
    followers_[set_][set_read_++] = static_cast<std::uint8_t>(byte);
    return true;
  }
  mode_ = --set_ >= 0 ? Mode::kSetSize : (remaining_ == 0 ? Mode::kDone : Mode::kData);
  return true;
}

bool ReduceDecoder::ReadCodedByte(std::uint8_t& byte) {
  const unsigned size = set_size_[last_];
  std::uint32_t value = 0;
  if (size == 0) {
    if (!Take(kByteBits, value)) return false;
  } else {
    const unsigned index_bits = IndexBits(size);
    // Only the bits this byte needs are taken from the input: its first bit tells how many.
    if (!input_.Load(1)) return false;
    if (!input_.Load(1 + ((input_.bits & 1) != 0 ? kByteBits : index_bits))) return false;
    std::uint32_t plain = 0;
    Take(1, plain);
    if (plain != 0) {
      Take(kByteBits, value);
    } else {
      std::uint32_t index = 0;
      Take(index_bits, index);
      if (index >= size) {
        mode_ = Mode::kError;
        return true;
      }
      value = followers_[last_][index];
    }
  }
  byte = static_cast<std::uint8_t>(value);
  last_ = byte;
  return true;
}

void ReduceDecoder::ExpandByte(std::uint8_t byte) {
  if (mode_ == Mode::kError) return;
  switch (expand_) {
    case Expand::kPlain:
      if (byte == kMatchMarker) {
        expand_ = Expand::kMarker;
      } else {
        Put(byte);
      }
      return;
    case Expand::kMarker:
      if (byte == 0) {
        Put(kMatchMarker);
        expand_ = Expand::kPlain;
        return;
      }
      match_byte_ = byte;
      match_length_ = byte & length_mask_;
      expand_ = match_length_ == length_mask_ ? Expand::kLongLength : Expand::kDistance;
      return;
    case Expand::kLongLength:
      match_length_ += byte;
      expand_ = Expand::kDistance;
      return;
    case Expand::kDistance:
      copy_distance_ =
          (std::size_t{static_cast<unsigned>(match_byte_ >> (8 - factor_))} << 8) + byte + 1;
      copy_left_ = match_length_ + kMinMatch;
      if (copy_left_ > remaining_) {  // the data say more than the entry holds
        copy_left_ = 0;
        mode_ = Mode::kError;
      }
      expand_ = Expand::kPlain;
      return;
  }
}

}  // namespace

std::unique_ptr<Decoder> MakeReduceDecoder(std::uint64_t uncompressed_size, unsigned factor) {
  return std::make_unique<ReduceDecoder>(uncompressed_size, factor);
}

}  // namespace lorvante::codecs
