#include "platform/error_texts.h"

#include <cstring>

namespace lorvante {
namespace {

struct CodeText {
  std::uint32_t code;
  const char* text;
};

constexpr CodeText kOwnTexts[] = {
    {kErrorFileInUse, "The file is in use by another process."},
    {kErrorNotRegularFile, "Not a regular file."},
    {kErrorFolderNotPrivate, "The folder is not private to this user."},
    {kErrorPathTooLong, "File name too long."},
    {kErrorBadKey, "Bad Key."},
    {kErrorBadData, "Bad Data."},
    {kErrorBadAlgorithm, "Invalid algorithm specified."},
};

}  // namespace

std::string SystemErrorText(std::uint32_t code) {
  for (const auto& entry : kOwnTexts) {
    if (entry.code == code) return entry.text;
  }
  if (code == 0 || code > 4095) return {};
  char buffer[256];
  // GNU strerror_r returns the text, which may or may not live in the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) return {};
  return text;
}

}  // namespace lorvante
