#include "unzdll/target_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace unzdll {
namespace {

constexpr std::size_t kMaxCachedFolders = 256;

timespec ToTimespec(std::int64_t seconds) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(seconds);
  return ts;
}

// True when `result` holds no failure; otherwise its failure goes to `failure`.
bool Kept(lorvante::Result<void> result, Failure& failure) {
  if (result) return true;
  failure = std::move(result).failure();
  return false;
}

// Opens one folder below `parent`, never following a symbolic link; makes it when asked, and
// then says so in `made`.
int OpenStep(int parent, const std::string& name, bool create, bool& made, Failure& failure) {
  made = false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) return fd;
    const int err = errno;
    if (err == ENOENT && create && attempt == 0) {
      made = ::mkdirat(parent, name.c_str(), 0777) == 0;
      if (made || errno == EEXIST) continue;
      failure = Failure::System(errno);
      return -1;
    }
    struct stat st {};
    const bool link = (err == ELOOP || err == ENOTDIR) &&
                      ::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode);
    if (link) {
      failure = Failure{err, "a symbolic link stands at \"" + name + "\"", true};
    } else if (err == ENOTDIR) {
      failure =
          Failure::SystemBecause(err, "a file stands where the folder \"" + name + "\" is needed");
    } else {
      failure = Failure::System(err);
    }
    return -1;
  }
  failure = Failure::System(ENOENT);
  return -1;
}

std::string Key(const std::vector<std::string>& folders, std::size_t count) {
  std::string key;
  for (std::size_t i = 0; i < count; ++i) key += folders[i] + '/';
  return key;
}

}  // namespace

std::optional<TargetFolder> TargetFolder::Open(const std::string& path, Failure& failure) {
  const std::string name = path.empty() ? "." : path;
  lorvante::UniqueFd fd(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) {
    failure = Failure::System(errno);
    return std::nullopt;
  }
  // What killed runs left anywhere below the folder: an extraction writes into its subfolders.
  lorvante::RemoveStaleReplacements(fd.get(), lorvante::StaleSearch::kWithSubfolders);
  return TargetFolder(std::move(fd));
}

int TargetFolder::Folder(const std::vector<std::string>& folders, bool create, Failure& failure) {
  if (folders.empty()) return root_.get();
  const std::string key = Key(folders, folders.size());
  if (auto found = cache_.find(key); found != cache_.end()) return found->second.get();
  if (cache_.size() >= kMaxCachedFolders) cache_.clear();
  // Start from the deepest folder already open.
  std::size_t depth = folders.size();
  int parent = root_.get();
  while (--depth > 0) {
    if (auto found = cache_.find(Key(folders, depth)); found != cache_.end()) {
      parent = found->second.get();
      break;
    }
  }
  // The folders on the way are kept open while the cache has room; beyond it only the folder of
  // the current step is, so a deep walk holds no descriptor per level.
  lorvante::UniqueFd step;
  for (; depth < folders.size(); ++depth) {
    bool made = false;
    lorvante::UniqueFd fd(OpenStep(parent, folders[depth], create, made, failure));
    if (!fd.valid()) return -1;
    if (made) made_.insert(Key(folders, depth + 1));
    parent = fd.get();
    if (depth + 1 == folders.size() || cache_.size() + 1 < kMaxCachedFolders) {
      cache_[Key(folders, depth + 1)] = std::move(fd);
    } else {
      step = std::move(fd);
    }
  }
  return parent;
}

bool TargetFolder::Made(const std::vector<std::string>& folders) const {
  return !folders.empty() && made_.contains(Key(folders, folders.size()));
}

void TargetFolder::RememberFolderTime(const std::vector<std::string>& folders, std::int64_t mtime) {
  folder_times_.emplace_back(folders, mtime);
}

void TargetFolder::ApplyFolderTimes() {
  std::stable_sort(folder_times_.begin(), folder_times_.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  for (const auto& [folders, mtime] : folder_times_) {
    Failure ignored;
    const int fd = Folder(folders, false, ignored);
    if (fd < 0) continue;
    const timespec times[2] = {ToTimespec(mtime), ToTimespec(mtime)};
    ::futimens(fd, times);
  }
  folder_times_.clear();
}

std::optional<TempFile> TempFile::Create(int folder_fd, mode_t mode, Failure& failure) {
  auto file = lorvante::ReplacementFile::Create(folder_fd);
  if (!file) {
    failure = std::move(file).failure();
    return std::nullopt;
  }
  return TempFile(std::move(file).value(), lorvante::FreshFileMode(mode));
}

std::optional<TempFile> TempFile::Create(int folder_fd, const std::string& folder_path, mode_t mode,
                                         lorvante::ReplacementFile::Naming naming,
                                         Failure& failure) {
  auto file = lorvante::ReplacementFile::Create(folder_fd, folder_path, mode, naming);
  if (!file) {
    failure = std::move(file).failure();
    return std::nullopt;
  }
  return TempFile(std::move(file).value(), lorvante::FreshFileMode(mode));
}

bool TempFile::Rewind(Failure& failure) {
  return Kept(file_.Rewind(), failure);
}

bool TempFile::Commit(const std::string& name, std::int64_t mtime, Failure& failure) {
  return Seal(mtime, failure) && Place(name, failure);
}

bool TempFile::Seal(std::int64_t mtime, Failure& failure) {
  const timespec times[2] = {ToTimespec(mtime), ToTimespec(mtime)};
  if (::futimens(file_.Handle(), times) != 0) {
    failure = Failure::System(errno);
    return false;
  }
  return Kept(file_.Finish(mode_), failure);
}

bool TempFile::Place(const std::string& name, Failure& failure) {
  return Kept(file_.RenameTo(name), failure);
}

bool TempFile::Place(int folder_fd, const std::string& name, Failure& failure) {
  return Kept(file_.RenameTo(folder_fd, name), failure);
}

bool TempFile::PlaceNew(int folder_fd, const std::string& name, Failure& failure) {
  return Kept(file_.PlaceNew(folder_fd, name), failure);
}

}  // namespace unzdll
