#include "ui/exceptions.h"

#include "platform/format.h"
#include "platform/paths.h"

namespace lorvante {

EFOpenError::EFOpenError(const std::string& path, const Failure& failure)
    : EFileError(Format(texts::kCannotOpenFile, {ExpandFileName(path), failure.Text()})) {}

EFCreateError::EFCreateError(const std::string& path, const Failure& failure)
    : EFileError(Format(texts::kCannotCreateFile, {ExpandFileName(path), failure.Text()})) {}

EReadError::EReadError() : Exception(texts::kStreamReadError) {}

EWriteError::EWriteError() : Exception(texts::kStreamWriteError) {}

}  // namespace lorvante
