#include "platform/program_start.h"

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
  // posix_spawn returns once the child has run exec (its copies of the descriptors, all made
  // with O_CLOEXEC, are closed then) or has failed to.
  const std::unique_lock starting(StartWindow());
  return posix_spawn(pid, path, actions, nullptr, argv, environ);
}

std::shared_lock<std::shared_mutex> NoProgramStarting() {
  return std::shared_lock(StartWindow());
}

}  // namespace lorvante
