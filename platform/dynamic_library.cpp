#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace lorvante {

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  Close();
}

Result<void> DynamicLibrary::Open(const std::string& path) {
  Close();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    return Failure::Because(why != nullptr ? why : "cannot load " + path);
  }
  return {};
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Close() {
  if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

}  // namespace lorvante
