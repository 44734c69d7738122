// A shared library loaded at run time.
#pragma once

#include <string>

#include "platform/result.h"

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
  // RUNPATH) and in the system's library folders. The failure's detail is the loader's reason.
  Result<void> Open(const std::string& path);
  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  void Close();
  // Leaves the library loaded for the rest of the process (one whose objects live until the
  // program ends): the handle is given up without closing.
  void Keep() { handle_ = nullptr; }

  bool IsOpen() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace lorvante
