// The folder the run writes into. Every folder below it is opened step by step relative to its
// parent, never through a symbolic link, and files are written under a temporary name in their
// folder and renamed into place only when complete.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "unzdll/failure.h"
#include "unzdll/unique_fd.h"

namespace unzdll {

class TargetFolder {
 public:
  // Opens `path` (empty = the current folder). Returns nothing on failure.
  static std::optional<TargetFolder> Open(const std::string& path, Failure& failure);

  // The folder below the target named by `folders`, made when `create` is set and it is missing.
  // Returns a descriptor owned by this object, or -1 on failure; a symbolic link in the way is
  // an unsafe failure.
  int Folder(const std::vector<std::string>& folders, bool create, Failure& failure);

  // Remembers a folder entry's time; applied by ApplyFolderTimes, deepest folders first.
  void RememberFolderTime(const std::vector<std::string>& folders, std::int64_t mtime);
  void ApplyFolderTimes();

 private:
  explicit TargetFolder(UniqueFd root) : root_(std::move(root)) {}

  UniqueFd root_;
  std::map<std::string, UniqueFd> cache_;
  std::vector<std::pair<std::vector<std::string>, std::int64_t>> folder_times_;
};

// A file being written under a temporary name in its folder; removed unless committed.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile();
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&&) = delete;
  TempFile(const TempFile&) = delete;

  // Creates the temporary file in `folder_fd` with `mode` (under the umask). Nothing on failure.
  static std::optional<TempFile> Create(int folder_fd, mode_t mode, Failure& failure);

  int fd() const { return fd_.get(); }
  // Empties the file for another try. False on failure.
  bool Rewind(Failure& failure);
  // Sets the time, closes and renames the file to `name`. False on failure.
  bool Commit(const std::string& name, std::int64_t mtime, Failure& failure);

 private:
  int folder_fd_ = -1;
  UniqueFd fd_;
  std::string name_;
};

}  // namespace unzdll
