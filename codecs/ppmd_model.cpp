#include "codecs/ppmd_model.h"

#include <algorithm>
#include <cstring>

namespace lorvante::codecs::ppmd {

namespace {

constexpr unsigned kMaxFreq = 124;
constexpr unsigned kSymbols = 256;
constexpr std::uint8_t kAllSymbolsCount = kSymbols - 1;  // NumStats of a context of all symbols
constexpr unsigned kRootSummFreq = kSymbols + 1;

// Binary contexts: probabilities of 14 bits, adapted with a period of 2^7.
constexpr unsigned kIntervalBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kTotalBits = 14;
constexpr unsigned kInterval = 1u << kIntervalBits;
constexpr unsigned kBinScale = 1u << kTotalBits;
constexpr unsigned kEscapeShift = 10;  // a probability's top bits choose the initial escape
constexpr std::array<std::uint8_t, 16> kExpEscape = {25, 14, 9, 7, 5, 5, 4, 4,
                                                     4,  3,  3, 3, 2, 2, 2, 2};
constexpr std::array<std::uint16_t, 8> kInitBinEscape = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                                         0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr unsigned kBinColumnStep = 8;
constexpr unsigned kRunLengthSignShift = 26;  // the sign of the run length lands on 0x20

// SEE starts with a shift of 3 (the mean of its sum an eighth), 7 uses before its first doubling.
constexpr unsigned kSeeInitShift = kPeriodBits - 4;
constexpr std::uint8_t kSeeInitCount = 7;
constexpr unsigned kSeeCountFactor = 3;

// Context flags: the escape was rescaled, a symbol of the context is >= 0x40, the symbol that
// led to the context is >= 0x40; the run-length sign joins them in the binary index.
constexpr std::uint8_t kFlagRescaled = 0x04;
constexpr std::uint8_t kFlagHighSymbol = 0x08;
constexpr std::uint8_t kFlagHighPrevious = 0x10;
constexpr std::uint8_t kFlagNegativeRun = 0x20;
constexpr std::uint8_t kHighSymbol = 0x40;

constexpr unsigned kMaxInitialRun = 12;
constexpr unsigned kBinaryFreqLimit = 196;
constexpr unsigned kSuffixFreqLimit = 32;
constexpr unsigned kSuccessorFreqLimit = 24;
constexpr unsigned kFrequencyStep = 4;
constexpr unsigned kCutOffKeepOrder = 9;  // binary contexts up to this order survive a cut
// Frequencies in a shorter context grow by 1 or 2 while below this.
constexpr unsigned kSuffixRaiseLimit = kMaxFreq - 9;
constexpr unsigned kSuffixStep = 2;
// A context aged while the memory ran out is halved when its sum passes this plus 4 per symbol.
constexpr unsigned kAgedSummBase = 128;
constexpr std::uint8_t kDummySeeCount = 64;

// Units of a list of NumStats + 1 states: two states to a unit.
constexpr unsigned ListUnits(unsigned num_stats) {
  return (num_stats + 2) / 2;
}

// The frequency a symbol keeps when its context is left with it alone: about an eighth.
std::uint8_t LoneFrequency(unsigned freq) {
  constexpr unsigned kRound = 11;
  constexpr unsigned kShift = 3;
  return static_cast<std::uint8_t>((freq + kRound) >> kShift);
}

std::uint8_t HighFlag(std::uint8_t symbol, std::uint8_t flag) {
  return symbol >= kHighSymbol ? flag : 0;
}

// The size classes of symbol counts: by the number of symbols (the index is NumStats + 1 or +2),
// and for the binary contexts the class of their suffix.
struct CountTables {
  std::array<std::uint8_t, 260> ns_to_index{};
  std::array<std::uint8_t, 256> ns_to_bin_index{};
};
constexpr CountTables MakeCountTables() {
  CountTables tables;
  constexpr unsigned kIdentity = 5;
  unsigned i = 0;
  for (; i < kIdentity; ++i) tables.ns_to_index[i] = static_cast<std::uint8_t>(i);
  for (unsigned m = i, k = 1; i < tables.ns_to_index.size(); ++i) {
    tables.ns_to_index[i] = static_cast<std::uint8_t>(m);
    if (--k == 0) k = ++m - (kIdentity - 1);
  }
  constexpr unsigned kSmallSuffix = 11;
  tables.ns_to_bin_index[0] = 0;
  tables.ns_to_bin_index[1] = 2;
  for (i = 2; i < kSmallSuffix; ++i) tables.ns_to_bin_index[i] = 4;
  for (; i < tables.ns_to_bin_index.size(); ++i) tables.ns_to_bin_index[i] = 6;
  return tables;
}
constexpr CountTables kCounts = MakeCountTables();
constexpr unsigned kSeeIndexBase = 3;

unsigned Mean(unsigned probability) {
  return (probability + (1u << (kPeriodBits - 2))) >> kPeriodBits;
}

}  // namespace

unsigned Model::SummFreq(std::uint32_t context) const {
  std::uint16_t value;
  std::memcpy(&value, memory_ + context + kContextSummFreq, sizeof value);
  return value;
}
void Model::SetSummFreq(std::uint32_t context, unsigned value) {
  const auto narrow = static_cast<std::uint16_t>(value);
  std::memcpy(memory_ + context + kContextSummFreq, &narrow, sizeof narrow);
}
std::uint32_t Model::Load32(std::uint32_t at) const {
  std::uint32_t value;
  std::memcpy(&value, memory_ + at, sizeof value);
  return value;
}
void Model::Store32(std::uint32_t at, std::uint32_t value) {
  std::memcpy(memory_ + at, &value, sizeof value);
}
Model::State Model::ReadState(std::uint32_t at) const {
  return State{memory_[at], memory_[at + kStateFreq], Load32(at + kStateSuccessor)};
}
void Model::WriteState(std::uint32_t at, const State& state) {
  memory_[at] = state.symbol;
  memory_[at + kStateFreq] = state.freq;
  Store32(at + kStateSuccessor, state.successor);
}
void Model::CopyState(std::uint32_t to, std::uint32_t from) {
  std::memmove(memory_ + to, memory_ + from, kStateSize);
}
void Model::SwapStates(std::uint32_t a, std::uint32_t b) {
  const State first = ReadState(a);
  CopyState(a, b);
  WriteState(b, first);
}

std::uint32_t Model::FindState(std::uint32_t context, std::uint8_t symbol) {
  std::uint32_t state = Stats(context);
  for (unsigned left = NumStats(context); Symbol(state) != symbol; --left) {
    if (left == 0) {
      corrupt_ = true;
      return 0;
    }
    state += kStateSize;
  }
  return state;
}

// ---- Start ----

void Model::Start(unsigned order, Restoration restoration) {
  memory_ = heap_.base();
  max_order_ = order;
  restoration_ = restoration;
  Restart();
  dummy_see_.shift = kPeriodBits;
  dummy_see_.summ = 0;
  dummy_see_.count = kDummySeeCount;
}

void Model::Restart() {
  heap_.Restart();
  order_fall_ = max_order_;
  init_run_length_ = 0u - std::min(max_order_, kMaxInitialRun) - 1;
  run_length_ = init_run_length_;
  prev_success_ = 0;
  escaped_ = false;

  heap_.hi_unit -= kUnitSize;
  min_context_ = max_context_ = heap_.hi_unit;
  SetSuffix(min_context_, 0);
  NumStats(min_context_) = kAllSymbolsCount;
  Flags(min_context_) = 0;
  SetSummFreq(min_context_, kRootSummFreq);
  found_state_ = heap_.lo_unit;
  heap_.lo_unit += kSymbols / 2 * kUnitSize;
  SetStats(min_context_, found_state_);
  for (unsigned symbol = 0; symbol < kSymbols; ++symbol) {
    WriteState(found_state_ + symbol * kStateSize, State{static_cast<std::uint8_t>(symbol), 1, 0});
  }
  InitProbabilities();
}

void Model::InitProbabilities() {
  for (unsigned i = 0, row = 0; row < kBinSummRows; ++row) {
    while (kCounts.ns_to_index[i] == row) ++i;
    for (unsigned k = 0; k < kInitBinEscape.size(); ++k) {
      const auto value = static_cast<std::uint16_t>(kBinScale - kInitBinEscape[k] / (i + 1));
      for (unsigned column = k; column < kBinSummColumns; column += kBinColumnStep) {
        bin_summ_[row][column] = value;
      }
    }
  }
  for (unsigned i = 0, row = 0; row < kSeeRows; ++row) {
    while (kCounts.ns_to_index[i + kSeeIndexBase] == row + kSeeIndexBase) ++i;
    for (See& see : see_[row]) {
      see.shift = kSeeInitShift;
      see.summ = static_cast<std::uint16_t>((2 * i + 5) << see.shift);
      see.count = kSeeInitCount;
    }
  }
}

// ---- Decoding ----

StepResult Model::Step(RangeDecoder& decoder, std::uint8_t& symbol) {
  StepResult result;
  if (escaped_) {
    result = DecodeMasked(decoder, symbol);
  } else if (NumStats(min_context_) != 0) {
    result = DecodeInContext(decoder, symbol);
  } else {
    result = DecodeBinary(decoder, symbol);
  }
  if (corrupt_) return StepResult::kError;
  return result;
}

void Model::StartMask() {
  if (++mask_stamp_ == 0) {
    mask_.fill(0);
    mask_stamp_ = 1;
  }
}

void Model::MaskStates(std::uint32_t context) {
  std::uint32_t state = Stats(context);
  for (unsigned i = 0; i <= NumStats(context); ++i, state += kStateSize) {
    mask_[Symbol(state)] = mask_stamp_;
  }
}

StepResult Model::DecodeInContext(RangeDecoder& decoder, std::uint8_t& symbol) {
  const std::uint32_t context = min_context_;
  const unsigned summ = SummFreq(context);
  std::uint32_t count;
  if (!decoder.Threshold(summ, count)) return StepResult::kError;
  std::uint32_t state = Stats(context);
  unsigned high = Freq(state);
  if (count < high) {
    PrefetchSuccessor(state);
    decoder.Decode(0, high);
    symbol = Symbol(state);
    found_state_ = state;
    UpdateFirst();
    return StepResult::kSymbol;
  }
  prev_success_ = 0;
  for (unsigned i = NumStats(context); i != 0; --i) {
    state += kStateSize;
    high += Freq(state);
    if (high > count) {
      PrefetchSuccessor(state);
      decoder.Decode(high - Freq(state), Freq(state));
      symbol = Symbol(state);
      found_state_ = state;
      UpdateLater();
      return StepResult::kSymbol;
    }
  }
  if (count >= summ) return StepResult::kError;
  decoder.Decode(high, summ - high);
  StartMask();
  MaskStates(context);
  escaped_ = true;
  return StepResult::kEscape;
}

std::uint16_t& Model::BinaryProbability() {
  const std::uint32_t context = min_context_;
  const unsigned row = kCounts.ns_to_index[Freq(OneState(context)) - 1];
  const unsigned column = kCounts.ns_to_bin_index[NumStats(Suffix(context))] + prev_success_ +
                          Flags(context) +
                          ((run_length_ >> kRunLengthSignShift) & kFlagNegativeRun);
  if (row >= kBinSummRows || column >= kBinSummColumns) {
    corrupt_ = true;
    return bin_summ_[0][0];
  }
  return bin_summ_[row][column];
}

StepResult Model::DecodeBinary(RangeDecoder& decoder, std::uint8_t& symbol) {
  const std::uint32_t state = OneState(min_context_);
  // Most often the symbol is the context's one: its successor is fetched while the probability
  // waits for the suffix.
  PrefetchSuccessor(state);
  std::uint16_t& probability = BinaryProbability();
  if (corrupt_) return StepResult::kError;
  const std::uint32_t count = decoder.ThresholdOfBits(kTotalBits);
  if (count < probability) {
    decoder.Decode(0, probability);
    probability = static_cast<std::uint16_t>(probability + kInterval - Mean(probability));
    symbol = Symbol(state);
    found_state_ = state;
    UpdateBinary();
    return StepResult::kSymbol;
  }
  if (count >= kBinScale) return StepResult::kError;
  decoder.Decode(probability, kBinScale - probability);
  probability = static_cast<std::uint16_t>(probability - Mean(probability));
  init_escape_ = kExpEscape[probability >> kEscapeShift];
  StartMask();
  mask_[Symbol(state)] = mask_stamp_;
  prev_success_ = 0;
  escaped_ = true;
  return StepResult::kEscape;
}

Model::See& Model::EscapeEstimate(unsigned masked, std::uint32_t& escape_freq) {
  const std::uint32_t context = min_context_;
  const unsigned ns = NumStats(context);
  if (ns == kAllSymbolsCount) {
    escape_freq = 1;
    return dummy_see_;
  }
  constexpr unsigned kSummFactor = 11;
  const unsigned column = (SummFreq(context) > kSummFactor * (ns + 1) ? 1 : 0) +
                          (2 * ns < NumStats(Suffix(context)) + masked ? 2 : 0) + Flags(context);
  const unsigned row = kCounts.ns_to_index[ns + 2] - kSeeIndexBase;
  if (row >= kSeeRows || column >= kSeeColumns) {
    corrupt_ = true;
    escape_freq = 1;
    return dummy_see_;
  }
  See& see = see_[row][column];
  const unsigned mean = see.summ >> see.shift;
  see.summ = static_cast<std::uint16_t>(see.summ - mean);
  escape_freq = mean + (mean == 0 ? 1 : 0);
  return see;
}

void Model::UpdateSee(See& see) {
  if (see.shift < kPeriodBits && --see.count == 0) {
    see.summ = static_cast<std::uint16_t>(see.summ << 1);
    see.count = static_cast<std::uint8_t>(kSeeCountFactor << see.shift++);
  }
}

StepResult Model::DecodeMasked(RangeDecoder& decoder, std::uint8_t& symbol) {
  const unsigned masked = NumStats(min_context_);
  std::uint32_t context = min_context_;
  do {
    ++order_fall_;
    context = Suffix(context);
    if (context == 0) return StepResult::kEndMark;
  } while (NumStats(context) == masked);
  min_context_ = context;

  // The symbols not yet excluded, and their frequencies.
  std::array<std::uint32_t, kSymbols> candidates;
  unsigned candidate_count = 0;
  std::uint32_t high = 0;
  std::uint32_t state = Stats(context);
  const unsigned last = NumStats(context);
  const std::uint8_t stamp = mask_stamp_;
  const std::uint8_t* const memory = memory_;
  // Without a branch on the mask, which follows no pattern: every state is written, and kept
  // by counting it when it is not masked.
  for (unsigned i = 0; i <= last; ++i, state += kStateSize) {
    const unsigned open = mask_[memory[state]] != stamp ? 1 : 0;
    high += memory[state + kStateFreq] * open;
    candidates[candidate_count] = state;
    candidate_count += open;
  }
  std::uint32_t escape_freq;
  See& see = EscapeEstimate(masked, escape_freq);
  const std::uint32_t total = high + escape_freq;
  std::uint32_t count;
  if (!decoder.Threshold(total, count)) return StepResult::kError;
  if (count < high) {
    std::uint32_t sum = 0;
    unsigned at = 0;
    for (;; ++at) {
      sum += Freq(candidates[at]);
      if (sum > count) break;
    }
    state = candidates[at];
    PrefetchSuccessor(state);
    decoder.Decode(sum - Freq(state), Freq(state));
    UpdateSee(see);
    symbol = Symbol(state);
    found_state_ = state;
    escaped_ = false;
    UpdateAfterEscape();
    return StepResult::kSymbol;
  }
  if (count >= total) return StepResult::kError;
  decoder.Decode(high, total - high);
  see.summ = static_cast<std::uint16_t>(see.summ + total);
  for (unsigned i = 0; i < candidate_count; ++i) mask_[Symbol(candidates[i])] = mask_stamp_;
  return StepResult::kEscape;
}

// ---- Updates after a symbol ----

void Model::UpdateFirst() {
  prev_success_ = 2u * Freq(found_state_) >= SummFreq(min_context_) ? 1 : 0;
  run_length_ += prev_success_;
  SetSummFreq(min_context_, SummFreq(min_context_) + kFrequencyStep);
  Freq(found_state_) = static_cast<std::uint8_t>(Freq(found_state_) + kFrequencyStep);
  if (Freq(found_state_) > kMaxFreq) Rescale();
  NextContext();
}

void Model::UpdateLater() {
  std::uint32_t state = found_state_;
  Freq(state) = static_cast<std::uint8_t>(Freq(state) + kFrequencyStep);
  SetSummFreq(min_context_, SummFreq(min_context_) + kFrequencyStep);
  if (Freq(state) > Freq(state - kStateSize)) {
    SwapStates(state, state - kStateSize);
    found_state_ = state -= kStateSize;
    if (Freq(state) > kMaxFreq) Rescale();
  }
  NextContext();
}

void Model::UpdateBinary() {
  if (Freq(found_state_) < kBinaryFreqLimit) ++Freq(found_state_);
  prev_success_ = 1;
  ++run_length_;
  NextContext();
}

void Model::UpdateAfterEscape() {
  SetSummFreq(min_context_, SummFreq(min_context_) + kFrequencyStep);
  Freq(found_state_) = static_cast<std::uint8_t>(Freq(found_state_) + kFrequencyStep);
  if (Freq(found_state_) > kMaxFreq) Rescale();
  run_length_ = init_run_length_;
  UpdateModel();
  min_context_ = max_context_;
}

void Model::NextContext() {
  const std::uint32_t successor = Successor(found_state_);
  if (order_fall_ == 0 && successor >= heap_.units_start) {
    min_context_ = max_context_ = successor;
  } else {
    UpdateModel();
    min_context_ = max_context_;
  }
}

// Halves the frequencies of the context (the found symbol first, the list sorted again), drops
// the symbols left at zero, and moves the found symbol to the front.
void Model::Rescale() {
  const std::uint32_t context = min_context_;
  const std::uint32_t stats = Stats(context);
  std::uint32_t state = found_state_;
  if (state != stats) {
    const State found = ReadState(state);
    for (; state != stats; state -= kStateSize) CopyState(state, state - kStateSize);
    WriteState(state, found);
  }
  unsigned escape_freq = SummFreq(context) - Freq(state);
  const unsigned adder = order_fall_ != 0 ? 1 : 0;
  Freq(state) = static_cast<std::uint8_t>((Freq(state) + kFrequencyStep + adder) >> 1);
  unsigned sum_freq = Freq(state);
  for (unsigned i = NumStats(context); i != 0; --i) {
    state += kStateSize;
    escape_freq -= Freq(state);
    Freq(state) = static_cast<std::uint8_t>((Freq(state) + adder) >> 1);
    sum_freq += Freq(state);
    if (Freq(state) > Freq(state - kStateSize)) {
      const State moved = ReadState(state);
      std::uint32_t at = state;
      do {
        CopyState(at, at - kStateSize);
        at -= kStateSize;
      } while (at != stats && moved.freq > Freq(at - kStateSize));
      WriteState(at, moved);
    }
  }
  if (Freq(state) == 0) {
    const unsigned old_count = NumStats(context);
    unsigned zeros = 0;
    do {
      ++zeros;
      state -= kStateSize;
    } while (Freq(state) == 0);
    escape_freq += zeros;
    NumStats(context) = static_cast<std::uint8_t>(NumStats(context) - zeros);
    if (NumStats(context) == 0) {
      State only = ReadState(stats);
      only.freq = static_cast<std::uint8_t>(
          std::min((2 * only.freq + escape_freq - 1) / escape_freq, kMaxFreq / 3));
      heap_.FreeUnits(stats, ListUnits(old_count));
      Flags(context) = static_cast<std::uint8_t>((Flags(context) & kFlagHighPrevious) +
                                                 HighFlag(only.symbol, kFlagHighSymbol));
      found_state_ = OneState(context);
      WriteState(found_state_, only);
      return;
    }
    const unsigned old_units = ListUnits(old_count);
    const unsigned new_units = ListUnits(NumStats(context));
    if (old_units != new_units) SetStats(context, heap_.ShrinkUnits(stats, old_units, new_units));
    std::uint8_t flags = Flags(context) & static_cast<std::uint8_t>(~kFlagHighSymbol);
    std::uint32_t each = Stats(context);
    for (unsigned i = 0; i <= NumStats(context); ++i, each += kStateSize) {
      flags |= HighFlag(Symbol(each), kFlagHighSymbol);
    }
    Flags(context) = flags;
  }
  SetSummFreq(context, sum_freq + escape_freq - (escape_freq >> 1));
  Flags(context) |= kFlagRescaled;
  found_state_ = Stats(context);
}

// ---- Growth ----

std::uint32_t Model::CreateSuccessors(bool skip, std::uint32_t suffix_state,
                                      std::uint32_t context) {
  const std::uint32_t up_branch = Successor(found_state_);
  const std::uint8_t found_symbol = Symbol(found_state_);
  std::array<std::uint32_t, kMaxOrder + 1> states{};
  unsigned count = 0;
  if (!skip) states[count++] = found_state_;

  while (Suffix(context) != 0) {
    context = Suffix(context);
    std::uint32_t state;
    if (suffix_state != 0) {
      state = suffix_state;
      suffix_state = 0;
    } else if (NumStats(context) != 0) {
      state = FindState(context, found_symbol);
      if (state == 0) return 0;
      if (Freq(state) < kSuffixRaiseLimit) {
        ++Freq(state);
        SetSummFreq(context, SummFreq(context) + 1);
      }
    } else {
      state = OneState(context);
      if (NumStats(Suffix(context)) == 0 && Freq(state) < kSuccessorFreqLimit) ++Freq(state);
    }
    const std::uint32_t successor = Successor(state);
    if (successor != up_branch) {
      context = successor;
      if (count == 0) return context;
      break;
    }
    if (count == states.size()) {
      corrupt_ = true;
      return 0;
    }
    states[count++] = state;
  }

  const std::uint8_t up_symbol = memory_[up_branch];
  const std::uint32_t up_successor = up_branch + 1;
  const auto flags = static_cast<std::uint8_t>(HighFlag(found_symbol, kFlagHighPrevious) +
                                               HighFlag(up_symbol, kFlagHighSymbol));
  std::uint8_t up_freq;
  if (NumStats(context) == 0) {
    up_freq = Freq(OneState(context));
  } else {
    const std::uint32_t state = FindState(context, up_symbol);
    if (state == 0) return 0;
    const std::uint32_t cf = Freq(state) - 1u;
    const std::uint32_t s0 = SummFreq(context) - NumStats(context) - cf;
    if (s0 == 0) {
      corrupt_ = true;
      return 0;
    }
    const std::uint32_t extra = 2 * cf <= s0 ? (5 * cf > s0 ? 1 : 0) : (cf + 2 * s0 - 3) / s0;
    up_freq = static_cast<std::uint8_t>(1 + extra);
  }

  do {
    const std::uint32_t child = heap_.AllocContext();
    if (child == 0) return 0;
    NumStats(child) = 0;
    Flags(child) = flags;
    WriteState(OneState(child), State{up_symbol, up_freq, up_successor});
    SetSuffix(child, context);
    SetSuccessor(states[--count], child);
    context = child;
  } while (count != 0);
  return context;
}

// The found symbol had no successor: the text position becomes the successor of the contexts
// above, up to one that has a successor of its own.
std::uint32_t Model::ReduceOrder(std::uint32_t suffix_state, std::uint32_t context) {
  const std::uint32_t first = context;
  const std::uint32_t up_branch = heap_.text;
  const std::uint8_t found_symbol = Symbol(found_state_);
  std::uint32_t state = 0;
  SetSuccessor(found_state_, up_branch);
  ++order_fall_;
  for (;;) {
    if (suffix_state != 0) {
      context = Suffix(context);
      state = suffix_state;
      suffix_state = 0;
    } else {
      if (Suffix(context) == 0) return context;
      context = Suffix(context);
      if (NumStats(context) != 0) {
        state = FindState(context, found_symbol);
        if (state == 0) return 0;
        if (Freq(state) < kSuffixRaiseLimit) {
          Freq(state) = static_cast<std::uint8_t>(Freq(state) + kSuffixStep);
          SetSummFreq(context, SummFreq(context) + kSuffixStep);
        }
      } else {
        state = OneState(context);
        if (Freq(state) < kSuffixFreqLimit) ++Freq(state);
      }
    }
    if (Successor(state) != 0) break;
    SetSuccessor(state, up_branch);
    ++order_fall_;
  }
  if (Successor(state) <= up_branch) {
    const std::uint32_t found = found_state_;
    found_state_ = state;
    SetSuccessor(state, CreateSuccessors(false, 0, context));
    found_state_ = found;
  }
  if (order_fall_ == 1 && first == max_context_) {
    SetSuccessor(found_state_, Successor(state));
    --heap_.text;
  }
  return Successor(state);
}

void Model::UpdateModel() {
  const std::uint32_t found = found_state_;
  const std::uint8_t found_symbol = Symbol(found);
  const unsigned found_freq = Freq(found);
  std::uint32_t found_successor = Successor(found);
  std::uint32_t suffix_state = 0;

  if (found_freq < kMaxFreq / 4 && Suffix(min_context_) != 0) {
    const std::uint32_t suffix = Suffix(min_context_);
    if (NumStats(suffix) == 0) {
      suffix_state = OneState(suffix);
      if (Freq(suffix_state) < kSuffixFreqLimit) ++Freq(suffix_state);
    } else {
      suffix_state = FindState(suffix, found_symbol);
      if (suffix_state == 0) return;
      if (suffix_state != Stats(suffix) && Freq(suffix_state) >= Freq(suffix_state - kStateSize)) {
        SwapStates(suffix_state, suffix_state - kStateSize);
        suffix_state -= kStateSize;
      }
      if (Freq(suffix_state) < kSuffixRaiseLimit) {
        Freq(suffix_state) = static_cast<std::uint8_t>(Freq(suffix_state) + kSuffixStep);
        SetSummFreq(suffix, SummFreq(suffix) + kSuffixStep);
      }
    }
  }

  std::uint32_t context = max_context_;
  if (order_fall_ == 0 && found_successor != 0) {
    const std::uint32_t created = CreateSuccessors(true, suffix_state, min_context_);
    if (created == 0) {
      SetSuccessor(found_state_, 0);
      RestoreModel(context);
      return;
    }
    SetSuccessor(found_state_, created);
    max_context_ = created;
    return;
  }

  memory_[heap_.text++] = found_symbol;
  std::uint32_t successor = heap_.text;
  if (heap_.text >= heap_.units_start) {
    RestoreModel(context);
    return;
  }
  if (found_successor == 0) {
    found_successor = ReduceOrder(suffix_state, min_context_);
    if (found_successor == 0) {
      RestoreModel(context);
      return;
    }
  } else if (found_successor < heap_.units_start) {
    found_successor = CreateSuccessors(false, suffix_state, min_context_);
    if (found_successor == 0) {
      RestoreModel(context);
      return;
    }
  }
  if (--order_fall_ == 0) {
    successor = found_successor;
    if (max_context_ != min_context_) --heap_.text;
  }

  const unsigned ns = NumStats(min_context_);
  const std::uint32_t s0 = SummFreq(min_context_) - ns - found_freq;
  const std::uint8_t flag = HighFlag(found_symbol, kFlagHighSymbol);
  for (; context != min_context_; context = Suffix(context)) {
    const unsigned ns1 = NumStats(context);
    if (ns1 != 0) {
      if ((ns1 & 1) != 0) {
        const std::uint32_t stats = heap_.ExpandUnits(Stats(context), (ns1 + 1) >> 1);
        if (stats == 0) {
          RestoreModel(context);
          return;
        }
        SetStats(context, stats);
      }
      SetSummFreq(context, SummFreq(context) + (3 * ns1 + 1 < ns ? 1 : 0));
    } else {
      const std::uint32_t stats = heap_.AllocUnits(0);
      if (stats == 0) {
        RestoreModel(context);
        return;
      }
      CopyState(stats, OneState(context));
      SetStats(context, stats);
      if (Freq(stats) < kMaxFreq / 4 - 1) {
        Freq(stats) = static_cast<std::uint8_t>(Freq(stats) * 2);
      } else {
        Freq(stats) = kMaxFreq - 4;
      }
      SetSummFreq(context, Freq(stats) + init_escape_ + (ns > 2 ? 1 : 0));
    }
    std::uint32_t cf = 2 * found_freq * (SummFreq(context) + 6);
    const std::uint32_t sf = s0 + SummFreq(context);
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf ? 1 : 0) + (cf >= 4 * sf ? 1 : 0);
      SetSummFreq(context, SummFreq(context) + kFrequencyStep);
    } else {
      cf = 4 + (cf > 9 * sf ? 1 : 0) + (cf > 12 * sf ? 1 : 0) + (cf > 15 * sf ? 1 : 0);
      SetSummFreq(context, SummFreq(context) + cf);
    }
    const std::uint32_t added = Stats(context) + (ns1 + 1) * kStateSize;
    WriteState(added, State{found_symbol, static_cast<std::uint8_t>(cf), successor});
    Flags(context) |= flag;
    NumStats(context) = static_cast<std::uint8_t>(ns1 + 1);
  }
  max_context_ = min_context_ = found_successor;
}

