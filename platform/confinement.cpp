#include "platform/confinement.h"

#include <cstdlib>
#include <cstring>

#include "platform/seccomp_filter.h"

namespace lorvante {
namespace {

bool SwitchedOff() {
  const char* setting = std::getenv(kConfineSetting);
  return setting != nullptr && std::strcmp(setting, "0") == 0;
}

// The first version of the interface lets no file move from one folder to another, which an
// extraction does (a file is written in the nearest folder that stands, then moved into its own).
constexpr int kLeastLandlockAbi = 2;

}  // namespace

bool ConfinementInForce() {
  return !SwitchedOff() && LandlockAbi() >= kLeastLandlockAbi && SeccompAvailable();
}

std::string ConfinementSummary() {
  const int abi = LandlockAbi() >= kLeastLandlockAbi ? LandlockAbi() : 0;
  const bool seccomp = SeccompAvailable();
  if (abi > 0 && seccomp) {
    std::string line =
        "extraction confined by the kernel (Landlock " + std::to_string(abi) + ", seccomp)";
    if (SwitchedOff()) line += ", switched off by " + std::string(kConfineSetting) + "=0";
    return line;
  }
  std::string missing = abi > 0   ? "seccomp"
                        : seccomp ? "Landlock (version 2 or later)"
                                  : "Landlock (version 2 or later) or seccomp";
  return "extraction not confined: the kernel offers no " + missing;
}

std::vector<std::string> SystemReadableFolders() {
  return {"/usr",   "/lib",    "/lib64",
          "/lib32", "/libx32", "/etc",
          "/proc",  "/dev",    "/sys/devices/system/cpu"};
}

Result<void> ConfineProcess(LandlockRules rules) {
  for (std::string& folder : SystemReadableFolders()) rules.readable.push_back(std::move(folder));
  if (Result<void> set = SetNoNewPrivileges(); !set) return set;
  if (Result<void> restricted = RestrictByLandlock(rules); !restricted) return restricted;
  return LoadSyscallFilter();
}

}  // namespace lorvante
