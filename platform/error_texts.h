// The system's error codes and their texts.
//
// An error code is either an errno value, a code of the cipher layer (0x8009xxxx, the form the
// cryptographic service's codes take) or one of this program's own codes (bit 29 set). Every code
// has exactly one text, in the table in error_texts.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace lorvante {

enum SystemErrorCode : std::uint32_t {
  kErrorFileInUse = 0x20000001,         // another open of this program holds the file
  kErrorNotRegularFile = 0x20000002,    // a folder, FIFO, socket or device where a file belongs
  kErrorFolderNotPrivate = 0x20000003,  // the temporary folder is not the user's own
  kErrorPathTooLong = 0x20000004,
  kErrorBadKey = 0x80090003,
  kErrorBadData = 0x80090005,
  kErrorBadAlgorithm = 0x80090008,
};

// The system's English text for `code`; empty when it has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace lorvante
