#include "unzdll/messages.h"

#include <cstring>

#include "platform/error_texts.h"
#include "unzdll/unzdll_api.h"
#include "zipformat/methods.h"

namespace unzdll {
namespace {

struct ReasonEntry {
  int reason;
  const char* text;
};

constexpr ReasonEntry kReasons[] = {
    {UNZ_SKIP_KEPT_EXISTING, "the existing file was kept"},
    {UNZ_SKIP_NO_TARGET, "there is no file to freshen"},
    {UNZ_SKIP_NO_PASSWORD, "no password was given"},
    {UNZ_SKIP_WRONG_PASSWORD, "wrong password"},
    {UNZ_SKIP_CRC_ERROR, "CRC error, the copy was discarded"},
    {UNZ_SKIP_UNSUPPORTED, "method not supported"},
    {UNZ_SKIP_CANNOT_WRITE, "cannot create or write the file"},
    {UNZ_SKIP_DAMAGED, "damaged data"},
    {UNZ_SKIP_UNSAFE, "unsafe name or entry type"},
    {UNZ_SKIP_STOPPED, "the run was stopped"},
};

}  // namespace

const char* SkipReasonText(int reason) {
  for (const ReasonEntry& entry : kReasons) {
    if (entry.reason == reason) return entry.text;
  }
  return "skipped";
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
  std::string text = lorvante::SystemErrorText(static_cast<std::uint32_t>(error));
  if (text.empty()) text = std::strerror(error);
  return text;
}

std::string MethodName(int method) {
  return std::string(lorvante::zipformat::ZipMethodName(static_cast<std::uint16_t>(method))) + " (" +
         std::to_string(method) + ")";
}

}  // namespace unzdll