// ---- Full memory ----

void Model::RestoreModel(std::uint32_t failed_at) {
  if (restoration_ == Restoration::kRestart) {
    Restart();
    return;
  }
  heap_.text = heap_.text_start();
  // The contexts that took the symbol before memory ran out give it back ...
  std::uint32_t context = max_context_;
  for (; context != failed_at; context = Suffix(context)) {
    if (--NumStats(context) == 0) {
      const std::uint32_t stats = Stats(context);
      Flags(context) = static_cast<std::uint8_t>((Flags(context) & kFlagHighPrevious) +
                                                 HighFlag(Symbol(stats), kFlagHighSymbol));
      CopyState(OneState(context), stats);
      heap_.FreeSingleUnit(stats);
      Freq(OneState(context)) = LoneFrequency(Freq(OneState(context)));
    } else {
      Refresh(context, ListUnits(NumStats(context) + 1u), 0);
    }
  }
  // ... the others age.
  for (; context != min_context_; context = Suffix(context)) {
    if (NumStats(context) == 0) {
      Freq(OneState(context)) -= Freq(OneState(context)) >> 1;
    } else {
      SetSummFreq(context, SummFreq(context) + kFrequencyStep);
      if (SummFreq(context) > kAgedSummBase + kFrequencyStep * NumStats(context)) {
        Refresh(context, ListUnits(NumStats(context)), 1);
      }
    }
  }
  if (heap_.UsedMemory() < (heap_.size() >> 1)) {  // less than half in use: little to keep
    Restart();
    return;
  }
  while (Suffix(max_context_) != 0) max_context_ = Suffix(max_context_);
  do {
    CutOff(max_context_, 0);
    heap_.ExpandTextArea();
  } while (heap_.UsedMemory() > 3 * (heap_.size() >> 2));  // until a quarter is free
  heap_.ResetGlue();
  order_fall_ = max_order_;
  min_context_ = max_context_;
}

