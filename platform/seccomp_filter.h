// The system calls a confined process may not make, refused by a seccomp filter of the kernel:
// once loaded, the process and every thread and child it makes afterwards are held to it.
#pragma once

#include "platform/result.h"

namespace lorvante {

// Whether the running kernel takes seccomp filters.
bool SeccompAvailable();

// Loads the filter into the calling process: running a program (execve, execveat), making a
// socket, tracing or reading another process, and the calls that widen what a process may reach
// (mounts, namespaces, io_uring, BPF, keys) fail with EPERM; everything else is allowed. Sets
// no_new_privs. Must run before the process makes a thread.
Result<void> LoadSyscallFilter();

}  // namespace lorvante
