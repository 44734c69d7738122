// The library's texts: the reasons for skipping an entry and the messages sent for tracing.
#pragma once

#include <string>
#include <string_view>

namespace unzdll {

// A short English text for a skip reason (UNZ_SKIP_ code).
const char* SkipReasonText(int reason);

// "Skipped \"<name>\": <reason text> (<detail>)"; without the brackets when `detail` is empty.
std::string SkipMessage(std::string_view name, int reason, std::string_view detail);

// The system's text for an errno value.
std::string SystemText(int error);

// A compression method's name and number, e.g. "implode (6)".
std::string MethodName(int method);

}  // namespace unzdll
