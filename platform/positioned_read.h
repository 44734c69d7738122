// Reading a given number of bytes at a given place of a file, whatever the pieces the system
// hands them over in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/result.h"

namespace lorvante {

// Fills `out` with the bytes of `fd` from `offset` on, retrying short and interrupted reads, and
// returns how many were read: fewer than `out` holds only when the file ends first.
Result<std::size_t> ReadFullyAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out);

}  // namespace lorvante
