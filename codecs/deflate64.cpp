// The Deflate64 inflater. Decoded bytes go into a 64 KiB circular window, which is both the
// history that matches copy from and the staging area from which the caller's output is filled,
// so input and output may come in pieces of any size. Each step of the stream (a block header,
// a literal, a length, a distance) is taken whole or not at all: when the input runs out in the
// middle of one, its bits stay in the bit buffer and the step is taken again on the next call.
#include "codecs/deflate64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <vector>

#include "codecs/huffman_table.h"

namespace lorvante::codecs {

namespace {

constexpr std::size_t kWindowSize = std::size_t{1} << 16;
constexpr std::size_t kWindowMask = kWindowSize - 1;

constexpr unsigned kLiteralLengthRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;

// Matches up to this length are copied byte by byte rather than through memmove.
constexpr std::size_t kShortMatch = 32;

constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kFirstLengthSymbol = 257;
constexpr unsigned kMaxLiteralLengthCodes = 286;
constexpr unsigned kMaxDistanceCodes = 32;
constexpr unsigned kCodeLengthCodes = 19;
constexpr unsigned kFixedLiteralLengthCodes = 288;

enum BlockType : unsigned { kStored = 0, kFixed = 1, kDynamic = 2 };

struct CodeBase {
  std::uint32_t base;
  std::uint8_t extra_bits;
};

// Symbols 257 to 285. Deflate64 differs from deflate in the last: base 3 with 16 extra bits.
constexpr std::array<CodeBase, 29> kLengthCodes = {{
    {3, 0},  {4, 0},  {5, 0},  {6, 0},   {7, 0},   {8, 0},   {9, 0},   {10, 0},  {11, 1}, {13, 1},
    {15, 1}, {17, 1}, {19, 2}, {23, 2},  {27, 2},  {31, 2},  {35, 3},  {43, 3},  {51, 3}, {59, 3},
    {67, 4}, {83, 4}, {99, 4}, {115, 4}, {131, 5}, {163, 5}, {195, 5}, {227, 5}, {3, 16},
}};

// Distance symbols 0 to 31; 30 and 31 reach back to the whole 64 KiB window.
constexpr std::array<CodeBase, kMaxDistanceCodes> kDistanceCodes = {{
    {1, 0},      {2, 0},      {3, 0},      {4, 0},      {5, 1},     {7, 1},     {9, 2},
    {13, 2},     {17, 3},     {25, 3},     {33, 4},     {49, 4},    {65, 5},    {97, 5},
    {129, 6},    {193, 6},    {257, 7},    {385, 7},    {513, 8},   {769, 8},   {1025, 9},
    {1537, 9},   {2049, 10},  {3073, 10},  {4097, 11},  {6145, 11}, {8193, 12}, {12289, 12},
    {16385, 13}, {24577, 13}, {32769, 14}, {49153, 14},
}};

// The order in which a dynamic block sends the code lengths of the code-length alphabet.
constexpr std::array<std::uint8_t, kCodeLengthCodes> kCodeLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Code-length symbols 16 (repeat the previous length), 17 and 18 (repeat zero).
constexpr unsigned kRepeatPrevious = 16;
constexpr unsigned kRepeatZeroShort = 17;
constexpr unsigned kRepeatZeroLong = 18;

constexpr std::uint64_t LowBits(unsigned count) {
  return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
  std::uint64_t word = 0;
  for (int i = 7; i >= 0; --i) word = (word << 8) | p[i];
  return word;
}

// Appends `length` bytes at `pos` of the circular window, copied from `distance` back; returns
// the position after them.
std::size_t CopyInWindow(std::uint8_t* window, std::size_t pos, std::size_t distance,
                         std::size_t length) {
  const std::size_t start = (pos - distance) & kWindowMask;
  if (length <= kShortMatch && start + length <= kWindowSize && pos + length <= kWindowSize) {
    // Most matches are short: byte by byte, forward, which is right for overlapping ones too.
    for (std::size_t i = 0; i < length; ++i) window[pos + i] = window[start + i];
    return (pos + length) & kWindowMask;
  }
  while (length > 0) {
    const std::size_t from = (pos - distance) & kWindowMask;
    const std::size_t count = std::min({length, kWindowSize - from, kWindowSize - pos});
    std::uint8_t* to = window + pos;
    const std::uint8_t* source = window + from;
    if (distance >= count) {
      // Apart, or the source ahead of the destination in the circle (read before written).
      std::memmove(to, source, count);
    } else if (distance == 1) {
      std::memset(to, *source, count);
    } else {
      // The match overlaps itself: copy it one period at a time.
      for (std::size_t done = 0; done < count; done += distance) {
        std::memcpy(to + done, source + done, std::min(distance, count - done));
      }
    }
    pos = (pos + count) & kWindowMask;
    length -= count;
  }
  return pos;
}

class Deflate64Decoder final : public Decoder {
 public:
  Deflate64Decoder();
  DecodeStep Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) override;

