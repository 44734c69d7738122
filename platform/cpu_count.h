// How many processors this process may run on: the ones its affinity mask allows (so that a run
// pinned to one core, or a container's quota of cores, is not given threads it cannot use).
#pragma once

#include <cstddef>

namespace lorvante {

// At least 1.
std::size_t UsableCores();

}  // namespace lorvante
