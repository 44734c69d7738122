// The way back to the host: fills the callback record, calls the host's routine and reads its
// answers. Once the host has asked to stop, nothing more is sent but the end of the batch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "unzdll/unzdll_api.h"

namespace unzdll {

// Sizes and byte counts in the record's 32-bit fields are capped at 2^31 - 1.
std::int32_t Cap32(std::uint64_t value);

// `text` in at most `limit` bytes: a longer one is cut at a UTF-8 character boundary and ends
// with "…", so that a reader sees that it was shortened.
std::string CutText(std::string_view text, std::size_t limit);

class HostChannel {
 public:
  HostChannel(TUnzipCallback callback, void* caller) : callback_(callback), caller_(caller) {}

  // Sends one report or question. Returns false when the host asked to stop (then and on any
  // later call); the answers stay readable through status(), value() and text().
  bool Send(std::int32_t code, std::int32_t value, std::string_view text, std::int32_t status = 0);
  // A text worth tracing (code 4).
  bool Message(std::string_view text) { return Send(UNZ_ACTION_MESSAGE, 0, text); }
  // Tells the host that the entry `name` is not extracted, for `reason` (a UNZ_SKIP_ code). The
  // detail goes to the trace, and to the host as well when it is `shown` or says what makes the
  // entry unsafe.
  void ReportSkip(std::string_view name, int reason, std::string_view detail, bool shown = false);

  bool stopped() const { return stopped_; }
  std::int32_t status() const { return info_.Status; }
  std::int32_t value() const { return info_.Value; }
  // The text the host left in the record, read up to its first NUL within the 512 bytes.
  std::string text() const;
  // Clears the text field (after a password was read from it).
  void Wipe();

 private:
  TUnzipCallback callback_;
  void* caller_;
  TUnzipCallbackInfo info_{};
  bool stopped_ = false;
};

}  // namespace unzdll
