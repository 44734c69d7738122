// What each skip reason of the library's interface means, in the words of the messages about an
// entry that was not extracted ("not extracted: " and these words). The library's trace and the
// zip component's messages both say it so.
#pragma once

#include <array>

#include "unzdll/unzdll_api.h"

namespace unzdll {

// Indexed by the reason; 0 is no reason.
inline constexpr std::array<const char*, UNZ_SKIP_LAST_REASON + 1> kSkipReasonWords = {
    nullptr,
    "the existing file was kept",                               // UNZ_SKIP_KEPT_EXISTING
    "there is no file to freshen",                              // UNZ_SKIP_NO_TARGET
    "no password was given",                                    // UNZ_SKIP_NO_PASSWORD
    "wrong password",                                           // UNZ_SKIP_WRONG_PASSWORD
    "the data fail their CRC check",                            // UNZ_SKIP_CRC_ERROR
    "its compression or encryption method is not supported",  // UNZ_SKIP_UNSUPPORTED
    "the file cannot be written",                               // UNZ_SKIP_CANNOT_WRITE
    "the data are damaged",                                     // UNZ_SKIP_DAMAGED
    "unsafe name or entry type",                                // UNZ_SKIP_UNSAFE
    "the run was stopped",                                      // UNZ_SKIP_STOPPED
};
static_assert(UNZ_SKIP_KEPT_EXISTING == 1 && UNZ_SKIP_STOPPED == UNZ_SKIP_LAST_REASON &&
                  UNZ_SKIP_LAST_REASON == 10,
              "one line of words per reason, in the order of their codes");

// The words of `reason`, or nullptr for a code that is none.
constexpr const char* SkipReasonWords(int reason) {
  return reason > 0 && reason <= UNZ_SKIP_LAST_REASON ? kSkipReasonWords[reason] : nullptr;
}

}  // namespace unzdll
