#include "platform/replacement_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/owned_names.h"
#include "platform/signal_cleanup.h"

namespace lorvante {
namespace {

constexpr char kNamePrefix[] = ".lorvante-";
constexpr char kNameSuffix[] = ".tmp";
constexpr mode_t kWhileWritten = 0600;
constexpr int kCreateAttempts = 64;
constexpr std::size_t kUniqueLength = 6;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// The process's umask, read without changing it where the system reports it.
mode_t ProcessUmask() {
  static const mode_t mask = [] {
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
      char line[256];
      unsigned value = 0;
      bool found = false;
      while (!found && std::fgets(line, sizeof line, status) != nullptr) {
        found = std::sscanf(line, "Umask: %o", &value) == 1;
      }
      std::fclose(status);
      if (found) return static_cast<mode_t>(value);
    }
    const mode_t old = umask(022);
    umask(old);
    return old;
  }();
  return mask;
}

// The path of the folder open as `fd`, for the removal on a signal; empty when unknown.
std::string FolderPath(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[PATH_MAX];
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<std::size_t>(n));
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

mode_t FreshFileMode(mode_t requested) {
  return requested & ~ProcessUmask() & 07777;
}

std::optional<ReplacementFile> ReplacementFile::Create(int folder_fd, int& error) {
  const std::string folder = FolderPath(folder_fd);
  const std::string prefix = OwnedNamePrefix(kNamePrefix);
  // As mkstemp does, but relative to the folder's descriptor.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    unsigned char bytes[kUniqueLength];
    if (getentropy(bytes, sizeof bytes) != 0) {
      for (unsigned char& b : bytes) b = static_cast<unsigned char>(std::rand());
    }
    std::string name = prefix;
    for (const unsigned char b : bytes) name += kLetters[b % (sizeof kLetters - 1)];
    name += kNameSuffix;
    const int fd = openat(folder_fd, name.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kWhileWritten);
    if (fd >= 0) {
      ReplacementFile file;
      file.folder_fd_ = folder_fd;
      file.fd_ = fd;
      file.name_ = std::move(name);
      if (!folder.empty()) {
        file.on_signal_ = std::make_unique<RemoveOnSignal>(folder + "/" + file.name_,
                                                           RemoveOnSignal::Kind::kFile);
      }
      return file;
    }
    if (errno != EEXIST) break;
  }
  error = errno;
  return std::nullopt;
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : folder_fd_(other.folder_fd_),
      fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      on_signal_(std::move(other.on_signal_)) {
  other.name_.clear();
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    Remove();
    folder_fd_ = other.folder_fd_;
    fd_ = std::exchange(other.fd_, -1);
    name_ = std::exchange(other.name_, {});
    on_signal_ = std::move(other.on_signal_);
  }
  return *this;
}

ReplacementFile::~ReplacementFile() {
  Remove();
}

void ReplacementFile::Remove() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!name_.empty()) unlinkat(folder_fd_, name_.c_str(), 0);
  name_.clear();
  on_signal_.reset();
}

bool ReplacementFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd_, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplacementFile::Rewind() {
  return ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0;
}

int ReplacementFile::Finish(mode_t mode) {
  if (fchmod(fd_, mode & 07777) != 0) return errno;
  const int fd = std::exchange(fd_, -1);
  if (close(fd) != 0 && errno != EINTR) return errno;
  return 0;
}

int ReplacementFile::RenameTo(const std::string& name) {
  if (renameat(folder_fd_, name_.c_str(), folder_fd_, name.c_str()) != 0) return errno;
  name_.clear();
  on_signal_.reset();
  return 0;
}

namespace {

bool IsDotOrDotDot(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Removes the stale replacement files of the folder open as `folder_fd`, then searches its
// subfolders `levels_left` levels down, on the file system `device`.
void RemoveStaleIn(int folder_fd, dev_t device, int levels_left) {
  const int fd = fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return;
  DIR* folder = fdopendir(fd);
  if (folder == nullptr) {
    close(fd);
    return;
  }
  std::vector<std::string> subfolders;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    const bool maybe_folder = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
    if (levels_left > 0 && maybe_folder && !IsDotOrDotDot(entry->d_name)) {
      subfolders.push_back(name);
    }
    if (!EndsWith(name, kNameSuffix) || !LeftByGoneProcess(name, kNamePrefix)) continue;
    struct stat st {};
    if (fstatat(folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_mtime > RunStartTime()) continue;
    unlinkat(folder_fd, name.c_str(), 0);
  }
  closedir(folder);
  // One descriptor per level at a time: the listing above is closed before going down.
  for (const std::string& name : subfolders) {
    const int sub =
        openat(folder_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) continue;  // a link, no folder, or not readable
    struct stat st {};
    if (fstat(sub, &st) == 0 && st.st_dev == device) RemoveStaleIn(sub, device, levels_left - 1);
    close(sub);
  }
}

}  // namespace

void RemoveStaleReplacements(int folder_fd, StaleSearch search) {
  struct stat st {};
  if (fstat(folder_fd, &st) != 0) return;
  RemoveStaleIn(folder_fd, st.st_dev,
                search == StaleSearch::kWithSubfolders ? kStaleSearchDepth : 0);
}

}  // namespace lorvante