void Model::Refresh(std::uint32_t context, unsigned old_units, unsigned scale) {
  unsigned i = NumStats(context);
  std::uint32_t state = heap_.ShrinkUnits(Stats(context), old_units, ListUnits(i));
  SetStats(context, state);
  unsigned flags = (Flags(context) & (kFlagHighPrevious + kFlagRescaled * scale)) +
                   HighFlag(Symbol(state), kFlagHighSymbol);
  unsigned escape_freq = SummFreq(context) - Freq(state);
  Freq(state) = static_cast<std::uint8_t>((Freq(state) + scale) >> scale);
  unsigned sum_freq = Freq(state);
  do {
    state += kStateSize;
    escape_freq -= Freq(state);
    Freq(state) = static_cast<std::uint8_t>((Freq(state) + scale) >> scale);
    sum_freq += Freq(state);
    flags |= HighFlag(Symbol(state), kFlagHighSymbol);
  } while (--i != 0);
  SetSummFreq(context, sum_freq + ((escape_freq + scale) >> scale));
  Flags(context) = static_cast<std::uint8_t>(flags);
}

// The walks of the whole model wait on one context after another: the successors of a list are
// asked for at once, so that their reads overlap.
void Model::PrefetchSuccessors(std::uint32_t context) const {
  std::uint32_t state = Stats(context);
  for (unsigned i = 0; i <= memory_[context]; ++i, state += kStateSize) {
    const std::uint32_t successor = Successor(state);
    if (successor >= heap_.units_start) Prefetch(successor);
  }
}

