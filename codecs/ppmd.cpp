#include "codecs/ppmd.h"

#include <optional>

#include "codecs/ppmd_model.h"
#include "codecs/ppmd_range_decoder.h"
#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

constexpr unsigned kHeaderBytes = 2;
constexpr unsigned kByteBits = 8;
constexpr unsigned kOrderMask = 0xF;
constexpr unsigned kMemoryShift = 4;
constexpr unsigned kMemoryMask = 0xFF;
constexpr unsigned kRestorationShift = 12;
constexpr unsigned kMebibyteShift = 20;

class PpmdDecoder final : public Decoder {
 public:
  explicit PpmdDecoder(std::uint64_t uncompressed_size) : remaining_(uncompressed_size) {}

  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override {
    DecodeStep step;
    step.status = Run(input, output, step);
    if (step.status == DecodeStatus::kDataError || step.status == DecodeStatus::kMemoryError) {
      phase_ = Phase::kFailed;
      failure_ = step.status;
    }
    return step;
  }

 private:
  enum class Phase {
    kHeader,   // the parameter word
    kCode,     // the range decoder's first bytes
    kSymbols,  // the entry's bytes
    kEnd,      // after the last byte: the writer's flush, or an end mark
    kEndMark,  // decoding the end mark
    kDone,
    kFailed,
  };

  // Each phase returns a status to give the caller, or nothing to go on with the next phase.
  using Outcome = std::optional<DecodeStatus>;

  DecodeStatus Run(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   DecodeStep& step) {
    for (;;) {
      Outcome outcome;
      switch (phase_) {
        case Phase::kFailed:
          return failure_;
        case Phase::kDone:
          return DecodeStatus::kStreamEnd;
        case Phase::kHeader:
          outcome = TakeHeader(input, step);
          break;
        case Phase::kCode:
          outcome = TakeInitialCode(input, step);
          break;
        case Phase::kSymbols:
          outcome = DecodeSymbols(input, output, step);
          break;
        case Phase::kEnd:
          outcome = FindEnd(input, step);
          break;
        case Phase::kEndMark:
          outcome = DecodeEndMark(input, step);
          break;
      }
      if (outcome) return *outcome;
    }
  }

  Outcome TakeHeader(std::span<const std::uint8_t> input, DecodeStep& step) {
    if (step.consumed == input.size()) return DecodeStatus::kOk;
    header_ |= unsigned{input[step.consumed++]} << (kByteBits * header_bytes_);
    if (++header_bytes_ < kHeaderBytes) return std::nullopt;
    const DecodeStatus status = StartModel();
    if (status != DecodeStatus::kOk) return status;
    phase_ = Phase::kCode;
    return std::nullopt;
  }

  Outcome TakeInitialCode(std::span<const std::uint8_t> input, DecodeStep& step) {
    if (step.consumed == input.size()) return DecodeStatus::kOk;
    if (!decoder_.TakeInitialByte(input[step.consumed++])) return std::nullopt;
    if (!decoder_.InitialCodeValid()) return DecodeStatus::kDataError;
    phase_ = Phase::kSymbols;
    return std::nullopt;
  }

  // The entry's bytes, one coding step after another (a byte, or an escape to a shorter
  // context), until the entry is complete or the input or the room for output runs out.
  Outcome DecodeSymbols(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                        DecodeStep& step) {
    // Counted in locals: a byte written to the output may alias any member.
    std::size_t consumed = step.consumed;
    std::size_t produced = step.produced;
    std::uint64_t remaining = remaining_;
    Outcome outcome;
    while (remaining != 0) {
      if (produced == output.size() || !Normalize(input, consumed)) {
        outcome = DecodeStatus::kOk;
        break;
      }
      std::uint8_t symbol = 0;
      const ppmd::StepResult result = model_.Step(decoder_, symbol);
      if (result == ppmd::StepResult::kSymbol) {
        output[produced++] = symbol;
        --remaining;
      } else if (result != ppmd::StepResult::kEscape) {
        outcome = DecodeStatus::kDataError;  // an end mark before the entry is complete
        break;
      }
    }
    if (remaining == 0 && !outcome) phase_ = Phase::kEnd;
    step.consumed = consumed;
    step.produced = produced;
    remaining_ = remaining;
    return outcome;
  }

  // After the last byte: a writer that adds no end mark flushes right there.
  Outcome FindEnd(std::span<const std::uint8_t> input, DecodeStep& step) {
    if (!Normalize(input, step)) return DecodeStatus::kOk;
    phase_ = decoder_.AtFlushPoint() ? Phase::kDone : Phase::kEndMark;
    return std::nullopt;
  }

  // The end mark: escapes down to no context at all, then the flush.
  Outcome DecodeEndMark(std::span<const std::uint8_t> input, DecodeStep& step) {
    if (!Normalize(input, step)) return DecodeStatus::kOk;
    std::uint8_t symbol = 0;
    switch (model_.Step(decoder_, symbol)) {
      case ppmd::StepResult::kEscape:
        return std::nullopt;
      case ppmd::StepResult::kEndMark:
        if (!decoder_.AtFlushPoint()) break;
        phase_ = Phase::kDone;
        return std::nullopt;
      case ppmd::StepResult::kSymbol:  // more than the entry holds
      case ppmd::StepResult::kError:
        break;
    }
    return DecodeStatus::kDataError;
  }

  DecodeStatus StartModel() {
    const unsigned order = (header_ & kOrderMask) + 1;
    const std::uint64_t memory = std::uint64_t{((header_ >> kMemoryShift) & kMemoryMask) + 1}
                                 << kMebibyteShift;
    const unsigned restoration = header_ >> kRestorationShift;
    if (order < ppmd::kMinOrder) return DecodeStatus::kDataError;
    if (restoration > static_cast<unsigned>(ppmd::Restoration::kCutOff)) {
      return DecodeStatus::kDataError;
    }
    if (memory > kMaxWindowBytes) return DecodeStatus::kMemoryError;
    if (!model_.Reserve(static_cast<std::uint32_t>(memory))) return DecodeStatus::kMemoryError;
    model_.Start(order, static_cast<ppmd::Restoration>(restoration));
    return DecodeStatus::kOk;
  }

  // Feeds the range decoder the bytes it wants before the next step; false when the input ran
  // out first.
  bool Normalize(std::span<const std::uint8_t> input, DecodeStep& step) {
    return Normalize(input, step.consumed);
  }
  bool Normalize(std::span<const std::uint8_t> input, std::size_t& consumed) {
    while (decoder_.NeedsByte()) {
      if (consumed == input.size()) return false;
      decoder_.ShiftIn(input[consumed++]);
    }
    return true;
  }

  std::uint64_t remaining_;
  Phase phase_ = Phase::kHeader;
  DecodeStatus failure_ = DecodeStatus::kDataError;
  unsigned header_ = 0;
  unsigned header_bytes_ = 0;
  ppmd::RangeDecoder decoder_;
  ppmd::Model model_;
};

}  // namespace

std::unique_ptr<Decoder> MakePpmdDecoder(std::uint64_t uncompressed_size) {
  return std::make_unique<PpmdDecoder>(uncompressed_size);
}

}  // namespace lorvante::codecs
