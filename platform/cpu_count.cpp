#include "platform/cpu_count.h"

#include <sched.h>

#include <thread>

namespace lorvante {

std::size_t UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<std::size_t>(count);
  }
  const unsigned known = std::thread::hardware_concurrency();
  return known > 0 ? known : 1;
}

}  // namespace lorvante
