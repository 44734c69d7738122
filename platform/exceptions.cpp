#include "platform/exceptions.h"

#include "platform/error_texts.h"
#include "platform/format.h"
#include "platform/paths.h"

namespace lorvante {

EFOpenError::EFOpenError(const std::string& path, std::uint32_t code)
    : EFileError(Format(texts::kCannotOpenFile, {ExpandFileName(path), SystemErrorText(code)}),
                 code) {}

EFCreateError::EFCreateError(const std::string& path, std::uint32_t code)
    : EFileError(Format(texts::kCannotCreateFile, {ExpandFileName(path), SystemErrorText(code)}),
                 code) {}

EReadError::EReadError() : Exception(texts::kStreamReadError) {}

EWriteError::EWriteError() : Exception(texts::kStreamWriteError) {}

}  // namespace lorvante
