// The context model of PPMd variant I, revision 1, as the decoder sees it: contexts of up to
// `order` preceding symbols, each with the symbols seen after it and their frequencies; a symbol
// is coded in the longest context that has it, after escapes from the longer ones. Contexts of
// one symbol code it with an adaptive binary probability, escapes from the others are estimated
// by secondary escape estimation (SEE). When the memory is full the model starts again, or is cut
// down to its most useful part.
#pragma once

#include <array>
#include <cstdint>

#include "codecs/ppmd_allocator.h"
#include "codecs/ppmd_range_decoder.h"

namespace lorvante::codecs::ppmd {

inline constexpr unsigned kMinOrder = 2;
inline constexpr unsigned kMaxOrder = 16;

// What the model does when its memory is full.
enum class Restoration : unsigned { kRestart = 0, kCutOff = 1 };

enum class StepResult {
  kSymbol,   // a symbol was decoded
  kEscape,   // an escape to a shorter context: another step follows
  kEndMark,  // an escape from the shortest context: the writer's end mark
  kError,    // the data cannot come from a writer
};

class Model {
 public:
  // Reserves the model's memory; false when the system has not got it.
  bool Reserve(std::uint32_t memory) { return heap_.Reserve(memory); }
  void Start(unsigned order, Restoration restoration);
  // One coding step; the range decoder must be normalized.
  StepResult Step(RangeDecoder& decoder, std::uint8_t& symbol);

 private:
  // Secondary escape estimation: a running sum of escape frequencies and its scale.
  struct See {
    std::uint16_t summ = 0;
    std::uint8_t shift = 0;
    std::uint8_t count = 0;
  };
  // A symbol state of 6 bytes: symbol, frequency, successor (a context, or a text position).
  struct State {
    std::uint8_t symbol = 0;
    std::uint8_t freq = 0;
    std::uint32_t successor = 0;
  };
  static constexpr std::uint32_t kStateSize = 6;
  static constexpr std::uint32_t kStateFreq = 1;
  static constexpr std::uint32_t kStateSuccessor = 2;
  static constexpr std::uint32_t kContextFlags = 1;
  static constexpr std::uint32_t kContextSummFreq = 2;
  static constexpr std::uint32_t kContextOneState = 2;
  static constexpr std::uint32_t kContextStats = 4;
  static constexpr std::uint32_t kContextSuffix = 8;
  static constexpr unsigned kBinSummRows = 25;
  static constexpr unsigned kBinSummColumns = 64;
  static constexpr unsigned kSeeRows = 24;
  static constexpr unsigned kSeeColumns = 32;
  static constexpr unsigned kLongestSearch = 256;

  // Fields of a state and of a context (12 bytes: symbol count - 1, flags, frequency sum,
  // symbol list, suffix; a context of one symbol holds its state in place of sum and list).
  std::uint8_t& Symbol(std::uint32_t state) { return memory_[state]; }
  std::uint8_t& Freq(std::uint32_t state) { return memory_[state + kStateFreq]; }
  std::uint32_t Successor(std::uint32_t state) const { return Load32(state + kStateSuccessor); }
  void SetSuccessor(std::uint32_t state, std::uint32_t to) { Store32(state + kStateSuccessor, to); }
  std::uint8_t& NumStats(std::uint32_t context) { return memory_[context]; }
  std::uint8_t& Flags(std::uint32_t context) { return memory_[context + kContextFlags]; }
  unsigned SummFreq(std::uint32_t context) const;
  void SetSummFreq(std::uint32_t context, unsigned value);
  std::uint32_t Stats(std::uint32_t context) const { return Load32(context + kContextStats); }
  void SetStats(std::uint32_t context, std::uint32_t stats) {
    Store32(context + kContextStats, stats);
  }
  std::uint32_t Suffix(std::uint32_t context) const { return Load32(context + kContextSuffix); }
  void SetSuffix(std::uint32_t context, std::uint32_t suffix) {
    Store32(context + kContextSuffix, suffix);
  }
  static std::uint32_t OneState(std::uint32_t context) { return context + kContextOneState; }
  std::uint32_t Load32(std::uint32_t at) const;
  void Store32(std::uint32_t at, std::uint32_t value);
  State ReadState(std::uint32_t at) const;
  void WriteState(std::uint32_t at, const State& state);
  void CopyState(std::uint32_t to, std::uint32_t from);
  void SwapStates(std::uint32_t a, std::uint32_t b);
  // The state of `symbol` in a context of several, or 0 (a model that lost it is corrupt).
  std::uint32_t FindState(std::uint32_t context, std::uint8_t symbol);

  void Restart();
  void InitProbabilities();

  // Decoding, by the kind of context.
  StepResult DecodeInContext(RangeDecoder& decoder, std::uint8_t& symbol);
  StepResult DecodeBinary(RangeDecoder& decoder, std::uint8_t& symbol);
  StepResult DecodeMasked(RangeDecoder& decoder, std::uint8_t& symbol);
  std::uint16_t& BinaryProbability();
  See& EscapeEstimate(unsigned masked, std::uint32_t& escape_freq);
  static void UpdateSee(See& see);
  void StartMask();
  void MaskStates(std::uint32_t context);
  bool Masked(std::uint8_t symbol) const { return mask_[symbol] == mask_stamp_; }

  // Updates after a symbol, by where it was found.
  void UpdateFirst();
  void UpdateLater();
  void UpdateBinary();
  void UpdateAfterEscape();
  void NextContext();
  void Rescale();

  // Growth of the model.
  void UpdateModel();
  std::uint32_t CreateSuccessors(bool skip, std::uint32_t suffix_state, std::uint32_t context);
  std::uint32_t ReduceOrder(std::uint32_t suffix_state, std::uint32_t context);

  // When the memory is full.
  void RestoreModel(std::uint32_t failed_at);
  void Refresh(std::uint32_t context, unsigned old_units, unsigned scale);
  std::uint32_t CutOff(std::uint32_t context, unsigned order);
  void PrefetchSuccessors(std::uint32_t context) const;
  void Prefetch(std::uint32_t at) const { __builtin_prefetch(memory_ + at); }
  // The successor of a symbol just found is read next (the next context, or the symbol after it
  // in the text, from which the next context is made): its fetch starts during the updates.
  void PrefetchSuccessor(std::uint32_t state) const { Prefetch(Successor(state)); }

  SubAllocator heap_;
  std::uint8_t* memory_ = nullptr;
  unsigned max_order_ = kMinOrder;
  Restoration restoration_ = Restoration::kRestart;

  std::uint32_t min_context_ = 0;
  std::uint32_t max_context_ = 0;
  std::uint32_t found_state_ = 0;
  unsigned order_fall_ = 0;
  std::uint32_t run_length_ = 0;  // a signed count kept in two's complement
  std::uint32_t init_run_length_ = 0;
  unsigned init_escape_ = 0;
  unsigned prev_success_ = 0;
  bool escaped_ = false;
  bool corrupt_ = false;

  std::array<std::uint8_t, 256> mask_{};
  std::uint8_t mask_stamp_ = 0;

  std::array<std::array<std::uint16_t, kBinSummColumns>, kBinSummRows> bin_summ_{};
  std::array<std::array<See, kSeeColumns>, kSeeRows> see_{};
  See dummy_see_;
};

}  // namespace lorvante::codecs::ppmd
