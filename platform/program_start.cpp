#include "platform/program_start.h"

#include <spawn.h>

#include <algorithm>
#include <mutex>

extern char** environ;

namespace lorvante {
namespace {

std::shared_mutex& StartWindow() {
  static std::shared_mutex window;
  return window;
}

}  // namespace

int StartProgram(pid_t* pid, const char* path, std::initializer_list<HandedDescriptor> handed,
                 char* const argv[]) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int first_free = 3;
  for (const HandedDescriptor& descriptor : handed) {
    posix_spawn_file_actions_adddup2(&actions, descriptor.fd, descriptor.as);
    first_free = std::max(first_free, descriptor.as + 1);
  }
  // The helper's copies of the process's other descriptors go before its program runs; the C
  // library's start returns only after that (the child shares the parent's memory until exec).
  posix_spawn_file_actions_addclosefrom_np(&actions, first_free);
  int error = 0;
  {
    const std::unique_lock starting(StartWindow());
    error = posix_spawn(pid, path, &actions, nullptr, argv, environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

std::shared_lock<std::shared_mutex> NoProgramStarting() {
  return std::shared_lock(StartWindow());
}

}  // namespace lorvante
