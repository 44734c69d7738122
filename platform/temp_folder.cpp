#include "platform/temp_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "platform/error_texts.h"
#include "platform/owned_names.h"
#include "platform/paths.h"
#include "platform/signal_cleanup.h"

namespace lorvante {
namespace {

// Makes `folder` (mode 0700) unless it exists, and accepts it when it is private to `uid`.
bool MakePrivateFolder(const std::string& folder, uid_t uid) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) return false;
  if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) return false;
  return true;
}

constexpr char kRunPrefix[] = "run-";

// $TMPDIR, empty when it is not set (for /tmp).
std::string SystemTempBase() {
  const char* tmpdir = std::getenv("TMPDIR");
  return tmpdir != nullptr ? tmpdir : "";
}

// "lorvante-<uid>-": the fresh folders made where the private one could not be had.
std::string FreshPrefix(uid_t uid) {
  return "lorvante-" + std::to_string(uid) + "-";
}

// mkdtemp of `folder` + `prefix` + "XXXXXX"; empty when it fails.
std::string MakeUniqueFolder(const std::string& folder, const std::string& prefix) {
  std::string pattern = folder + "/" + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return {};
  return name.data();
}

std::string FreshPrivateFolder(const std::string& base, uid_t uid) {
  return MakeUniqueFolder(base, OwnedNamePrefix(FreshPrefix(uid)));
}

// Whether the folders of gone runs in `parent` are still to be removed by this process: once per
// parent, since no run can go while this one lives and leave its folder there unseen (a run
// killed later is seen by the next process).
bool FirstSweepOf(const std::string& parent) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  const std::lock_guard lock(mutex);
  return swept.insert(parent).second;
}

// Removes the folders in `parent` named "<prefix><pid>-..." whose process has gone: only real
// folders of `uid`, with what is in them (links in them are removed, never followed).
void RemoveFoldersOfGoneRuns(const std::string& parent, const std::string& prefix, uid_t uid) {
  if (!FirstSweepOf(parent + "/" + prefix)) return;
  DIR* folder = opendir(parent.empty() ? "/" : parent.c_str());
  if (folder == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* entry = readdir(folder)) {
    if (LeftByGoneProcess(entry->d_name, prefix)) stale.push_back(parent + "/" + entry->d_name);
  }
  closedir(folder);
  for (const std::string& path : stale) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) continue;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
}

}  // namespace

bool IsPrivateFolder(const std::string& folder, uid_t uid) {
  struct stat st {};
  return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
         (st.st_mode & 077) == 0;
}

std::string PrivateTempFolder(const std::string& base, uid_t uid) {
  const std::string root = WithoutTrailingSlashes(base.empty() ? "/tmp" : base);
  const std::string preferred = (root == "/" ? "" : root) + "/lorvante-" + std::to_string(uid);
  if (MakePrivateFolder(preferred, uid)) return preferred + "/";
  for (const std::string& where : {root, std::string("/tmp")}) {
    const std::string fresh = FreshPrivateFolder(where == "/" ? "" : where, uid);
    if (!fresh.empty()) return fresh + "/";
  }
  return preferred + "/";
}

std::string GetTempFolder() {
  return PrivateTempFolder(SystemTempBase(), geteuid());
}

RunFolder::RunFolder(const std::string& base, uid_t uid) {
  // Absolute from the start: a dialog may change the current directory later.
  const std::string root = WithoutTrailingSlashes(ExpandFileName(base.empty() ? "/tmp" : base));
  const std::string parent = WithoutTrailingSlashes(PrivateTempFolder(root, uid));
  const std::string preferred = (root == "/" ? "" : root) + "/lorvante-" + std::to_string(uid);
  if (parent == preferred) {
    if (IsPrivateFolder(parent, uid)) {
      RemoveFoldersOfGoneRuns(parent, kRunPrefix, uid);
      path_ = MakeUniqueFolder(parent, OwnedNamePrefix(kRunPrefix));
    }
  } else {
    // A fresh folder of this run's own: it is the run's folder. Those of gone runs beside it go.
    path_ = parent;
    RemoveFoldersOfGoneRuns(std::filesystem::path(parent).parent_path().string(), FreshPrefix(uid),
                            uid);
  }
  made_ = !path_.empty();
  if (!made_) {
    path_ = preferred + "/" + OwnedNamePrefix(kRunPrefix) + "unavailable/";
    return;
  }
  on_signal_ = std::make_unique<RemoveOnSignal>(path_, RemoveOnSignal::Kind::kFolder);
  path_ += "/";
}

RunFolder::RunFolder() : RunFolder(SystemTempBase(), geteuid()) {}

RunFolder::~RunFolder() {
  if (made_) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  on_signal_.reset();
}

RunFolderHold::RunFolderHold() {
  static std::mutex mutex;
  static std::weak_ptr<const RunFolder> shared;
  static std::string shared_base;
  const std::string base = SystemTempBase();
  const std::lock_guard lock(mutex);
  folder_ = shared.lock();
  if (folder_ && shared_base == base) return;
  folder_ = std::make_shared<const RunFolder>(base, geteuid());
  shared = folder_;
  shared_base = base;
}

Result<FileStream> CreatePrivateFile(const std::string& path) {
  const std::string folder = ExtractFilePath(path);
  if (folder.empty() || !IsPrivateFolder(folder, geteuid())) {
    return Failure::Because(SystemErrorText(kErrorFolderNotPrivate));
  }
  FileStream::CreateOptions options;
  options.mode = 0600;
  options.no_follow = true;
  Result<FileStream> file = FileStream::Create(path, options);
  // A file left by an earlier run keeps nothing of a wider mode it may have been given.
  if (file && fchmod(file->Handle(), 0600) != 0) return Failure::System(errno);
  return file;
}

}  // namespace lorvante
