// What every decoder fuzzer checks: the stream is decoded twice, once in large pieces and once
// in small pieces of input and output chosen by the fuzzer; no step may take or give more than
// it was offered, and a stream that ends must end the same way, with the same bytes, both times.
// Anything else (and any fault the sanitizers see) aborts.
#pragma once

#include <cstdlib>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "codecs/decoder.h"

namespace lorvante::codecs::fuzz {

// Decoded output beyond this is not followed further (bombs are cheap to write, slow to run);
// it is several times the largest window a fuzzed stream can set up quickly.
inline constexpr std::size_t kOutputLimit = std::size_t{256} << 10;

struct Outcome {
  DecodeStatus status = DecodeStatus::kOk;
  std::vector<std::uint8_t> output;
  std::size_t consumed = 0;
  bool limited = false;
};

inline Outcome DecodeInPieces(Decoder& decoder, std::span<const std::uint8_t> input,
                              std::size_t input_piece, std::size_t output_piece) {
  Outcome outcome;
  std::vector<std::uint8_t> buffer(output_piece);
  for (;;) {
    const std::size_t offered = std::min(input_piece, input.size() - outcome.consumed);
    const DecodeStep step = decoder.Decode(input.subspan(outcome.consumed, offered), buffer);
    if (step.consumed > offered || step.produced > buffer.size()) abort();
    outcome.consumed += step.consumed;
    outcome.output.insert(outcome.output.end(), buffer.begin(), buffer.begin() + step.produced);
    outcome.status = step.status;
    // Past the limit, whether or not the stream ended in the same call: the other decoding,
    // in other pieces, may have been stopped before its end.
    outcome.limited = outcome.output.size() > kOutputLimit;
    if (step.status != DecodeStatus::kOk || outcome.limited) return outcome;
    if (step.consumed == 0 && step.produced == 0) {
      // With room to write, only the end of the input may stop a decoder.
      if (outcome.consumed != input.size()) abort();
      return outcome;
    }
  }
}

// The first two bytes of `data` choose the small pieces; the rest is the stream.
inline int FuzzDecoder(const std::function<std::unique_ptr<Decoder>()>& make,
                       const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t input_piece = 1 + data[0] % 16;
  const std::size_t output_piece = 1 + data[1] * 37 % 1024;
  const std::span<const std::uint8_t> stream(data + 2, size - 2);

  auto whole = make();
  const Outcome first = DecodeInPieces(*whole, stream, stream.size() + 1, std::size_t{64} << 10);
  if (first.limited) return 0;
  auto pieces = make();
  const Outcome second = DecodeInPieces(*pieces, stream, input_piece, output_piece);
  if (first.status == DecodeStatus::kStreamEnd &&
      (second.status != DecodeStatus::kStreamEnd || second.output != first.output ||
       second.consumed != first.consumed)) {
    abort();
  }
  return 0;
}

}  // namespace lorvante::codecs::fuzz
