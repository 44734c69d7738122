// Starting a helper program from a process whose other threads open and lock files.
//
// Between the start's copy of the process's descriptors and the helper's exec, the child holds a
// copy of every descriptor, and a lock taken through a descriptor (flock) stays with its open
// file until the last copy is closed: a file that one thread has just closed stays locked by the
// child until its exec closes the copies. Starting a helper and taking a lock therefore exclude
// each other: a lock is tried only while no helper is between its start and its exec.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <shared_mutex>

namespace lorvante {

// posix_spawn of `path`, returned once the helper runs its own program (or has ended, or failed
// to start): the error number, 0 on success, as posix_spawn.
int StartProgram(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                 char* const argv[]);

// Held while a lock is tried: no helper is between its start and its exec meanwhile.
std::shared_lock<std::shared_mutex> NoProgramStarting();

}  // namespace lorvante
