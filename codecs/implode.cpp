// The Implode decoder. The three trees come first, each as a byte count and that many bytes of
// runs of lengths; then literals and matches. Each step (a tree byte, a literal, a whole match
// header) is taken whole or not at all: its bits stay in the bit buffer until all of them are
// there, and bytes are taken from the input only as a step needs them, so the input taken ends
// with the byte holding the entry's last bits. Distances reaching before the start of the entry
// read zeros, as the window starts zeroed.
#include "codecs/implode.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "codecs/lsb_bit_input.h"
#include "codecs/shannon_fano.h"
#include "codecs/zip_methods.h"

namespace lorvante::codecs {

namespace {

constexpr unsigned kLiteralValues = 256;
constexpr unsigned kLengthValues = 64;
constexpr unsigned kDistanceValues = 64;
constexpr unsigned kLargeWindowLowBits = 7;  // distance bits sent plainly with the 8 KiB window
constexpr unsigned kSmallWindowLowBits = 6;  // with the 4 KiB one
constexpr std::size_t kLargeWindow = 8192;
constexpr std::size_t kSmallWindow = 4096;
constexpr unsigned kLongLength = 63;  // a length code followed by 8 more bits
constexpr unsigned kLongLengthBits = 8;
constexpr unsigned kMinMatchWithLiteralTree = 3;
constexpr unsigned kMinMatchWithoutLiteralTree = 2;
constexpr unsigned kTreeRunBits = 4;

class ImplodeDecoder final : public Decoder {
 public:
  ImplodeDecoder(std::uint64_t uncompressed_size, std::uint16_t flags);
  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override;

 private:
  enum class Mode { kTreeSize, kTreeRuns, kData, kDone, kError };

  // The next `count` bits after those the current step has read; false when the input ran out.
  bool Bits(unsigned count, std::uint32_t& value);
  bool Symbol(const ShannonFanoCode& code, unsigned& value);
  void EndStep() {
    input_.bits >>= step_bits_;
    input_.count -= step_bits_;
    step_bits_ = 0;
  }

  std::optional<bool> ReadTreeSize();
  std::optional<bool> ReadTreeRuns();
  std::optional<bool> ReadLiteralOrMatch();
  void Put(std::uint8_t byte) {
    window_[pos_] = byte;
    pos_ = (pos_ + 1) % window_.size();
    *out_++ = byte;
    --remaining_;
  }

  std::uint64_t remaining_;
  bool literal_tree_;
  unsigned low_distance_bits_;
  unsigned min_match_;
  Mode mode_ = Mode::kTreeSize;

  LsbBitInput input_;
  unsigned step_bits_ = 0;  // bits the step in progress has read
  std::uint8_t* out_ = nullptr;
  std::uint8_t* out_end_ = nullptr;

  // The trees, in the order they are sent.
  std::vector<ShannonFanoCode*> trees_;
  std::size_t tree_ = 0;
  unsigned tree_bytes_left_ = 0;
  std::vector<std::uint8_t> lengths_;
  ShannonFanoCode literals_;
  ShannonFanoCode lengths_code_;
  ShannonFanoCode distances_;