 private:
  enum class Mode {
    kBlockHeader,
    kStoredLengths,
    kStoredCopy,
    kTableSizes,
    kCodeLengthCodeLengths,
    kCodeLengths,
    kLiteralOrLength,
    kDistance,
    kCopy,
    kDone,
    kError,
  };
  // What stopped a run of steps.
  enum class Stop { kNeedInput, kNeedRoom, kStreamEnd, kError };

  DecodeStatus Pump();
  Stop Run();
  // One step of each mode; nullopt to go on with the next.
  std::optional<Stop> ReadBlockHeader();
  std::optional<Stop> ReadStoredLengths();
  std::optional<Stop> CopyStored();
  std::optional<Stop> ReadTableSizes();
  std::optional<Stop> ReadCodeLengthCodeLengths();
  std::optional<Stop> ReadCodeLengths();
  std::optional<Stop> DecodeLiteralsAndLengths();
  // Literals and matches while the input holds 8 bytes ahead and the run has room: the common
  // case, kept tight. Leaves the rest (block end, input or room running short, errors in codes)
  // to the step by step way, with `mode_` where the stream stands; false on a distance before
  // the start of the output.
  bool DecodeFast();
  std::optional<Stop> DecodeDistance();
  std::optional<Stop> CopyMatch();

  // The bit buffer: `count` bits at least, loaded from the input; false when it ran out first.
  bool Need(unsigned count);
  std::uint32_t Take(unsigned count) {
    const auto value = static_cast<std::uint32_t>(bits_ & LowBits(count));
    Drop(count);
    return value;
  }
  void Drop(unsigned count) {
    bits_ >>= count;
    bit_count_ -= count;
  }
  // Looks up the next code of `table` without taking it. nullopt when `entry` holds a symbol.
  std::optional<Stop> PeekSymbol(const HuffmanTable& table, HuffmanEntry& entry);
  // Gives the whole bytes of the bit buffer loaded during this call back to the input.
  void ReturnUnusedBytes();

  // The window: appends, and hands pending bytes on to the output.
  void Put(std::uint8_t byte) {
    window_[write_pos_] = byte;
    write_pos_ = (write_pos_ + 1) & kWindowMask;
    ++pending_;
    --budget_;
    ++total_written_;
  }
  void CopyFromWindow(std::size_t distance, std::size_t length);
  void Deliver();

  std::vector<std::uint8_t> window_;
  std::size_t write_pos_ = 0;
  std::size_t pending_ = 0;  // bytes of the window not yet delivered to the output
  std::size_t budget_ = 0;   // bytes the current run may still write to the window
  std::uint64_t total_written_ = 0;

  std::uint64_t bits_ = 0;  // bits not yet used, the next at bit 0; the rest are zero
  unsigned bit_count_ = 0;

  // The current call's input and output.
  const std::uint8_t* in_ = nullptr;
  const std::uint8_t* in_end_ = nullptr;
  std::size_t loaded_ = 0;  // bytes moved from `in_` into the bit buffer during this call
  std::uint8_t* out_ = nullptr;
  std::size_t out_left_ = 0;

  Mode mode_ = Mode::kBlockHeader;
  bool last_block_ = false;
  std::size_t stored_left_ = 0;
  unsigned literal_length_codes_ = 0;
  unsigned distance_codes_ = 0;
  unsigned code_length_code_lengths_ = 0;
  unsigned lengths_read_ = 0;
  std::array<std::uint8_t, kCodeLengthCodes> code_length_lengths_{};
  std::array<std::uint8_t, kMaxLiteralLengthCodes + kMaxDistanceCodes> lengths_{};
  std::size_t copy_length_ = 0;
  std::size_t copy_distance_ = 0;

