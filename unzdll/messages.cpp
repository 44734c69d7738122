#include "unzdll/messages.h"

#include "platform/failure.h"
#include "unzdll/skip_reasons.h"
#include "unzdll/unzdll_api.h"
#include "zipformat/methods.h"

namespace unzdll {

const char* SkipReasonText(int reason) {
  const char* words = SkipReasonWords(reason);
  return words != nullptr ? words : "skipped";
}

std::string SkipMessage(std::string_view name, int reason, std::string_view detail) {
  std::string out = "Skipped \"";
  out.append(name);
  out += "\": ";
  out += SkipReasonText(reason);
  if (!detail.empty()) {
    out += " (";
    out.append(detail);
    out += ')';
  }
  return out;
}

std::string SystemText(int error) {
  return lorvante::ErrnoText(error);
}

std::string MethodName(int method) {
  return std::string(lorvante::zipformat::ZipMethodName(static_cast<std::uint16_t>(method))) +
         " (" + std::to_string(method) + ")";
}

}  // namespace unzdll
