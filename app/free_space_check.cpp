// A conversion whose result cannot fit is refused before anything is written.
#include <cstdint>
#include <string>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "platform/format.h"
#include "platform/free_space.h"
#include "ui/exceptions.h"

namespace lorvante {
namespace {

// 1048576 as "1 048 576": groups of three digits, as the program's users write numbers.
std::string GroupedDigits(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, " ");
  return digits;
}

}  // namespace

void TForm1::RequireFreeSpace(const std::string& folder, std::uint64_t needed) {
  if (needed == 0) return;
  const Result<std::uint64_t> free = FreeBytes(folder);
  // A file system that does not say how full it is is written as before.
  if (!free || *free >= needed) return;
  throw Exception(
      Format(messages::kNotEnoughSpace, {folder, GroupedDigits(needed), GroupedDigits(*free)}));
}

}  // namespace lorvante
