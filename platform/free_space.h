// The room left on the file system that holds a path, for a run that checks before it writes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace lorvante {

// The bytes this process may still write on the file system that holds `path`: those free to
// everyone, and to a privileged process those kept for it as well.
Result<std::uint64_t> FreeBytes(const std::string& path);

}  // namespace lorvante
