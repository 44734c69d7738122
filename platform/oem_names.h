// Names stored in an MS-DOS code page ("OEM"), converted to UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace lorvante {

// The OEM code page that goes with a locale name such as "hu_HU.UTF-8", as the systems that
// write such names pair them: CP852 for Hungarian, Czech, Polish, Slovak, Slovenian, Croatian and
// Romanian, CP866 for Russian, CP932 (Shift-JIS, two bytes to many characters) for Japanese,
// CP437 otherwise.
std::string OemCodePageForLocale(std::string_view locale);

// The OEM code page of the user's locale (LC_ALL, else LC_CTYPE, else LANG).
std::string OemCodePage();

// `text` in `codepage` converted to UTF-8. These code pages map every byte; should the
// conversion fail all the same, the text is returned unchanged.
std::string OemToUtf8(std::string_view text, const std::string& codepage);

// `text` in `codepage` as valid UTF-8 whatever its bytes: where the code page leaves some
// undecoded (a Shift-JIS lead byte without its second byte), the text is read as CP437, which
// maps every byte.
std::string OemToValidUtf8(std::string_view text, const std::string& codepage);

// Whether `text` is well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text);

}  // namespace lorvante
