// The private temporary folder that receives the decrypted payload.
//
// The system's temporary folder is shared by all users, so the payload goes into a folder of the
// user's own below it: "lorvante-<uid>/", mode 0700, accepted only when it is a real folder owned
// by the user. When that name is taken by someone else, a fresh folder is made in its place.
// Each run works in a folder of its own inside it ("run-<pid>-XXXXXX/"), removed when the run
// ends; a fresh folder made in place of the private one serves the run directly.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/file_stream.h"
#include "platform/result.h"

namespace lorvante {

class RemoveOnSignal;

// The private temporary folder below `base` (the system's temporary folder when empty), ending
// in '/'. When no private folder can be had, the name it would have had: creating a file there
// then fails, so nothing is ever written into a shared or the current folder.
std::string PrivateTempFolder(const std::string& base, uid_t uid);

// PrivateTempFolder for this user below $TMPDIR (or /tmp).
std::string GetTempFolder();

// Whether `folder` is a real folder (not a link) owned by `uid` that no one else can enter.
bool IsPrivateFolder(const std::string& folder, uid_t uid);

// This run's own temporary folder, made with mkdtemp below PrivateTempFolder(base, uid), with an
// absolute path. The first one made in a parent folder by this process first removes the folders
// of earlier runs whose process no longer exists. It is removed with everything in it when the
// object goes, and when a signal ends the program.
class RunFolder {
 public:
  RunFolder(const std::string& base, uid_t uid);
  // Below $TMPDIR (or /tmp) for this user.
  RunFolder();
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Ends in '/'. When no folder could be made, a name that does not exist, so that creating a
  // file there fails and nothing is written into a shared or the current folder.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool made_ = false;
  std::unique_ptr<RemoveOnSignal> on_signal_;
};

// A hold on the run folder of this process below $TMPDIR (or /tmp): the first hold makes it, the
// last one to go removes it, so that conversions made one after another (or side by side) while
// a hold lives share one folder. A hold taken after $TMPDIR changed gets a folder there.
class RunFolderHold {
 public:
  RunFolderHold();
  const std::string& Path() const { return folder_->Path(); }

 private:
  std::shared_ptr<const RunFolder> folder_;
};

// Creates (or truncates) a file in a private folder: mode 0600, never through a symbolic link.
// Fails too when the file's folder is not private to this user.
Result<FileStream> CreatePrivateFile(const std::string& path);

}  // namespace lorvante
