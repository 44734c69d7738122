// How a text that may hold a name reaches the terminal. A name (of the input, a folder, an
// archive entry) may hold control characters: an escape sequence, a bell, a carriage return.
// Shown raw, they would drive the terminal or break the line; each is shown as '?' instead.
#pragma once

#include <string>

namespace lorvante {

inline constexpr char kControlMark = '?';

enum class LineBreaks {
  kMarked,  // a line feed is a control character like the others: the text stays on one line
  kKept,    // the line feeds a message is made of stay
};

std::string Printable(std::string text, LineBreaks line_breaks = LineBreaks::kMarked);

}  // namespace lorvante
