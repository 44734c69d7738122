// The program's own errors: exceptions that carry the message text shown to the user. The
// platform's calls answer with a Result; the program's code raises one of these where a failure
// ends what it was doing and becomes a message (OrRaise).
#pragma once

#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/failure.h"
#include "platform/result.h"

namespace lorvante {

// The general error class of the program.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Errors of the file layer.
class EFileError : public Exception {
 public:
  using Exception::Exception;
};

// "Cannot open file "<path>". <why>"
class EFOpenError : public EFileError {
 public:
  EFOpenError(const std::string& path, const Failure& failure);
};

// "Cannot create file "<path>". <why>"
class EFCreateError : public EFileError {
 public:
  EFCreateError(const std::string& path, const Failure& failure);
};

// "Stream read error", whatever the cause.
class EReadError : public Exception {
 public:
  EReadError();
  explicit EReadError(const Failure&) : EReadError() {}
};

// "Stream write error", whatever the cause.
class EWriteError : public Exception {
 public:
  EWriteError();
  explicit EWriteError(const Failure&) : EWriteError() {}
};

// The value of `result`, or raises E(arguments..., failure) when it holds a failure:
//   FileStream file = OrRaise<EFOpenError>(FileStream::OpenRead(path), path);
template <class E, class T, class... Arguments>
T OrRaise(Result<T> result, const Arguments&... arguments) {
  if (!result) throw E(arguments..., result.failure());
  if constexpr (!std::is_void_v<T>) return std::move(result).value();
}

namespace texts {
inline constexpr char kCannotOpenFile[] = "Cannot open file \"%s\". %s";
inline constexpr char kCannotCreateFile[] = "Cannot create file \"%s\". %s";
inline constexpr char kStreamReadError[] = "Stream read error";
inline constexpr char kStreamWriteError[] = "Stream write error";
}  // namespace texts

}  // namespace lorvante
