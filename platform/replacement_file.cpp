#include "platform/replacement_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <tuple>
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
constexpr std::uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ull;

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

// The unique part of a name: a counter of this process, scrambled with a secret drawn once, so
// that names are neither repeated by two threads nor guessed from outside (O_EXCL and a retry
// cover the rest) and cost no system call each.
std::string UniquePart() {
  static const std::uint64_t secret = [] {
    std::uint64_t value = 0;
    if (getentropy(&value, sizeof value) != 0) value = static_cast<std::uint64_t>(std::rand());
    return value;
  }();
  static std::atomic<std::uint64_t> counter{0};
  // splitmix64: distinct counters give distinct values.
  std::uint64_t x = secret + counter.fetch_add(1, std::memory_order_relaxed) * kGoldenGamma;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  std::string part;
  for (std::size_t i = 0; i < kUniqueLength; ++i) {
    part += kLetters[x % (sizeof kLetters - 1)];
    x /= sizeof kLetters - 1;
  }
  return part;
}

// "<prefix><pid>-", made once per process (again in the child after a fork).
std::atomic<bool> g_forked{false};

std::string ProcessPrefix() {
  static std::once_flag registered;
  std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, [] { g_forked = true; }); });
  static std::mutex mutex;
  static std::string prefix;
  const std::lock_guard lock(mutex);
  if (prefix.empty() || g_forked.exchange(false)) prefix = OwnedNamePrefix(kNamePrefix);
  return prefix;
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

// How a file without a name gets one: through its descriptor (which older kernels allow only to a
// privileged process), through its link in /proc, or not at all. Found with the first such file
// of the process and kept.
enum class LinkWay : int { kUnknown, kDescriptor, kProcLink, kNone };
std::atomic<LinkWay> g_link_way{LinkWay::kUnknown};

int LinkThrough(LinkWay way, int fd, int folder_fd, const char* name) {
  if (way == LinkWay::kDescriptor) return linkat(fd, "", folder_fd, name, AT_EMPTY_PATH);
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  return linkat(AT_FDCWD, link, folder_fd, name, AT_SYMLINK_FOLLOW);
}

// The way to link the file open as `fd`: each is tried with the name ".", which exists, so that
// EEXIST says the way is open and nothing is linked.
LinkWay WayToLink(int fd, int folder_fd) {
  LinkWay way = g_link_way.load(std::memory_order_relaxed);
  if (way != LinkWay::kUnknown) return way;
  way = LinkWay::kNone;
  for (const LinkWay tried : {LinkWay::kDescriptor, LinkWay::kProcLink}) {
    if (LinkThrough(tried, fd, folder_fd, ".") != 0 && errno == EEXIST) {
      way = tried;
      break;
    }
  }
  g_link_way.store(way, std::memory_order_relaxed);
  return way;
}

// Threads of one process make their files one at a time: when several search a folder's group of
// inodes at once, the file system spins on the group's lock, and on a file system where many
// files were deleted shortly before (whose inodes it avoids for a while) two threads took twice
// the time of one. Writing the files stays parallel.
std::mutex g_making;

