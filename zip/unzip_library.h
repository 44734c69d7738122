// The unzip library, loaded at run time once per process and shared by every TZip.
#pragma once

#include <string>

#include "unzdll/unzdll_api.h"

namespace lorvante::unzip_library {

// The library's file name on this platform.
inline constexpr char kFileName[] = "libunzdll.so";

// Where it is looked for: `directory` with a final '/' and the file name; with no directory, the
// library folder beside the program's own (where the build and the install put it), else the
// bare file name for the system's library search.
std::string PathIn(const std::string& directory);

// Loads the library from `path` unless it is already loaded. False when it cannot be loaded or
// lacks an entry point (it is then not kept). The version is checked by the caller.
bool Load(const std::string& path);
bool IsLoaded();
unsigned Version();
TUnzDllExec Exec();
// Frees the library; the next Load loads it again.
void Free();

}  // namespace lorvante::unzip_library
