// The file and network rights of a process, restricted through the kernel's Landlock: once
// restricted, the process and every thread and child it makes afterwards may reach only what the
// rules allow, for good.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"

namespace lorvante {

// The version of the Landlock interface the running kernel offers; 0 when it has none (or it is
// turned off).
int LandlockAbi();

struct LandlockRules {
  // Folders below which files may be read, written, made, renamed and removed.
  std::vector<std::string> writable;
  // Folders below which, or files of which, the content may be read (folders listed too).
  std::vector<std::string> readable;
};

// Restricts the calling process to `rules`: every file right the kernel knows is handled (no
// program may be executed anywhere), TCP binding and connecting are refused where the kernel
// handles them, and signals and abstract sockets reach no process outside. A path that does not
// exist is left out. Needs no_new_privs set (SetNoNewPrivileges) and must run before the process
// makes a thread.
Result<void> RestrictByLandlock(const LandlockRules& rules);

// Keeps the process and its children from gaining rights by running a program (required before
// a process restricts itself).
Result<void> SetNoNewPrivileges();

}  // namespace lorvante
