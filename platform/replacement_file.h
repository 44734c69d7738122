// A file written beside the name it is meant for and renamed over that name only when complete.
//
// It is made in the folder of the final name (so that the rename replaces the old file in one
// step), or, while that folder does not exist yet, in the nearest folder above it that does;
// hidden and named ".lorvante-<pid>-XXXXXX.tmp" so that a later run can tell that its writer has
// gone, with mode 0600 while it is written. Finish gives it its final mode and closes
// it (a failed close is a failed write); RenameTo puts it in place. On every other way out it is
// removed: its destructor, and the signal handlers while it exists.
//
// Where the file system and the kernel allow it, a file of many in a row has no name at all while
// it is written (O_TMPFILE): nothing of it is seen in the folder, a killed process leaves nothing
// of it, and RenameTo links it under its name. Such a file stays open until then.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

#include "platform/result.h"

namespace lorvante {

class RemoveOnSignal;

class ReplacementFile {
 public:
  // Creates the file in the folder open as `folder_fd`, which must stay open while the file
  // lives.
  static Result<ReplacementFile> Create(int folder_fd);
  // As Create, for many files in a row: the folder's path (for the removal on a signal) is
  // given, not looked up, and the file is made with `mode` under the umask rather than 0600, so
  // that Finish has no mode to change when it is given the same mode.
  enum class Naming { kHidden, kUnnamedWherePossible };
  static Result<ReplacementFile> Create(int folder_fd, const std::string& folder_path, mode_t mode,
                                        Naming naming = Naming::kHidden);

  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&& other) noexcept;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile();

  int Handle() const { return fd_; }
  // The hidden name in its folder; empty for a file without a name.
  const std::string& Name() const { return name_; }
  // Whether the file is written without a name.
  bool Unnamed() const { return unnamed_; }

  // Writes all `size` bytes; fails when fewer could be written (a full disk).
  Result<void> Write(const void* data, std::size_t size);
  // Empties the file for another try.
  Result<void> Rewind();
  // Gives the file its final permissions (when it has others) and closes it (a file without a
  // name is closed once it is linked under its name).
  Result<void> Finish(mode_t mode);
  // Renames the finished file to `name` in its folder, replacing what is there. A file that
  // replaces another is flushed to the disk before the rename, and the folder after it; a file
  // that takes a free name is not.
  Result<void> RenameTo(const std::string& name);
  // The same into the folder open as `to_folder_fd`, below the file's own folder on its file
  // system (a folder made after the file, which is then written in the nearest folder that
  // already stood).
  Result<void> RenameTo(int to_folder_fd, const std::string& name);
  // As RenameTo, but only where nothing stands under `name`: fails with EEXIST otherwise, and
  // the file stays as it was.
  Result<void> PlaceNew(int to_folder_fd, const std::string& name);

 private:
  ReplacementFile() = default;
  void Remove();
  // Links a file without a name under `name` in the folder open as `to_folder_fd`, replacing
  // what is there in one step, and closes it.
  Result<void> LinkAs(int to_folder_fd, const std::string& name);
  // Closes a file without a name once it is linked as `name`; a failed close takes the name
  // away again.
  Result<void> CloseLinked(int to_folder_fd, const std::string& name);
  // Renames the named file to `name` in the folder open as `to_folder_fd`, as it is.
  Result<void> MoveTo(int to_folder_fd, const std::string& name);
  // Flushes the file's content and size to the disk.
  Result<void> FlushContent() const;
  // Flushes the entries of the folder open as `folder_fd` (after a rename into it).
  static void FlushFolder(int folder_fd);

  int folder_fd_ = -1;
  int fd_ = -1;
  mode_t mode_ = 0;   // the permissions it was made with
  std::string name_;  // empty once renamed
  bool unnamed_ = false;
  std::unique_ptr<RemoveOnSignal> on_signal_;
};

// The permissions a new file asking for `requested` gets under the process's umask.
mode_t FreshFileMode(mode_t requested = 0666);

// Where RemoveStaleReplacements looks: the folder alone (a text is written there only), or the
// folder and every folder below it (an extraction writes anywhere below it).
enum class StaleSearch {
  kFolderOnly,
  kWithSubfolders,  // on the folder's file system only, no link followed, at most
                    // kStaleSearchDepth levels down
};
inline constexpr int kStaleSearchDepth = 256;

// Removes from the folder open as `folder_fd` the replacement files of earlier runs whose
// process no longer exists: only this user's regular files, older than this run.
// While a StaleSweepMemory lives, a folder already searched with the same reach is not searched
// again.
void RemoveStaleReplacements(int folder_fd, StaleSearch search = StaleSearch::kFolderOnly);

// While the object lives, RemoveStaleReplacements searches each folder once: a batch that writes
// many texts into one folder lists it once, not once per text. One at a time per process.
class StaleSweepMemory {
 public:
  StaleSweepMemory();
  ~StaleSweepMemory();
  StaleSweepMemory(const StaleSweepMemory&) = delete;
  StaleSweepMemory& operator=(const StaleSweepMemory&) = delete;
};

}  // namespace lorvante
