// Starting a helper program from a process whose other threads open and lock files.
//
// A child holds a copy of every descriptor of the process until it closes them, and a lock taken
// through a descriptor (flock) stays with its open file until the last copy is closed: a file
// that one thread has just closed would stay locked by a helper being started meanwhile. So the
// helper closes every descriptor it is not handed before it runs its program, the start returns
// only then, and starting a helper and taking a lock exclude each other.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <shared_mutex>

namespace lorvante {

// A descriptor of the process that the helper gets as descriptor `as`.
struct HandedDescriptor {
  int fd;
  int as;
};

// Starts `path` with `argv`, the environment of the process and the `handed` descriptors (every
// other one closed in the helper before its program runs); returns once the helper runs its
// program or failed to: the error number, 0 on success, as posix_spawn.
int StartProgram(pid_t* pid, const char* path, std::initializer_list<HandedDescriptor> handed,
                 char* const argv[]);

// Held while a lock is tried: no helper is between its start and its program meanwhile.
std::shared_lock<std::shared_mutex> NoProgramStarting();

}  // namespace lorvante
