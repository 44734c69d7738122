// Reading a given number of bytes at a given place of a file, whatever the pieces the system
// hands them over in.
#pragma once

#include <cstdint>
#include <span>

namespace lorvante {

struct PositionedRead {
  enum Status { kRead, kEndOfFile, kError };
  Status status = kRead;
  int error = 0;  // the errno of a failed read (kError)

  explicit operator bool() const { return status == kRead; }
};

// Fills `out` with the bytes of `fd` from `offset` on, retrying short and interrupted reads.
// kEndOfFile when the file ends before `out` is full.
PositionedRead ReadFullyAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out);

}  // namespace lorvante
