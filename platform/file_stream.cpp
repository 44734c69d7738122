#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "platform/error_texts.h"
#include "platform/program_start.h"

namespace lorvante {
namespace {

constexpr char kEndsEarly[] = "the file ends early";

// The failure of an open that found something other than a regular file; nothing for a
// regular file.
std::optional<Failure> CheckRegular(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return Failure::System(errno);
  if (S_ISDIR(st.st_mode)) return Failure::System(EISDIR);
  if (!S_ISREG(st.st_mode)) return Failure::Because(SystemErrorText(kErrorNotRegularFile));
  return std::nullopt;
}

// Regular files never block; the flag only kept a FIFO from hanging the open.
void ClearNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

Result<void> LockFile(int fd, bool exclusive) {
  // A helper being started may hold a copy of a descriptor whose lock would refuse this one.
  const auto no_start = NoProgramStarting();
  for (;;) {
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return {};
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) {
      return Failure::SystemBecause(EWOULDBLOCK, SystemErrorText(kErrorFileInUse));
    }
    return {};  // ENOLCK, EOPNOTSUPP, EINVAL: no locks on this file system
  }
}

Result<FileStream> FileStream::OpenRead(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Failure::System(errno);
  FileStream stream(fd, path);
  if (std::optional<Failure> failure = CheckRegular(fd)) return std::move(*failure);
  if (Result<void> locked = LockFile(fd, false); !locked) return std::move(locked).failure();
  ClearNonBlocking(fd);
  return stream;
}

Result<FileStream> FileStream::Create(const std::string& path, const CreateOptions& options) {
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (options.no_follow) flags |= O_NOFOLLOW;
  if (options.must_not_exist) flags |= O_EXCL;
  const int fd = open(path.c_str(), flags, options.mode);
  if (fd < 0) return Failure::System(errno);
  FileStream stream(fd, path);
  if (std::optional<Failure> failure = CheckRegular(fd)) return std::move(*failure);
  if (Result<void> locked = LockFile(fd, true); !locked) return std::move(locked).failure();
  // A file that is empty already (a new one) is left as it is: ext4 takes a truncation to zero
  // for the rewrite of a file and starts writing all of it out at close, in the closing process.
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size != 0) {
    if (ftruncate(fd, 0) != 0) return Failure::System(errno);
  }
  ClearNonBlocking(fd);
  return stream;
}

FileStream::FileStream(FileStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), written_(other.written_) {}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    written_ = other.written_;
  }
  return *this;
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

Result<std::size_t> FileStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, out + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failure::System(errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

Result<void> FileStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count == 0) return {};
  Result<std::size_t> read = Read(buffer, count);
  if (!read) return std::move(read).failure();
  if (*read != count) return Failure::Because(kEndsEarly);
  return {};
}

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
  const auto* in = static_cast<const char*>(buffer);
  std::size_t done = 0;
  written_ = true;
  while (done < count) {
    const ssize_t n = ::write(fd_, in + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

Result<void> FileStream::WriteBuffer(const void* buffer, std::size_t count) {
  errno = 0;
  if (Write(buffer, count) == count) return {};
  // A write that stored nothing without an error number: the disk is full.
  return Failure::System(errno != 0 ? errno : ENOSPC);
}

Result<std::int64_t> FileStream::Seek(std::int64_t offset, int whence) {
  const off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (position < 0) return Failure::System(errno);
  return static_cast<std::int64_t>(position);
}

Result<std::int64_t> FileStream::Size() const {
  struct stat st {};
  if (fstat(fd_, &st) != 0) return Failure::System(errno);
  return static_cast<std::int64_t>(st.st_size);
}

Result<void> FileStream::Close() {
  if (fd_ < 0) return {};
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && written_ && errno != EINTR) return Failure::System(errno);
  return {};
}

}  // namespace lorvante
