// Errors travel as exceptions that carry their message text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace lorvante {

// The general error class of the program.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Errors of the file layer. The open and create errors keep the system's error code.
class EFileError : public Exception {
 public:
  EFileError(const std::string& message, std::uint32_t code) : Exception(message), code_(code) {}
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};

class EFOpenError : public EFileError {
 public:
  EFOpenError(const std::string& path, std::uint32_t code);
};

class EFCreateError : public EFileError {
 public:
  EFCreateError(const std::string& path, std::uint32_t code);
};

class EReadError : public Exception {
 public:
  EReadError();
};

class EWriteError : public Exception {
 public:
  EWriteError();
};

}  // namespace lorvante