  HuffmanTable fixed_literal_length_;
  HuffmanTable fixed_distance_;
  HuffmanTable code_length_table_;
  HuffmanTable dynamic_literal_length_;
  HuffmanTable dynamic_distance_;
  const HuffmanTable* literal_length_ = nullptr;
  const HuffmanTable* distance_ = nullptr;
};

Deflate64Decoder::Deflate64Decoder() : window_(kWindowSize) {
  std::array<std::uint8_t, kFixedLiteralLengthCodes> literal_length{};
  std::fill(literal_length.begin(), literal_length.begin() + 144, 8);
  std::fill(literal_length.begin() + 144, literal_length.begin() + 256, 9);
  std::fill(literal_length.begin() + 256, literal_length.begin() + 280, 7);
  std::fill(literal_length.begin() + 280, literal_length.end(), 8);
  fixed_literal_length_.Build(literal_length, kLiteralLengthRootBits,
                              HuffmanTable::Completeness::kComplete);
  std::array<std::uint8_t, kMaxDistanceCodes> distance{};
  distance.fill(5);
  fixed_distance_.Build(distance, kDistanceRootBits, HuffmanTable::Completeness::kComplete);
}

DecodeStep Deflate64Decoder::Decode(std::span<const std::uint8_t> input,
                                    std::span<std::uint8_t> output) {
  in_ = input.data();
  in_end_ = input.data() + input.size();
  loaded_ = 0;
  out_ = output.data();
  out_left_ = output.size();
  const DecodeStatus status = Pump();
  return {static_cast<std::size_t>(in_ - input.data()), output.size() - out_left_, status};
}

DecodeStatus Deflate64Decoder::Pump() {
  for (;;) {
    Deliver();
    if (mode_ == Mode::kError) return DecodeStatus::kDataError;
    if (pending_ > 0) {
      ReturnUnusedBytes();
      return DecodeStatus::kOk;
    }
    if (mode_ == Mode::kDone) {
      ReturnUnusedBytes();
      return DecodeStatus::kStreamEnd;
    }
    budget_ = std::min(out_left_, kWindowSize);
    switch (Run()) {
      case Stop::kNeedInput:
        // The step in progress needs every bit the buffer holds, and more.
        Deliver();
        return DecodeStatus::kOk;
      case Stop::kNeedRoom:
        if (out_left_ == 0) {
          ReturnUnusedBytes();
          return DecodeStatus::kOk;
        }
        break;  // the window was full: deliver it and go on
      case Stop::kStreamEnd:
        mode_ = Mode::kDone;
        break;
      case Stop::kError:
        mode_ = Mode::kError;
        break;
    }
  }
}

Deflate64Decoder::Stop Deflate64Decoder::Run() {
  for (;;) {
    std::optional<Stop> stop;
    switch (mode_) {
      case Mode::kBlockHeader:
        stop = ReadBlockHeader();
        break;
      case Mode::kStoredLengths:
        stop = ReadStoredLengths();
        break;
      case Mode::kStoredCopy:
        stop = CopyStored();
        break;
      case Mode::kTableSizes:
        stop = ReadTableSizes();
        break;
      case Mode::kCodeLengthCodeLengths:
        stop = ReadCodeLengthCodeLengths();
        break;
      case Mode::kCodeLengths:
        stop = ReadCodeLengths();
        break;
      case Mode::kLiteralOrLength:
        stop = DecodeLiteralsAndLengths();
        break;
      case Mode::kDistance:
        stop = DecodeDistance();
        break;
      case Mode::kCopy:
        stop = CopyMatch();
        break;
      case Mode::kDone:
        return Stop::kStreamEnd;
      case Mode::kError:
        return Stop::kError;
    }
    if (stop) return *stop;
  }
}

bool Deflate64Decoder::Need(unsigned count) {
  while (bit_count_ < count) {
    if (in_end_ - in_ >= 8) {
      // Fill the buffer to 56 bits or more with one load.
      bits_ |= LoadLittleEndian64(in_) << bit_count_;
      const unsigned bytes = (63 - bit_count_) / 8;
      in_ += bytes;
      loaded_ += bytes;
      bit_count_ += 8 * bytes;
      bits_ &= LowBits(bit_count_);
    } else if (in_ < in_end_) {
      bits_ |= std::uint64_t{*in_++} << bit_count_;
      ++loaded_;
      bit_count_ += 8;
    } else {
      return false;
    }
  }
  return true;
}

void Deflate64Decoder::ReturnUnusedBytes() {
  // Between steps, whole bytes in the buffer were all loaded during this call (a step left
  // unfinished by an earlier call used up its bits first), so they are the last ones taken.
  const std::size_t bytes = std::min<std::size_t>(bit_count_ / 8, loaded_);
  in_ -= bytes;
  loaded_ -= bytes;
  bit_count_ -= static_cast<unsigned>(8 * bytes);
  bits_ &= LowBits(bit_count_);
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::PeekSymbol(const HuffmanTable& table,
                                                                   HuffmanEntry& entry) {
  for (;;) {
    entry = table.Lookup(bits_);
    if (entry.length <= bit_count_) {
      if (entry.kind == HuffmanEntry::kInvalid) return Stop::kError;
      return std::nullopt;
    }
    if (!Need(bit_count_ + 1)) return Stop::kNeedInput;
  }
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::ReadBlockHeader() {
  if (!Need(3)) return Stop::kNeedInput;
  last_block_ = Take(1) != 0;
  switch (Take(2)) {
    case kStored:
      Drop(bit_count_ % 8);  // a stored block starts at a byte boundary
      mode_ = Mode::kStoredLengths;
      return std::nullopt;
    case kFixed:
      literal_length_ = &fixed_literal_length_;
      distance_ = &fixed_distance_;
      mode_ = Mode::kLiteralOrLength;
      return std::nullopt;
    case kDynamic:
      mode_ = Mode::kTableSizes;
      return std::nullopt;
    default:
      return Stop::kError;
  }
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::ReadStoredLengths() {
  if (!Need(32)) return Stop::kNeedInput;
  const std::uint32_t length = Take(16);
  const std::uint32_t complement = Take(16);
  if ((length ^ complement) != 0xFFFF) return Stop::kError;
  stored_left_ = length;
  mode_ = Mode::kStoredCopy;
  return std::nullopt;
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::CopyStored() {
  // Whole bytes already in the bit buffer come first, then the input is copied as it is.
  while (stored_left_ > 0 && bit_count_ >= 8) {
    if (budget_ == 0) return Stop::kNeedRoom;
    Put(static_cast<std::uint8_t>(Take(8)));
    --stored_left_;
  }
  while (stored_left_ > 0) {
    if (budget_ == 0) return Stop::kNeedRoom;
    if (in_ == in_end_) return Stop::kNeedInput;
    const std::size_t count = std::min(
        {stored_left_, budget_, kWindowSize - write_pos_, static_cast<std::size_t>(in_end_ - in_)});
    std::memcpy(&window_[write_pos_], in_, count);
    in_ += count;
    write_pos_ = (write_pos_ + count) & kWindowMask;
    pending_ += count;
    budget_ -= count;
    total_written_ += count;
    stored_left_ -= count;
  }
  mode_ = last_block_ ? Mode::kDone : Mode::kBlockHeader;
  return std::nullopt;
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::ReadTableSizes() {
  if (!Need(14)) return Stop::kNeedInput;
  literal_length_codes_ = kFirstLengthSymbol + Take(5);
  distance_codes_ = 1 + Take(5);
  code_length_code_lengths_ = 4 + Take(4);
  if (literal_length_codes_ > kMaxLiteralLengthCodes) return Stop::kError;
  code_length_lengths_.fill(0);
  lengths_read_ = 0;
  mode_ = Mode::kCodeLengthCodeLengths;
  return std::nullopt;
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::ReadCodeLengthCodeLengths() {
  while (lengths_read_ < code_length_code_lengths_) {
    if (!Need(3)) return Stop::kNeedInput;
    code_length_lengths_[kCodeLengthOrder[lengths_read_++]] = static_cast<std::uint8_t>(Take(3));
  }
  if (!code_length_table_.Build(code_length_lengths_, kCodeLengthRootBits,
                                HuffmanTable::Completeness::kComplete)) {
    return Stop::kError;
  }
  lengths_.fill(0);
  lengths_read_ = 0;
  mode_ = Mode::kCodeLengths;
  return std::nullopt;
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::ReadCodeLengths() {
  const unsigned total = literal_length_codes_ + distance_codes_;
  while (lengths_read_ < total) {
    HuffmanEntry entry;
    if (auto stop = PeekSymbol(code_length_table_, entry)) return stop;
    if (entry.value < kRepeatPrevious) {
      Drop(entry.length);
      lengths_[lengths_read_++] = static_cast<std::uint8_t>(entry.value);
      continue;
    }
    const unsigned extra_bits = entry.value == kRepeatPrevious    ? 2
                                : entry.value == kRepeatZeroShort ? 3
                                                                  : 7;
    if (!Need(entry.length + extra_bits)) return Stop::kNeedInput;
    Drop(entry.length);
    const unsigned extra = Take(extra_bits);
    std::uint8_t repeated = 0;
    unsigned count = 0;
    if (entry.value == kRepeatPrevious) {
      if (lengths_read_ == 0) return Stop::kError;
      repeated = lengths_[lengths_read_ - 1];
      count = 3 + extra;
    } else {
      count = (entry.value == kRepeatZeroLong ? 11 : 3) + extra;
    }
    if (count > total - lengths_read_) return Stop::kError;
    std::fill_n(lengths_.begin() + lengths_read_, count, repeated);
    lengths_read_ += count;
  }

  const std::span<const std::uint8_t> all(lengths_.data(), total);
  if (all[kEndOfBlock] == 0) return Stop::kError;  // the block could never end
  constexpr auto kRule = HuffmanTable::Completeness::kSingleCodeAllowed;
  if (!dynamic_literal_length_.Build(all.first(literal_length_codes_), kLiteralLengthRootBits,
                                     kRule) ||
      !dynamic_distance_.Build(all.subspan(literal_length_codes_), kDistanceRootBits, kRule)) {
    return Stop::kError;
  }
  literal_length_ = &dynamic_literal_length_;
  distance_ = &dynamic_distance_;
  mode_ = Mode::kLiteralOrLength;
  return std::nullopt;
}

bool Deflate64Decoder::DecodeFast() {
  // The hot state in locals: a store into the window could otherwise change any member.
  const HuffmanTable::Reader literal_length = literal_length_->reader();
  const HuffmanTable::Reader distance_table = distance_->reader();
  std::uint8_t* const window = window_.data();
  std::uint64_t bits = bits_;
  unsigned count = bit_count_;
  const std::uint8_t* in = in_;
  std::size_t pos = write_pos_;
  const std::size_t budget = budget_;
  std::size_t written = 0;
  bool valid = true;
  // Tops the buffer up to 56 bits or more; false when the input is too short for the fast way.
  const auto refill = [&] {
    if (in_end_ - in < 8) return false;
    bits |= LoadLittleEndian64(in) << count;
    const unsigned bytes = (63 - count) / 8;
    in += bytes;
    count += 8 * bytes;
    bits &= LowBits(count);
    return true;
  };
  const auto take = [&](unsigned n) {
    const auto value = static_cast<std::size_t>(bits & LowBits(n));
    bits >>= n;
    count -= n;
    return value;
  };

  while (written < budget) {
    // Up to 31 bits for a length symbol and its extra bits.
    if (count < HuffmanTable::kMaxCodeLength + 16 && !refill()) break;
    const HuffmanEntry entry = literal_length.Lookup(bits);
    if (entry.kind != HuffmanEntry::kSymbol) break;
    if (entry.value < kEndOfBlock) {
      window[pos] = static_cast<std::uint8_t>(entry.value);
      pos = (pos + 1) & kWindowMask;
      ++written;
      bits >>= entry.length;
      count -= entry.length;
      continue;
    }
    if (entry.value == kEndOfBlock || entry.value >= kFirstLengthSymbol + kLengthCodes.size()) {
      break;
    }
    const CodeBase& length_code = kLengthCodes[entry.value - kFirstLengthSymbol];
    take(entry.length);
    copy_length_ = length_code.base + take(length_code.extra_bits);
    // Up to 29 bits for a distance symbol and its extra bits; without them the distance is
    // left to the step by step way.
    mode_ = Mode::kDistance;
    if (count < HuffmanTable::kMaxCodeLength + 14 && !refill()) break;
    const HuffmanEntry distance_entry = distance_table.Lookup(bits);
    if (distance_entry.kind != HuffmanEntry::kSymbol) break;
    const CodeBase& distance_code = kDistanceCodes[distance_entry.value];
    take(distance_entry.length);
    copy_distance_ = distance_code.base + take(distance_code.extra_bits);
    mode_ = Mode::kCopy;
    if (copy_distance_ > total_written_ + written) {  // before the start of the output
      valid = false;
      break;
    }
    if (copy_length_ > budget - written) break;  // copied as the run's room allows
    pos = CopyInWindow(window, pos, copy_distance_, copy_length_);
    written += copy_length_;
    copy_length_ = 0;
    mode_ = Mode::kLiteralOrLength;
  }
  loaded_ += static_cast<std::size_t>(in - in_);
  in_ = in;
  bits_ = bits;
  bit_count_ = count;
  write_pos_ = pos;
  pending_ += written;
  budget_ -= written;
  total_written_ += written;
  return valid;
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::DecodeLiteralsAndLengths() {
  for (;;) {
    if (!DecodeFast()) return Stop::kError;
    if (mode_ != Mode::kLiteralOrLength) return std::nullopt;  // a match is under way
    HuffmanEntry entry;
    if (auto stop = PeekSymbol(*literal_length_, entry)) return stop;
    const unsigned symbol = entry.value;
    if (symbol < kEndOfBlock) {
      if (budget_ == 0) return Stop::kNeedRoom;
      Drop(entry.length);
      Put(static_cast<std::uint8_t>(symbol));
      continue;
    }
    if (symbol == kEndOfBlock) {
      Drop(entry.length);
      mode_ = last_block_ ? Mode::kDone : Mode::kBlockHeader;
      return std::nullopt;
    }
    if (symbol >= kFirstLengthSymbol + kLengthCodes.size()) return Stop::kError;
    const CodeBase& code = kLengthCodes[symbol - kFirstLengthSymbol];
    if (!Need(entry.length + code.extra_bits)) return Stop::kNeedInput;
    Drop(entry.length);
    copy_length_ = code.base + Take(code.extra_bits);
    // The distance follows at once; the copy too, when the run has room for all of it.
    mode_ = Mode::kDistance;
    if (auto stop = DecodeDistance()) return stop;
    if (copy_length_ > budget_) return std::nullopt;
    CopyFromWindow(copy_distance_, copy_length_);
    copy_length_ = 0;
    mode_ = Mode::kLiteralOrLength;
  }
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::DecodeDistance() {
  HuffmanEntry entry;
  if (auto stop = PeekSymbol(*distance_, entry)) return stop;
  const CodeBase& code = kDistanceCodes[entry.value];
  if (!Need(entry.length + code.extra_bits)) return Stop::kNeedInput;
  Drop(entry.length);
  copy_distance_ = code.base + Take(code.extra_bits);
  if (copy_distance_ > total_written_) return Stop::kError;  // before the start of the output
  mode_ = Mode::kCopy;
  return std::nullopt;
}

std::optional<Deflate64Decoder::Stop> Deflate64Decoder::CopyMatch() {
  while (copy_length_ > 0) {
    if (budget_ == 0) return Stop::kNeedRoom;
    const std::size_t count = std::min(copy_length_, budget_);
    CopyFromWindow(copy_distance_, count);
    copy_length_ -= count;
  }
  mode_ = Mode::kLiteralOrLength;
  return std::nullopt;
}

void Deflate64Decoder::CopyFromWindow(std::size_t distance, std::size_t length) {
  pending_ += length;
  budget_ -= length;
  total_written_ += length;
  write_pos_ = CopyInWindow(window_.data(), write_pos_, distance, length);
}

void Deflate64Decoder::Deliver() {
  const std::size_t count = std::min(pending_, out_left_);
  if (count == 0) return;
  const std::size_t start = (write_pos_ - pending_) & kWindowMask;
  const std::size_t first = std::min(count, kWindowSize - start);
  std::memcpy(out_, &window_[start], first);
  std::memcpy(out_ + first, &window_[0], count - first);
  out_ += count;
  out_left_ -= count;
  pending_ -= count;
}

}  // namespace

std::unique_ptr<Decoder> MakeDeflate64Decoder() {
  return std::make_unique<Deflate64Decoder>();
}

}  // namespace lorvante::codecs
