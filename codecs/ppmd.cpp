#include "codecs/ppmd.h"

#include "codecs/ppmd_model.h"
#include "codecs/ppmd_range_decoder.h"
#include "codecs/window_limit.h"

namespace lorvante::codecs {

namespace {

constexpr unsigned kHeaderBytes = 2;
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

  DecodeStatus Run(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   DecodeStep& step) {
    for (;;) {
      switch (phase_) {
        case Phase::kFailed:
          return failure_;
        case Phase::kDone:
          return DecodeStatus::kStreamEnd;
        case Phase::kHeader:
          if (step.consumed == input.size()) return DecodeStatus::kOk;
          header_ |= unsigned{input[step.consumed++]} << (8 * header_bytes_);
          if (++header_bytes_ == kHeaderBytes) {
            const DecodeStatus status = StartModel();
            if (status != DecodeStatus::kOk) return status;
            phase_ = Phase::kCode;
          }
          break;
        case Phase::kCode:
          if (step.consumed == input.size()) return DecodeStatus::kOk;
          if (decoder_.TakeInitialByte(input[step.consumed++])) {
            if (!decoder_.InitialCodeValid()) return DecodeStatus::kDataError;
            phase_ = Phase::kSymbols;
          }
          break;
        case Phase::kSymbols: {
          if (remaining_ == 0) {
            phase_ = Phase::kEnd;
            break;
          }
          if (step.produced == output.size()) return DecodeStatus::kOk;
          if (!Normalize(input, step)) return DecodeStatus::kOk;
          std::uint8_t symbol = 0;
          switch (model_.Step(decoder_, symbol)) {
            case ppmd::StepResult::kSymbol:
              output[step.produced++] = symbol;
              --remaining_;
              break;
            case ppmd::StepResult::kEscape:
              break;
            case ppmd::StepResult::kEndMark:  // before the entry is complete
            case ppmd::StepResult::kError:
              return DecodeStatus::kDataError;
          }
          break;
        }
        case Phase::kEnd:
          // A writer that adds no end mark flushes right after the last byte.
          if (!Normalize(input, step)) return DecodeStatus::kOk;
          phase_ = decoder_.AtFlushPoint() ? Phase::kDone : Phase::kEndMark;
          break;
        case Phase::kEndMark: {
          if (!Normalize(input, step)) return DecodeStatus::kOk;
          std::uint8_t symbol = 0;
          switch (model_.Step(decoder_, symbol)) {
            case ppmd::StepResult::kEscape:
              break;
            case ppmd::StepResult::kEndMark:
              if (!decoder_.AtFlushPoint()) return DecodeStatus::kDataError;
              phase_ = Phase::kDone;
              break;
            case ppmd::StepResult::kSymbol:  // more than the entry holds
            case ppmd::StepResult::kError:
              return DecodeStatus::kDataError;
          }
          break;
        }
      }
    }
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
    while (decoder_.NeedsByte()) {
      if (step.consumed == input.size()) return false;
      decoder_.ShiftIn(input[step.consumed++]);
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
