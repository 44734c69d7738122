#include "platform/owned_names.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>

namespace lorvante {
namespace {

const long long g_run_start = static_cast<long long>(std::time(nullptr));

}  // namespace

std::string OwnedNamePrefix(std::string_view prefix) {
  return std::string(prefix) + std::to_string(getpid()) + "-";
}

bool LeftByGoneProcess(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return false;
  name.remove_prefix(prefix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos) return false;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
  if (error != std::errc() || end != name.data() + dash || pid <= 0 || pid == getpid()) {
    return false;
  }
  // Only a process that is known not to exist; one of another user (EPERM) still runs.
  return kill(pid, 0) != 0 && errno == ESRCH;
}

long long RunStartTime() {
  return g_run_start;
}

}  // namespace lorvante
