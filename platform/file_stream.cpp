#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/error_texts.h"
#include "platform/exceptions.h"

namespace lorvante {
namespace {

// errno of an open that found something other than a regular file.
std::uint32_t CheckRegular(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return static_cast<std::uint32_t>(errno);
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return kErrorNotRegularFile;
  return 0;
}

// Regular files never block; the flag only kept a FIFO from hanging the open.
void ClearNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

std::uint32_t LockFile(int fd, bool exclusive) {
  for (;;) {
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return kErrorFileInUse;
    return 0;  // ENOLCK, EOPNOTSUPP, EINVAL: no locks on this file system
  }
}

FileStream FileStream::OpenRead(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) throw EFOpenError(path, static_cast<std::uint32_t>(errno));
  FileStream stream(fd, path);
  if (const std::uint32_t error = CheckRegular(fd)) throw EFOpenError(path, error);
  if (const std::uint32_t error = LockFile(fd, false)) throw EFOpenError(path, error);
  ClearNonBlocking(fd);
  return stream;
}

FileStream FileStream::Create(const std::string& path, const CreateOptions& options) {
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (options.no_follow) flags |= O_NOFOLLOW;
  if (options.must_not_exist) flags |= O_EXCL;
  const int fd = open(path.c_str(), flags, options.mode);
  if (fd < 0) throw EFCreateError(path, static_cast<std::uint32_t>(errno));
  FileStream stream(fd, path);
  if (const std::uint32_t error = CheckRegular(fd)) throw EFCreateError(path, error);
  if (const std::uint32_t error = LockFile(fd, true)) throw EFCreateError(path, error);
  // A file that is empty already (a new one) is left as it is: ext4 takes a truncation to zero
  // for the rewrite of a file and starts writing all of it out at close, in the closing process.
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size != 0) {
    if (ftruncate(fd, 0) != 0) throw EFCreateError(path, static_cast<std::uint32_t>(errno));
  }
  ClearNonBlocking(fd);
  return stream;
}

FileStream::FileStream(FileStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      written_(other.written_) {}

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

std::size_t FileStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, out + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EReadError();
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void FileStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError();
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

void FileStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (Write(buffer, count) != count) throw EWriteError();
}

std::int64_t FileStream::Seek(std::int64_t offset, int whence) {
  return static_cast<std::int64_t>(::lseek(fd_, static_cast<off_t>(offset), whence));
}

std::int64_t FileStream::Size() const {
  struct stat st {};
  if (fstat(fd_, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

void FileStream::Close() {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && written_ && errno != EINTR) throw EWriteError();
}

}  // namespace lorvante
