#include "zip/unzip_library.h"

#include <unistd.h>

#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "zip/zip_drives.h"

namespace lorvante::unzip_library {
namespace {

struct Binding {
  DynamicLibrary library;
  TUnzDllExec exec = nullptr;
  TGetUnzDllVersion version = nullptr;
};

Binding& TheBinding() {
  static Binding binding;
  return binding;
}

// The folder the program's RUNPATH names ($ORIGIN/../<libdir>/), empty when the program's own
// path is unknown.
std::string RunpathFolder() {
  std::string program(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", program.data(), program.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= program.size()) return {};
  program.resize(static_cast<std::size_t>(n));
  return ExtractFilePath(program) + "../" LORVANTE_LIBDIR "/";
}

// Opens `path`. A bare name is found through the program's RUNPATH; where dlopen is interposed
// (sanitizer runtimes) the RUNPATH is not consulted, so its folder is then tried by hand.
bool OpenLibrary(DynamicLibrary& library, const std::string& path) {
  if (library.Open(path)) return true;
  if (path.find('/') != std::string::npos) return false;
  const std::string folder = RunpathFolder();
  return !folder.empty() && library.Open(folder + path);
}

}  // namespace

std::string PathIn(const std::string& directory) {
  return directory.empty() ? std::string(kFileName) : AppendSlash(directory) + kFileName;
}

bool Load(const std::string& path) {
  Binding& b = TheBinding();
  if (b.library.IsOpen()) return true;
  DynamicLibrary library;
  if (!OpenLibrary(library, path)) return false;
  auto* exec = reinterpret_cast<TUnzDllExec>(library.Symbol(UNZDLL_EXEC_NAME));
  auto* version = reinterpret_cast<TGetUnzDllVersion>(library.Symbol(UNZDLL_VERSION_NAME));
  if (exec == nullptr || version == nullptr) return false;
  b.library = std::move(library);
  b.exec = exec;
  b.version = version;
  return true;
}

bool IsLoaded() {
  return TheBinding().library.IsOpen();
}

unsigned Version() {
  return TheBinding().version != nullptr ? TheBinding().version() : 0;
}

TUnzDllExec Exec() {
  return TheBinding().exec;
}

void Free() {
  Binding& b = TheBinding();
  b.exec = nullptr;
  b.version = nullptr;
  b.library.Close();
}

}  // namespace lorvante::unzip_library