// Drops the symbols whose successor is no context (and past the model's order, the successors),
// the binary contexts left without successor above a low order, and the contexts left empty.
std::uint32_t Model::CutOff(std::uint32_t context, unsigned order) {
  if (NumStats(context) == 0) {
    const std::uint32_t state = OneState(context);
    if (Successor(state) >= heap_.units_start) {
      SetSuccessor(state, order < max_order_ ? CutOff(Successor(state), order + 1) : 0);
      if (Successor(state) != 0 || order <= kCutOffKeepOrder) return context;
    }
    heap_.FreeSingleUnit(context);
    return 0;
  }
  const unsigned units = ListUnits(NumStats(context));
  SetStats(context, heap_.MoveUnitsToTop(Stats(context), units));
  const std::uint32_t stats = Stats(context);
  if (order < max_order_) PrefetchSuccessors(context);
  int kept = NumStats(context);
  for (int at = kept; at >= 0; --at) {
    const std::uint32_t state = stats + static_cast<std::uint32_t>(at) * kStateSize;
    if (Successor(state) < heap_.units_start) {
      const std::uint32_t last = stats + static_cast<std::uint32_t>(kept--) * kStateSize;
      SetSuccessor(state, 0);
      SwapStates(state, last);
    } else if (order < max_order_) {
      SetSuccessor(state, CutOff(Successor(state), order + 1));
    } else {
      SetSuccessor(state, 0);
    }
  }
  if (kept != NumStats(context) && order != 0) {
    NumStats(context) = static_cast<std::uint8_t>(kept);
    if (kept < 0) {
      heap_.FreeUnits(stats, units);
      heap_.FreeSingleUnit(context);
      return 0;
    }
    if (kept == 0) {
      Flags(context) = static_cast<std::uint8_t>((Flags(context) & kFlagHighPrevious) +
                                                 HighFlag(Symbol(stats), kFlagHighSymbol));
      CopyState(OneState(context), stats);
      heap_.FreeUnits(stats, units);
      Freq(OneState(context)) = LoneFrequency(Freq(OneState(context)));
    } else {
      constexpr unsigned kHalveAbove = 16;
      Refresh(context, units,
              SummFreq(context) > kHalveAbove * static_cast<unsigned>(kept) ? 1 : 0);
    }
  }
  return context;
}

}  // namespace lorvante::codecs::ppmd
