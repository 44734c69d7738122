// The folders that files are written into, each opened once and held while entries go into it:
// a small cache of descriptors keyed by the folder's path below the target, shared by the
// threads of a run. A folder handed out stays open for as long as its holder keeps it, even
// when the cache has let it go meanwhile; files are made relative to it, so that no path is
// looked up twice.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/unique_fd.h"
#include "unzdll/failure.h"
#include "unzdll/target_folder.h"

namespace unzdll {

// One open folder, its path (for the removal of a file in it on a signal), and whether the run
// made it (it held nothing then but what the run put there).
struct HeldFolder {
  lorvante::UniqueFd fd;
  std::string path;
  bool made_by_run = false;
};

class FolderCache {
 public:
  explicit FolderCache(TargetFolder& target) : target_(target) {}

  // The folder below the target named by `folders`, opened (and made when `create` is set) by
  // the target's safe walk on the first request. Nothing on failure.
  std::shared_ptr<const HeldFolder> Get(const std::vector<std::string>& folders, bool create,
                                        Failure& failure);

  // Runs `use` with the target folder, which no other thread uses meanwhile.
  void WithTarget(const std::function<void(TargetFolder&)>& use);

 private:
  std::mutex mutex_;
  TargetFolder& target_;
  std::string root_path_;  // read once, on the first request
  std::unordered_map<std::string, std::shared_ptr<const HeldFolder>> held_;
};

}  // namespace unzdll
