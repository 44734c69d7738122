#include "zip/unzip_library.h"

#include <memory>

#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "platform/signal_cleanup.h"

namespace lorvante::unzip_library {
namespace {

struct Binding {
  DynamicLibrary library;
  TUnzDllExec exec = nullptr;
  TGetUnzDllVersion version = nullptr;
  // The library keeps its hidden files in a table of its own; the program's handlers reach them
  // through its call.
  std::unique_ptr<CallOnSignal> on_signal;
};

Binding& TheBinding() {
  static Binding binding;
  return binding;
}

}  // namespace

std::string PathIn(const std::string& directory) {
  if (!directory.empty()) return AppendSlash(directory) + kFileName;
  // The library the program was built or installed with lies in the library folder beside its
  // own folder (as its RUNPATH says). It is looked up here rather than left to the loader, whose
  // search may start from another object than the program (a sanitizer's runtime, say).
  const std::string program = GetProgramPath();
  if (!program.empty()) {
    const std::string beside = ExtractFilePath(program) + "../" + LORVANTE_LIBDIR + "/" + kFileName;
    if (FileExists(beside)) return ExpandFileName(beside);
  }
  return kFileName;
}

bool Load(const std::string& path) {
  Binding& b = TheBinding();
  if (b.library.IsOpen()) return true;
  DynamicLibrary library;
  if (!library.Open(path)) return false;
  auto* exec = reinterpret_cast<TUnzDllExec>(library.Symbol(UNZDLL_EXEC_NAME));
  auto* version = reinterpret_cast<TGetUnzDllVersion>(library.Symbol(UNZDLL_VERSION_NAME));
  if (exec == nullptr || version == nullptr) return false;
  b.library = std::move(library);
  b.exec = exec;
  b.version = version;
  b.on_signal = std::make_unique<CallOnSignal>(
      reinterpret_cast<TUnzDllRemoveTemporaries>(b.library.Symbol(UNZDLL_REMOVE_TEMPORARIES_NAME)));
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
  b.on_signal.reset();  // before the call's code goes away
  b.library.Close();
}

}  // namespace lorvante::unzip_library
