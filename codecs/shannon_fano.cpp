#include "codecs/shannon_fano.h"

#include <algorithm>
#include <numeric>

namespace lorvante::codecs {

namespace {

constexpr std::uint32_t kCodeSpace = std::uint32_t{1} << ShannonFanoCode::kMaxLength;

}  // namespace

bool ShannonFanoCode::Build(std::span<const std::uint8_t> lengths) {
  const std::size_t n = lengths.size();
  std::vector<std::uint16_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint16_t a, std::uint16_t b) { return lengths[a] < lengths[b]; });
  codes_.assign(n, Code{0, 0});
  symbols_.clear();
  first_.fill(0);
  count_.fill(0);
  offset_.fill(0);

  // From the longest codes up; each length's codes are consecutive numbers.
  std::uint32_t code = 0;
  std::uint32_t step = 0;
  unsigned last_length = 0;
  std::array<std::vector<std::uint16_t>, kMaxLength + 1> by_length;
  for (std::size_t i = n; i-- > 0;) {
    const unsigned length = lengths[order[i]];
    if (length == 0 || length > kMaxLength) return false;
    code += step;
    if (length != last_length) {
      last_length = length;
      step = kCodeSpace >> length;
      if (code % step != 0) return false;  // not a prefix code
    }
    if (code >= kCodeSpace) return false;  // over-subscribed
    const std::uint32_t number = code >> (kMaxLength - length);
    if (by_length[length].empty()) first_[length] = number;
    by_length[length].push_back(order[i]);
    std::uint32_t sent = 0;
    for (unsigned bit = 0; bit < length; ++bit) {
      sent |= ((number >> (length - 1 - bit)) & 1) << bit;
    }
    codes_[order[i]] = Code{sent, length};
  }
  for (unsigned length = 1; length <= kMaxLength; ++length) {
    offset_[length] = static_cast<std::uint32_t>(symbols_.size());
    count_[length] = static_cast<std::uint32_t>(by_length[length].size());
    symbols_.insert(symbols_.end(), by_length[length].begin(), by_length[length].end());
  }
  return true;
}

int ShannonFanoCode::Decode(std::uint64_t bits, unsigned available, unsigned& length) const {
  std::uint32_t number = 0;
  for (unsigned l = 1; l <= kMaxLength; ++l) {
    if (l > available) return -1;
    const std::uint32_t bit = static_cast<std::uint32_t>(bits >> (l - 1)) & 1;
    number = (number << 1) | bit;
    if (count_[l] != 0 && number - first_[l] < count_[l]) {
      length = l;
      return symbols_[offset_[l] + number - first_[l]];
    }
  }
  return -2;
}

}  // namespace lorvante::codecs
