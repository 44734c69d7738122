#include "ui/terminal/printable.h"

namespace lorvante {
namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;

}  // namespace

std::string Printable(std::string text, LineBreaks line_breaks) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n' && line_breaks == LineBreaks::kKept) continue;
    if (byte < kFirstPrintable || byte == kDelete) c = kControlMark;
  }
  return text;
}

}  // namespace lorvante
