#include "platform/format.h"

#include <vector>

namespace lorvante {

std::string FormatArg::ToString() const {
  return is_number_ ? std::to_string(number_) : std::string(text_);
}

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(pattern.size() + 64);
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    const char spec = pattern[i + 1];
    if (spec == 's' || spec == 'd') {
      if (next != args.end()) out += (next++)->ToString();
      ++i;
    } else if (spec == '%') {
      out += '%';
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace lorvante
