// A file opened by this program, with the share modes the program relies on.
//
// Linux has no share modes, so they are kept among the program's own opens with advisory locks,
// taken before anything is changed: a reader holds a shared lock, a creator an exclusive one,
// neither waits. Only a lock held elsewhere ("would block") counts as "in use"; a file system
// that refuses locks is used without them. Only regular files are opened: a folder, FIFO or
// device is refused at once (opened without blocking, then its type is checked).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/result.h"

namespace lorvante {

class FileStream {
 public:
  struct CreateOptions {
    mode_t mode = 0666;           // permissions of a new file, under the umask
    bool no_follow = false;       // refuse a symbolic link at the name itself
    bool must_not_exist = false;  // refuse a name that is already taken (nothing is truncated)
  };

  // Opens an existing regular file for reading.
  static Result<FileStream> OpenRead(const std::string& path);
  // Creates a regular file anew, or truncates it once the lock is held, for reading and writing.
  static Result<FileStream> Create(const std::string& path, const CreateOptions& options);
  static Result<FileStream> Create(const std::string& path) {
    return Create(path, CreateOptions{});
  }

  FileStream(FileStream&& other) noexcept;
  FileStream& operator=(FileStream&& other) noexcept;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  ~FileStream();  // closes without reporting; call Close() to learn whether the data reached the
                  // file

  // Reads up to `count` bytes and returns how many were read: fewer only at the end of the file.
  Result<std::size_t> Read(void* buffer, std::size_t count);
  // Reads exactly `count` bytes; a file that ends before is a failure too.
  Result<void> ReadBuffer(void* buffer, std::size_t count);
  // Writes `count` bytes and returns how many were stored (fewer when the disk is full).
  std::size_t Write(const void* buffer, std::size_t count);
  // Writes exactly `count` bytes.
  Result<void> WriteBuffer(const void* buffer, std::size_t count);

  // Moves the position (whence: SEEK_SET, SEEK_CUR, SEEK_END) and returns the new one.
  Result<std::int64_t> Seek(std::int64_t offset, int whence);
  Result<std::int64_t> Position() { return Seek(0, SEEK_CUR); }
  Result<std::int64_t> Size() const;

  // Closes the file; fails when a file that was written fails to close.
  Result<void> Close();

  bool IsOpen() const { return fd_ >= 0; }
  int Handle() const { return fd_; }
  const std::string& FileName() const { return path_; }

 private:
  FileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_ = -1;
  std::string path_;
  bool written_ = false;
};

// Takes a lock of this program's share modes on an open descriptor without waiting. Fails when
// another open holds a conflicting lock; a file system without locks counts as success.
Result<void> LockFile(int fd, bool exclusive);

}  // namespace lorvante
