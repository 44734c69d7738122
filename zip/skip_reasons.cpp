#include "zip/skip_reasons.h"

#include <algorithm>
#include <span>

#include "platform/byte_cursor.h"
#include "platform/format.h"
#include "unzdll/skip_reasons.h"
#include "zipformat/methods.h"
#include "zipformat/records.h"

namespace lorvante {
namespace {

constexpr char kNotExtracted[] = "not extracted: ";
constexpr char kUnknownReason[] = "not extracted (reason %d)";
constexpr char kMethodNamed[] = "not extracted: compression method %d (%s) is not supported";
constexpr char kMethodUnnamed[] = "not extracted: compression method %d is not supported";
constexpr char kEncryptionUnsupported[] = "not extracted: its encryption method is not supported";

std::string UnsupportedText(const TFileInfo& entry) {
  if (entry.GeneralFlags & zipformat::kFlagStrongEncryption) return kEncryptionUnsupported;
  const std::optional<std::uint16_t> method = DataMethod(entry);
  if (!method) return kEncryptionUnsupported;  // an AES entry without a field that is read
  const std::string name = zipformat::ZipMethodName(*method);
  if (name == "unknown") return Format(kMethodUnnamed, {static_cast<int>(*method)});
  return Format(kMethodNamed, {static_cast<int>(*method), name});
}

}  // namespace

std::optional<std::uint16_t> DataMethod(const TFileInfo& entry) {
  if (entry.Method != zipformat::kZipAes) return entry.Method;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(entry.ExtraField.data());
  const auto field =
      zipformat::FindAesField(std::span<const std::uint8_t>(bytes, entry.ExtraField.size()));
  if (!field) return std::nullopt;
  return field->method;
}

std::string SkipReasonText(int reason, const TFileInfo* entry) {
  if (reason == UNZ_SKIP_UNSUPPORTED && entry != nullptr) return UnsupportedText(*entry);
  if (const char* words = unzdll::SkipReasonWords(reason)) return kNotExtracted + std::string(words);
  return Format(kUnknownReason, {reason});
}

std::string WrittenName(const std::string& name, bool keep_folders) {
  std::string out;
  std::string part;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    part = name.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (!keep_folders)
        out.clear();
      else if (!out.empty())
        out += '/';
      out += part;
    }
    start = end + 1;
  }
  return out;
}

const TFileInfo* FindWrittenEntry(const std::vector<std::unique_ptr<TFileInfo>>& list,
                                  const std::string& written, bool keep_folders, std::size_t hint) {
  const std::size_t count = list.size();
  if (count == 0) return nullptr;
  hint %= count;
  for (std::size_t step = 0; step < count; ++step) {
    const TFileInfo& entry = *list[(hint + step) % count];
    if (WrittenName(entry.FileName, keep_folders) == written) return &entry;
  }
  return nullptr;
}

}  // namespace lorvante
