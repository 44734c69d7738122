#include "platform/program_start.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

extern char** environ;

namespace lorvante {
namespace {

std::shared_mutex& StartWindow() {
  static std::shared_mutex window;
  return window;
}

}  // namespace

int StartProgram(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                 char* const argv[]) {
  const std::unique_lock starting(StartWindow());
  // The child's copy of this pipe's writing end, made close-on-exec as every descriptor of the
  // process, goes with its exec: the end of the pipe says the copies are gone, however the C
  // library (or a sanitizer's stand-in for it) starts the child.
  int exec_seen[2];
  if (pipe2(exec_seen, O_CLOEXEC) != 0) return errno;
  const int error = posix_spawn(pid, path, actions, nullptr, argv, environ);
  close(exec_seen[1]);
  if (error == 0) {
    char byte = 0;
    while (read(exec_seen[0], &byte, 1) < 0 && errno == EINTR) {
    }
  }
  close(exec_seen[0]);
  return error;
}

std::shared_lock<std::shared_mutex> NoProgramStarting() {
  return std::shared_lock(StartWindow());
}

}  // namespace lorvante
