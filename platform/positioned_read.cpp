#include "platform/positioned_read.h"

#include <unistd.h>

#include <cerrno>

namespace lorvante {

Result<std::size_t> ReadFullyAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n =
        ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure::System(errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace lorvante
