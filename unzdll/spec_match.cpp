#include "unzdll/spec_match.h"

#include <algorithm>

#include "zipformat/names.h"

namespace unzdll {
namespace {

// Length of the UTF-8 character that starts at `pos` (1 for a stray byte).
std::size_t CharLength(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = lead < 0xc0 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
  length = std::min(length, text.size() - pos);
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[pos + i]) & 0xc0) != 0x80) return i;
  }
  return length;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Greedy matching with one resumption point: the last `*` seen and the name position it
  // stood for. Time at most pattern length times name length.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += CharLength(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      resume += CharLength(name, resume);
      n = resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

SpecList::SpecList(std::vector<std::string> texts) : texts_(std::move(texts)) {
  for (std::string& text : texts_) text = lorvante::zipformat::EntryNameToPath(text);
}

bool SpecList::Selects(std::string_view name) const {
  if (texts_.empty()) return true;
  return std::any_of(texts_.begin(), texts_.end(),
                     [&](const std::string& text) { return WildcardMatch(text, name); });
}

}  // namespace unzdll
