#include "platform/free_space.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace lorvante {

Result<std::uint64_t> FreeBytes(const std::string& path) {
  struct statvfs st {};
  if (statvfs(path.empty() ? "." : path.c_str(), &st) != 0) return Failure::System(errno);
  const std::uint64_t blocks = geteuid() == 0 ? st.f_bfree : st.f_bavail;
  const std::uint64_t unit = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
  if (unit != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / unit) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return blocks * unit;
}

}  // namespace lorvante
