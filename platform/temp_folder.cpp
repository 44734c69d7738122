#include "platform/temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/error_texts.h"
#include "platform/exceptions.h"
#include "platform/paths.h"

namespace lorvante {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Makes `folder` (mode 0700) unless it exists, and accepts it when it is private to `uid`.
bool MakePrivateFolder(const std::string& folder, uid_t uid) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) return false;
  if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) return false;
  return true;
}

std::string FreshPrivateFolder(const std::string& base, uid_t uid) {
  std::string pattern = base + "/lorvante-" + std::to_string(uid) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return {};
  return name.data();
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
  const char* tmpdir = std::getenv("TMPDIR");
  return PrivateTempFolder(tmpdir != nullptr ? tmpdir : "", geteuid());
}

FileStream CreatePrivateFile(const std::string& path) {
  const std::string folder = ExtractFilePath(path);
  if (folder.empty() || !IsPrivateFolder(folder, geteuid())) {
    throw EFCreateError(path, kErrorFolderNotPrivate);
  }
  FileStream::CreateOptions options;
  options.mode = 0600;
  options.no_follow = true;
  FileStream file = FileStream::Create(path, options);
  // A file left by an earlier run keeps nothing of a wider mode it may have been given.
  if (fchmod(file.Handle(), 0600) != 0) throw EFCreateError(path, static_cast<std::uint32_t>(errno));
  return file;
}

}  // namespace lorvante
