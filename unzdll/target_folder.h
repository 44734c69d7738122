// The folder the run writes into. Every folder below it is opened step by step relative to its
// parent, never through a symbolic link, and files are written as replacement files beside their
// name (platform/replacement_file.h) and renamed into place only when complete.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/replacement_file.h"
#include "platform/unique_fd.h"
#include "unzdll/failure.h"

namespace unzdll {

class TargetFolder {
 public:
  // Opens `path` (empty = the current folder). Returns nothing on failure.
  static std::optional<TargetFolder> Open(const std::string& path, Failure& failure);

  // The folder below the target named by `folders`, made when `create` is set and it is missing.
  // Returns a descriptor owned by this object, or -1 on failure; a symbolic link in the way is
  // an unsafe failure.
  int Folder(const std::vector<std::string>& folders, bool create, Failure& failure);

  // Whether this object made the folder below the target named by `folders` (it was empty then).
  bool Made(const std::vector<std::string>& folders) const;

  // Remembers a folder entry's time; applied by ApplyFolderTimes, deepest folders first.
  void RememberFolderTime(const std::vector<std::string>& folders, std::int64_t mtime);
  void ApplyFolderTimes();

 private:
  explicit TargetFolder(lorvante::UniqueFd root) : root_(std::move(root)) {}

  lorvante::UniqueFd root_;
  std::map<std::string, lorvante::UniqueFd> cache_;
  std::unordered_set<std::string> made_;  // the keys of the folders made
  std::vector<std::pair<std::vector<std::string>, std::int64_t>> folder_times_;
};

// A file being written under a temporary name in its folder; removed unless committed.
class TempFile {
 public:
  // Creates the temporary file in `folder_fd`; `mode` (under the umask) is the file's mode once
  // committed. Nothing on failure.
  static std::optional<TempFile> Create(int folder_fd, mode_t mode, Failure& failure);
  // The same in a folder whose path is known, made with its final mode at once, and without a
  // name while it is written where `naming` and the file system allow.
  static std::optional<TempFile> Create(int folder_fd, const std::string& folder_path, mode_t mode,
                                        lorvante::ReplacementFile::Naming naming, Failure& failure);

  int fd() const { return file_.Handle(); }
  // Empties the file for another try. False on failure.
  bool Rewind(Failure& failure);
  // Sets the time, closes and renames the file to `name`. False on failure.
  bool Commit(const std::string& name, std::int64_t mtime, Failure& failure);
  // Commit in two steps, so that the file can be closed where it was written and renamed where
  // the batch decides: Seal sets the time and closes the file, Place renames it to `name`.
  bool Seal(std::int64_t mtime, Failure& failure);
  bool Place(const std::string& name, Failure& failure);
  // Place into another folder, one made below the file's own folder after the file was.
  bool Place(int folder_fd, const std::string& name, Failure& failure);
  // Place into the folder open as `folder_fd` only where nothing stands under `name` (the
  // failure is then EEXIST).
  bool PlaceNew(int folder_fd, const std::string& name, Failure& failure);

 private:
  TempFile(lorvante::ReplacementFile file, mode_t mode) : file_(std::move(file)), mode_(mode) {}

  lorvante::ReplacementFile file_;
  mode_t mode_;
};

}  // namespace unzdll
