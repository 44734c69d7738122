#include "platform/failure.h"

#include <cstdint>
#include <cstring>

#include "platform/error_texts.h"

namespace lorvante {

std::string Failure::Text() const {
  if (!detail.empty() || error == 0) return detail;
  return ErrnoText(error);
}

std::string ErrnoText(int error) {
  std::string text = SystemErrorText(static_cast<std::uint32_t>(error));
  if (text.empty()) text = std::strerror(error);
  return text;
}

}  // namespace lorvante
