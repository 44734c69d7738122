// Why an entry was not extracted, in plain words: one text for each skip reason of the unzip
// library. An entry skipped for its method is named with the method from its central header,
// which the library does not pass along.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/Zip.h"

namespace lorvante {

// The compression method of `entry`'s data: its Method, or for an AES-encrypted entry (method
// 99) the method kept in its AES extra block. Nothing when that block is missing or is not one
// that is read (zipformat::FindAesField).
std::optional<std::uint16_t> DataMethod(const TFileInfo& entry);

// "not extracted: ..." for `reason` (a UNZ_SKIP_ code); `entry` is the skipped entry's central
// header when it is known, and names the method of an unsupported one.
std::string SkipReasonText(int reason, const TFileInfo* entry);

// The name the library gives an entry named `name` in the archive: without empty and "."
// components, and without its folders when they are not kept.
std::string WrittenName(const std::string& name, bool keep_folders);

// The entry of `list` that the library names `written` (see WrittenName). The search starts at
// `hint` (where the entry is when every entry was selected) and wraps around; nullptr when no
// entry has that name.
const TFileInfo* FindWrittenEntry(const std::vector<std::unique_ptr<TFileInfo>>& list,
                                  const std::string& written, bool keep_folders, std::size_t hint);

}  // namespace lorvante
