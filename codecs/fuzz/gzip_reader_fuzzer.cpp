// Arbitrary bytes as the payload of a bare file to the gzip reader, without the DES layer in
// front. The data are read twice: through large buffers, and through a source and an output
// buffer whose sizes the first two bytes choose. Both readings must end with the same status and,
// when the data are complete, the same bytes; no read may give more than its room, and a status
// other than kOk stays.
#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "codecs/gzip_reader.h"

namespace {

using lorvante::codecs::GzipReader;
using lorvante::codecs::GzipStatus;
using lorvante::codecs::GzipStep;

// Decoded output beyond this is not followed further (bombs are cheap to write, slow to run).
constexpr std::size_t kOutputLimit = std::size_t{1} << 20;

struct Reading {
  GzipStatus status = GzipStatus::kOk;
  std::vector<std::uint8_t> output;
  bool limited = false;
};

Reading Read(std::span<const std::uint8_t> data, std::size_t source_piece, std::size_t input_size,
             std::size_t output_piece) {
  std::size_t offset = 0;
  GzipReader reader(
      [&](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        const std::size_t n = std::min({buffer.size(), source_piece, data.size() - offset});
        std::copy_n(data.begin() + offset, n, buffer.begin());
        offset += n;
        return static_cast<std::ptrdiff_t>(n);
      },
      nullptr, input_size);
  Reading reading;
  std::vector<std::uint8_t> buffer(output_piece);
  for (;;) {
    const GzipStep step = reader.Read(buffer);
    if (step.produced > buffer.size()) abort();
    reading.output.insert(reading.output.end(), buffer.begin(), buffer.begin() + step.produced);
    reading.status = step.status;
    if (reading.output.size() > kOutputLimit) {
      reading.limited = true;
      return reading;
    }
    if (step.status != GzipStatus::kOk) break;
  }
  // The status stays, and nothing more comes.
  const GzipStep again = reader.Read(buffer);
  if (again.status != reading.status || again.produced != 0) abort();
  return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t source_piece = 1 + data[0] % 64;
  const std::size_t output_piece = 1 + data[1] * 37 % 4096;
  const std::span<const std::uint8_t> payload(data + 2, size - 2);
  const Reading whole =
      Read(payload, payload.size() + 1, GzipReader::kDefaultInputSize, std::size_t{64} << 10);
  if (whole.limited) return 0;
  // The smallest input buffer the reader takes, so that headers and members span reads.
  const Reading pieces = Read(payload, source_piece, 16, output_piece);
  if (pieces.limited) return 0;
  if (pieces.status != whole.status) abort();
  // Complete data give the same bytes; before a fault each reading may have got a little further
  // than the other, but never to other bytes.
  const std::size_t common = std::min(pieces.output.size(), whole.output.size());
  if (whole.status == GzipStatus::kEnd
          ? pieces.output != whole.output
          : !std::equal(pieces.output.begin(), pieces.output.begin() + common,
                        whole.output.begin())) {
    abort();
  }
  return 0;
}