// A file without a name in the folder open as `fd`, or -1 where the file system or the kernel
// cannot make or link one.
int CreateUnnamed(int folder_fd, mode_t mode) {
  if (g_link_way.load(std::memory_order_relaxed) == LinkWay::kNone) return -1;
  std::unique_lock making(g_making);
  const int fd = openat(folder_fd, ".", O_RDWR | O_TMPFILE | O_CLOEXEC, mode & 07777);
  making.unlock();
  if (fd < 0) return -1;
  if (WayToLink(fd, folder_fd) == LinkWay::kNone) {
    close(fd);
    return -1;
  }
  return fd;
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

mode_t FreshFileMode(mode_t requested) {
  return requested & ~ProcessUmask() & 07777;
}

Result<ReplacementFile> ReplacementFile::Create(int folder_fd) {
  return Create(folder_fd, FolderPath(folder_fd), kWhileWritten);
}

Result<ReplacementFile> ReplacementFile::Create(int folder_fd, const std::string& folder_path,
                                                mode_t mode, Naming naming) {
  if (naming == Naming::kUnnamedWherePossible) {
    // Any failure here leaves the hidden name, which fails as loudly when the folder refuses.
    if (const int fd = CreateUnnamed(folder_fd, mode); fd >= 0) {
      ReplacementFile file;
      file.folder_fd_ = folder_fd;
      file.fd_ = fd;
      file.mode_ = FreshFileMode(mode);
      file.unnamed_ = true;
      return file;
    }
  }
  const std::string prefix = ProcessPrefix();
  // As mkstemp does, but relative to the folder's descriptor.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::string name = prefix + UniquePart() + kNameSuffix;
    const int fd = openat(folder_fd, name.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 07777);
    if (fd >= 0) {
      ReplacementFile file;
      file.folder_fd_ = folder_fd;
      file.fd_ = fd;
      file.mode_ = FreshFileMode(mode);
      file.name_ = std::move(name);
      if (!folder_path.empty()) {
        file.on_signal_ = std::make_unique<RemoveOnSignal>(folder_path + "/" + file.name_,
                                                           RemoveOnSignal::Kind::kFile);
      }
      return file;
    }
    if (errno != EEXIST) break;
  }
  return Failure::System(errno);
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : folder_fd_(other.folder_fd_),
      fd_(std::exchange(other.fd_, -1)),
      mode_(other.mode_),
      name_(std::move(other.name_)),
      unnamed_(other.unnamed_),
      on_signal_(std::move(other.on_signal_)) {
  other.name_.clear();
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    Remove();
    folder_fd_ = other.folder_fd_;
    fd_ = std::exchange(other.fd_, -1);
    mode_ = other.mode_;
    name_ = std::exchange(other.name_, {});
    unnamed_ = other.unnamed_;
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

Result<void> ReplacementFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd_, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure::System(errno);
    // A write that stores nothing without an error number: the disk is full.
    if (n == 0) return Failure::System(ENOSPC);
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return {};
}

Result<void> ReplacementFile::Rewind() {
  if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0) return Failure::System(errno);
  return {};
}

Result<void> ReplacementFile::Finish(mode_t mode) {
  if ((mode & 07777) != mode_ && fchmod(fd_, mode & 07777) != 0) return Failure::System(errno);
  if (unnamed_) return {};  // its descriptor is all there is of it until it is linked
  const int fd = std::exchange(fd_, -1);
  if (close(fd) != 0 && errno != EINTR) return Failure::System(errno);
  return {};
}

Result<void> ReplacementFile::RenameTo(const std::string& name) {
  return RenameTo(folder_fd_, name);
}

Result<void> ReplacementFile::RenameTo(int to_folder_fd, const std::string& name) {
  if (unnamed_) return LinkAs(to_folder_fd, name);
  if (Result<void> placed = PlaceNew(to_folder_fd, name);
      placed || placed.failure().error != EEXIST) {
    return placed;
  }
  // The name is taken: the old file is replaced only by a file whose content is on the disk, and
  // the folder's new entry follows it there, so that a power cut leaves the old content or the
  // new, never an empty file.
  if (Result<void> flushed = FlushContent(); !flushed) return flushed;
  Result<void> moved = MoveTo(to_folder_fd, name);
  if (moved) FlushFolder(to_folder_fd);
  return moved;
}

Result<void> ReplacementFile::MoveTo(int to_folder_fd, const std::string& name) {
  if (renameat(folder_fd_, name_.c_str(), to_folder_fd, name.c_str()) != 0) {
    return Failure::System(errno);
  }
  name_.clear();
  on_signal_.reset();
  return {};
}

