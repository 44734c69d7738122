#include "unzdll/host_channel.h"

#include <algorithm>
#include <cstring>

#include "unzdll/messages.h"

namespace unzdll {

std::int32_t Cap32(std::uint64_t value) {
  constexpr std::uint64_t kMax = 0x7fffffff;
  return static_cast<std::int32_t>(std::min(value, kMax));
}

std::string CutText(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  constexpr std::string_view kEllipsis = "\u2026";
  if (limit < kEllipsis.size()) return {};
  std::size_t cut = limit - kEllipsis.size();
  // Step back over continuation bytes so that no character is split.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;
  return std::string(text.substr(0, cut)).append(kEllipsis);
}

bool HostChannel::Send(std::int32_t code, std::int32_t value, std::string_view text,
                       std::int32_t status) {
  if (stopped_ && code != UNZ_ACTION_END_BATCH && code != UNZ_ACTION_SKIPPED) return false;
  std::memset(&info_, 0, sizeof info_);
  info_.Caller = caller_;
  info_.Version = UNZDLL_VERSION;
  info_.ActionCode = code;
  info_.Status = status;
  info_.Value = value;
  const std::string cut = CutText(text, sizeof info_.NameOrMessage - 1);
  if (!cut.empty()) std::memcpy(info_.NameOrMessage, cut.data(), cut.size());
  if (callback_ != nullptr && callback_(&info_) != 0) stopped_ = true;
  return !stopped_;
}

void HostChannel::ReportSkip(std::string_view name, int reason, std::string_view detail,
                             bool shown) {
  Message(SkipMessage(name, reason, detail));
  if (!detail.empty() && (shown || reason == UNZ_SKIP_UNSAFE)) {
    Send(UNZ_ACTION_SKIP_DETAIL, 0, detail);
  }
  Send(UNZ_ACTION_SKIPPED, reason, name);
}

std::string HostChannel::text() const {
  const char* begin = info_.NameOrMessage;
  return std::string(begin, strnlen(begin, sizeof info_.NameOrMessage));
}

void HostChannel::Wipe() {
  volatile char* p = info_.NameOrMessage;
  for (std::size_t i = 0; i < sizeof info_.NameOrMessage; ++i) p[i] = 0;
}

}  // namespace unzdll
