#include "unzdll/folder_cache.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace unzdll {
namespace {

// More folders than this are not held at once: the cache starts afresh (holders keep theirs).
constexpr std::size_t kMaxHeldFolders = 64;
constexpr char kDescriptorLinks[] = "/proc/self/fd/";

// The path of the folder open as `fd`; empty when unknown.
std::string PathOf(int fd) {
  const std::string link = kDescriptorLinks + std::to_string(fd);
  char path[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

std::shared_ptr<const HeldFolder> FolderCache::Get(const std::vector<std::string>& folders,
                                                   bool create, Failure& failure) {
  std::string key;
  for (const std::string& part : folders) key += part + '/';
  const std::lock_guard lock(mutex_);
  if (auto found = held_.find(key); found != held_.end()) return found->second;
  const int fd = target_.Folder(folders, create, failure);
  if (fd < 0) return nullptr;
  // A descriptor of its own: the target's cache may close its copy at any time.
  lorvante::UniqueFd own(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!own.valid()) {
    failure = Failure::System(errno);
    return nullptr;
  }
  auto held = std::make_shared<HeldFolder>();
  if (folders.empty()) {
    held->path = PathOf(own.get());
    root_path_ = held->path;
  } else {
    if (root_path_.empty()) root_path_ = PathOf(target_.Folder({}, false, failure));
    held->path = root_path_.empty() ? std::string() : root_path_ + '/' + key;
    if (!held->path.empty()) held->path.pop_back();  // the key's last '/'
  }
  held->fd = std::move(own);
  held->made_by_run = target_.Made(folders);
  if (held_.size() >= kMaxHeldFolders) held_.clear();
  held_.emplace(std::move(key), held);
  return held;
}

void FolderCache::WithTarget(const std::function<void(TargetFolder&)>& use) {
  const std::lock_guard lock(mutex_);
  use(target_);
}

}  // namespace unzdll