Result<void> ReplacementFile::FlushContent() const {
  if (fd_ >= 0) {
    if (fdatasync(fd_) != 0) return Failure::System(errno);
    return {};
  }
  // A finished file is closed: it is opened again by its hidden name, for the flush alone.
  const int fd = openat(folder_fd_, name_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Failure::System(errno);
  const int synced = fdatasync(fd);
  const int error = errno;
  close(fd);
  if (synced != 0) return Failure::System(error);
  return {};
}

void ReplacementFile::FlushFolder(int folder_fd) {
  // The file is in place already; a folder that cannot be flushed (a file system without it)
  // changes nothing of that.
  fsync(folder_fd);
}

Result<void> ReplacementFile::LinkAs(int to_folder_fd, const std::string& name) {
  if (Result<void> placed = PlaceNew(to_folder_fd, name);
      placed || placed.failure().error != EEXIST) {
    return placed;
  }
  // The name is taken: the file is linked beside it under a hidden name and renamed over it, so
  // that the old file is replaced in one step.
  const LinkWay way = g_link_way.load(std::memory_order_relaxed);
  std::string hidden;
  for (int attempt = 0; hidden.empty() && attempt < kCreateAttempts; ++attempt) {
    std::string candidate = ProcessPrefix() + UniquePart() + kNameSuffix;
    if (LinkThrough(way, fd_, to_folder_fd, candidate.c_str()) == 0)
      hidden = std::move(candidate);
    else if (errno != EEXIST)
      return Failure::System(errno);
  }
  if (hidden.empty()) return Failure::System(EEXIST);
  if (Result<void> flushed = FlushContent(); !flushed) {
    unlinkat(to_folder_fd, hidden.c_str(), 0);
    return flushed;
  }
  if (renameat(to_folder_fd, hidden.c_str(), to_folder_fd, name.c_str()) != 0) {
    const int error = errno;
    unlinkat(to_folder_fd, hidden.c_str(), 0);
    return Failure::System(error);
  }
  Result<void> closed = CloseLinked(to_folder_fd, name);
  if (closed) FlushFolder(to_folder_fd);
  return closed;
}

Result<void> ReplacementFile::CloseLinked(int to_folder_fd, const std::string& name) {
  // A failed close is a failed write.
  const int fd = std::exchange(fd_, -1);
  unnamed_ = false;
  if (close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    unlinkat(to_folder_fd, name.c_str(), 0);
    return Failure::System(error);
  }
  return {};
}

Result<void> ReplacementFile::PlaceNew(int to_folder_fd, const std::string& name) {
  if (unnamed_) {
    const LinkWay way = g_link_way.load(std::memory_order_relaxed);
    if (LinkThrough(way, fd_, to_folder_fd, name.c_str()) != 0) return Failure::System(errno);
    return CloseLinked(to_folder_fd, name);
  }
  if (renameat2(folder_fd_, name_.c_str(), to_folder_fd, name.c_str(), RENAME_NOREPLACE) == 0) {
    name_.clear();
    on_signal_.reset();
    return {};
  }
  if (errno != EINVAL) return Failure::System(errno);
  // A file system that cannot rename without replacing: the name is looked at first.
  struct stat st {};
  if (fstatat(to_folder_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    return Failure::System(EEXIST);
  }
  return MoveTo(to_folder_fd, name);
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
  // The copy shares the position of the caller's descriptor, which an earlier listing may have
  // left at the end.
  rewinddir(folder);
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

// The folders searched while a StaleSweepMemory lives: device, inode and reach.
struct SweptFolders {
  std::mutex mutex;
  bool active = false;
  std::set<std::tuple<dev_t, ino_t, bool>> folders;
};

SweptFolders& Swept() {
  static SweptFolders swept;
  return swept;
}

// False when the folder was searched with this reach while the memory lives.
bool FirstSearchOf(const struct stat& folder, StaleSearch search) {
  SweptFolders& swept = Swept();
  const std::lock_guard lock(swept.mutex);
  if (!swept.active) return true;
  return swept.folders.emplace(folder.st_dev, folder.st_ino, search == StaleSearch::kWithSubfolders)
      .second;
}

}  // namespace

StaleSweepMemory::StaleSweepMemory() {
  SweptFolders& swept = Swept();
  const std::lock_guard lock(swept.mutex);
  swept.active = true;
}

StaleSweepMemory::~StaleSweepMemory() {
  SweptFolders& swept = Swept();
  const std::lock_guard lock(swept.mutex);
  swept.active = false;
  swept.folders.clear();
}

void RemoveStaleReplacements(int folder_fd, StaleSearch search) {
  struct stat st {};
  if (fstat(folder_fd, &st) != 0) return;
  if (!FirstSearchOf(st, search)) return;
  RemoveStaleIn(folder_fd, st.st_dev,
                search == StaleSearch::kWithSubfolders ? kStaleSearchDepth : 0);
}

}  // namespace lorvante
