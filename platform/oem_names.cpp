#include "platform/oem_names.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace lorvante {
namespace {

// `text` converted from the character set `from` to `to` by iconv; nothing when iconv knows
// either set not, or when a byte sequence of `text` is not valid in `from`.
std::optional<std::string> Converted(std::string_view text, const char* to, const char* from) {
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4, '\0');
  char* in_ptr = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || in_left != 0) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

// The MS-DOS code page that gives every byte a character.
constexpr char kEveryByteCodePage[] = "CP437";

}  // namespace

std::string OemCodePageForLocale(std::string_view locale) {
  const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
  for (const char* latin2 : {"hu", "cs", "pl", "sk", "sl", "hr", "ro"}) {
    if (language == latin2) return "CP852";
  }
  if (language == "ru") return "CP866";
  if (language == "ja") return "CP932";  // Shift-JIS: a 0x5C byte may be a second byte
  return "CP437";
}

std::string OemCodePage() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return OemCodePageForLocale(value);
  }
  return OemCodePageForLocale("");
}

std::string OemToUtf8(std::string_view text, const std::string& codepage) {
  if (text.empty()) return {};
  std::optional<std::string> out = Converted(text, "UTF-8", codepage.c_str());
  return out ? std::move(*out) : std::string(text);
}

std::string OemToValidUtf8(std::string_view text, const std::string& codepage) {
  std::string out = OemToUtf8(text, codepage);
  if (IsUtf8(out)) return out;
  return OemToUtf8(text, kEveryByteCodePage);
}

bool IsUtf8(std::string_view text) {
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return true;
  }
  // glibc's UTF-8 reader takes code points up to 2^31 - 1; its UTF-32 writer refuses those
  // beyond U+10FFFF and surrogates, so the conversion to UTF-32 checks the whole form.
  return Converted(text, "UTF-32LE", "UTF-8").has_value();
}

}  // namespace lorvante