  std::vector<std::uint8_t> window_;
  std::size_t pos_ = 0;
  std::size_t copy_left_ = 0;
  std::size_t copy_distance_ = 0;
};

ImplodeDecoder::ImplodeDecoder(std::uint64_t uncompressed_size, std::uint16_t flags)
    : remaining_(uncompressed_size),
      literal_tree_((flags & kZipFlagImplodeLiteralTree) != 0),
      low_distance_bits_((flags & kZipFlagImplodeLargeWindow) != 0 ? kLargeWindowLowBits
                                                                   : kSmallWindowLowBits),
      min_match_(literal_tree_ ? kMinMatchWithLiteralTree : kMinMatchWithoutLiteralTree),
      window_((flags & kZipFlagImplodeLargeWindow) != 0 ? kLargeWindow : kSmallWindow, 0) {
  if (literal_tree_) trees_.push_back(&literals_);
  trees_.push_back(&lengths_code_);
  trees_.push_back(&distances_);
}

bool ImplodeDecoder::Bits(unsigned count, std::uint32_t& value) {
  if (!input_.Load(step_bits_ + count)) return false;
  value =
      static_cast<std::uint32_t>((input_.bits >> step_bits_) & ((std::uint64_t{1} << count) - 1));
  step_bits_ += count;
  return true;
}

// Sets mode_ to kError on a pattern that is no code.
bool ImplodeDecoder::Symbol(const ShannonFanoCode& code, unsigned& value) {
  for (;;) {
    unsigned length = 0;
    const int symbol = code.Decode(input_.bits >> step_bits_, input_.count - step_bits_, length);
    if (symbol >= 0) {
      value = static_cast<unsigned>(symbol);
      step_bits_ += length;
      return true;
    }
    if (symbol == -2) {
      mode_ = Mode::kError;
      return false;
    }
    if (!input_.Load(input_.count + 1)) return false;
  }
}

DecodeStep ImplodeDecoder::Decode(std::span<const std::uint8_t> input,
                                  std::span<std::uint8_t> output) {
  input_.Start(input);
  out_ = output.data();
  out_end_ = output.data() + output.size();
  for (;;) {
    // A match under way first.
    while (copy_left_ > 0 && out_ != out_end_) {
      Put(window_[(pos_ + window_.size() - copy_distance_) % window_.size()]);
      --copy_left_;
    }
    if (copy_left_ > 0) break;
    if (remaining_ == 0 && mode_ == Mode::kData) mode_ = Mode::kDone;
    std::optional<bool> more;
    switch (mode_) {
      case Mode::kTreeSize:
        more = ReadTreeSize();
        break;
      case Mode::kTreeRuns:
        more = ReadTreeRuns();
        break;
      case Mode::kData:
        if (out_ == out_end_) break;
        more = ReadLiteralOrMatch();
        break;
      case Mode::kDone:
      case Mode::kError:
        break;
    }
    if (!more || !*more || mode_ == Mode::kError) break;
  }
  DecodeStep step;
  step.consumed = input_.Consumed(input);
  step.produced = static_cast<std::size_t>(out_ - output.data());
  step.status = mode_ == Mode::kError  ? DecodeStatus::kDataError
                : mode_ == Mode::kDone ? DecodeStatus::kStreamEnd
                                       : DecodeStatus::kOk;
  return step;
}

// Each returns true to go on, false when the input ran out (the step stays for the next call).
std::optional<bool> ImplodeDecoder::ReadTreeSize() {
  std::uint32_t size = 0;
  if (!Bits(8, size)) return false;
  EndStep();
  tree_bytes_left_ = size + 1;
  lengths_.clear();
  mode_ = Mode::kTreeRuns;
  return true;
}

std::optional<bool> ImplodeDecoder::ReadTreeRuns() {
  const std::size_t values = trees_[tree_] == &literals_       ? kLiteralValues
                             : trees_[tree_] == &lengths_code_ ? kLengthValues
                                                               : kDistanceValues;
  while (tree_bytes_left_ > 0) {
    std::uint32_t run = 0;
    if (!Bits(8, run)) return false;
    EndStep();
    --tree_bytes_left_;
    const unsigned length = (run & ((1u << kTreeRunBits) - 1)) + 1;
    const unsigned count = (run >> kTreeRunBits) + 1;
    if (lengths_.size() + count > values) {
      mode_ = Mode::kError;
      return true;
    }
    lengths_.insert(lengths_.end(), count, static_cast<std::uint8_t>(length));
  }
  if (lengths_.size() != values || !trees_[tree_]->Build(lengths_)) {
    mode_ = Mode::kError;
    return true;
  }
  mode_ =
      ++tree_ == trees_.size() ? (remaining_ == 0 ? Mode::kDone : Mode::kData) : Mode::kTreeSize;
  return true;
}

std::optional<bool> ImplodeDecoder::ReadLiteralOrMatch() {
  // Without all its bits, the step is read again from its start on the next call.
  const auto unfinished = [this]() -> std::optional<bool> {
    step_bits_ = 0;
    return mode_ == Mode::kError;
  };
  std::uint32_t is_literal = 0;
  if (!Bits(1, is_literal)) return unfinished();
  if (is_literal != 0) {
    unsigned byte = 0;
    std::uint32_t plain = 0;
    if (literal_tree_ ? !Symbol(literals_, byte) : !Bits(8, plain)) return unfinished();
    EndStep();
    Put(static_cast<std::uint8_t>(literal_tree_ ? byte : plain));
    return true;
  }
  std::uint32_t low = 0;
  unsigned high = 0;
  unsigned length = 0;
  std::uint32_t extra = 0;
  if (!Bits(low_distance_bits_, low) || !Symbol(distances_, high) ||
      !Symbol(lengths_code_, length) || (length == kLongLength && !Bits(kLongLengthBits, extra))) {
    return unfinished();
  }
  EndStep();
  copy_distance_ = ((std::size_t{high} << low_distance_bits_) | low) + 1;
  copy_left_ = length + extra + min_match_;
  if (copy_left_ > remaining_) {  // the data say more than the entry holds
    copy_left_ = 0;
    mode_ = Mode::kError;
  }
  return true;
}

}  // namespace

std::unique_ptr<Decoder> MakeImplodeDecoder(std::uint64_t uncompressed_size, std::uint16_t flags) {
  return std::make_unique<ImplodeDecoder>(uncompressed_size, flags);
}

}  // namespace lorvante::codecs
