#include "platform/landlock.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/landlock_uapi.h"
#include "platform/unique_fd.h"

namespace lorvante {
namespace {

long CreateRuleset(const landlock::RulesetAttr* attr, std::size_t size, std::uint32_t flags) {
  return syscall(landlock::kCreateRulesetCall, attr, size, flags);
}

// The file rights a kernel of `abi` knows.
std::uint64_t KnownFileRights(int abi) {
  std::uint64_t rights = landlock::kFsRightsV1;
  if (abi >= 2) rights |= landlock::kFsRefer;
  if (abi >= 3) rights |= landlock::kFsTruncate;
  if (abi >= 5) rights |= landlock::kFsIoctlDev;
  return rights;
}

// What may be done below a writable folder: everything with regular files and folders, but no
// program run, no device, socket, FIFO or link made.
constexpr std::uint64_t kWritableRights =
    landlock::kFsWriteFile | landlock::kFsReadFile | landlock::kFsReadDir | landlock::kFsRemoveDir |
    landlock::kFsRemoveFile | landlock::kFsMakeDir | landlock::kFsMakeReg | landlock::kFsRefer |
    landlock::kFsTruncate;
constexpr std::uint64_t kReadableFolderRights = landlock::kFsReadFile | landlock::kFsReadDir;
// A rule on a file takes the rights that act on a file only.
constexpr std::uint64_t kReadableFileRights = landlock::kFsReadFile;

// Adds the rule `rights` below `path`; a path that does not exist is left out.
Result<void> AddPathRule(int ruleset, const std::string& path, std::uint64_t rights,
                         std::uint64_t known) {
  const UniqueFd fd(open(path.c_str(), O_PATH | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES) return {};
    return Failure::System(errno);
  }
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return Failure::System(errno);
  if (!S_ISDIR(st.st_mode))
    rights &= kReadableFileRights | landlock::kFsWriteFile | landlock::kFsTruncate;
  const landlock::PathBeneathAttr rule{rights & known, fd.get()};
  if (syscall(landlock::kAddRuleCall, ruleset, landlock::kRulePathBeneath, &rule, 0) != 0) {
    return Failure::System(errno);
  }
  return {};
}

}  // namespace

int LandlockAbi() {
  const long abi = CreateRuleset(nullptr, 0, landlock::kAbiVersion);
  return abi > 0 ? static_cast<int>(abi) : 0;
}

Result<void> SetNoNewPrivileges() {
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return Failure::System(errno);
  return {};
}

Result<void> RestrictByLandlock(const LandlockRules& rules) {
  const int abi = LandlockAbi();
  if (abi <= 0) return Failure::System(EOPNOTSUPP);
  const std::uint64_t known = KnownFileRights(abi);
  landlock::RulesetAttr attr;
  attr.handled_access_fs = known;
  std::size_t size = landlock::kRulesetAttrSizeV1;
  if (abi >= 4) {
    attr.handled_access_net = landlock::kNetBindTcp | landlock::kNetConnectTcp;
    size = landlock::kRulesetAttrSizeV4;
  }
  if (abi >= 6) {
    attr.scoped = landlock::kScopeAbstractUnixSocket | landlock::kScopeSignal;
    size = landlock::kRulesetAttrSizeV6;
  }
  const long made = CreateRuleset(&attr, size, 0);
  if (made < 0) return Failure::System(errno);
  const UniqueFd ruleset(static_cast<int>(made));
  for (const std::string& path : rules.readable) {
    if (Result<void> added = AddPathRule(ruleset.get(), path, kReadableFolderRights, known);
        !added) {
      return added;
    }
  }
  for (const std::string& path : rules.writable) {
    if (Result<void> added = AddPathRule(ruleset.get(), path, kWritableRights, known); !added) {
      return added;
    }
  }
  if (syscall(landlock::kRestrictSelfCall, ruleset.get(), 0) != 0) return Failure::System(errno);
  return {};
}

}  // namespace lorvante
