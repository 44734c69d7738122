#include "platform/positioned_read.h"

#include <unistd.h>

#include <cerrno>

namespace lorvante {

PositionedRead ReadFullyAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const ssize_t n = ::pread(fd, out.data(), out.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {PositionedRead::kError, errno};
    if (n == 0) return {PositionedRead::kEndOfFile, 0};
    out = out.subspan(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return {};
}

}  // namespace lorvante
