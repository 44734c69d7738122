#include "unzdll/failure.h"

#include "unzdll/messages.h"

namespace unzdll {

std::string Failure::Text() const {
  if (!detail.empty() || error == 0) return detail;
  return SystemText(error);
}

}  // namespace unzdll
