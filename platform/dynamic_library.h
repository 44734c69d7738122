// A shared library loaded at run time.
#pragma once

#include <string>

namespace lorvante {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary();

  // Loads `path`; a bare file name is looked for where the program's own libraries are (its
  // RUNPATH) and in the system's library folders. False when it cannot be loaded; Error() says why.
  bool Open(const std::string& path);
  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  void Close();

  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace lorvante
