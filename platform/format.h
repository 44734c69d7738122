// Formatting of the program's message texts: "%s" takes a string, "%d" a decimal integer,
// "%%" stands for a percent sign. Arguments are taken in order; a missing one formats as nothing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lorvante {

class FormatArg {
 public:
  FormatArg(std::string_view text) : text_(text) {}
  FormatArg(const std::string& text) : text_(text) {}
  FormatArg(const char* text) : text_(text) {}
  FormatArg(int number) : number_(number), is_number_(true) {}
  FormatArg(long number) : number_(number), is_number_(true) {}
  FormatArg(long long number) : number_(number), is_number_(true) {}
  FormatArg(unsigned number) : number_(number), is_number_(true) {}

  std::string ToString() const;

 private:
  std::string_view text_;
  long long number_ = 0;
  bool is_number_ = false;
};

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace lorvante
