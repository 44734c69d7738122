// Confinement of a process that reads untrusted data: Landlock for the files it may reach, a
// seccomp filter for what else it may do. Used where the kernel has both, unless switched off.
#pragma once

#include <string>

#include "platform/landlock.h"
#include "platform/result.h"

namespace lorvante {

// The setting that switches confinement off: LORVANTE_CONFINE=0 (for tests that show what an
// unconfined process could do).
inline constexpr char kConfineSetting[] = "LORVANTE_CONFINE";

// Whether processes that read untrusted data are confined: the kernel has Landlock and seccomp,
// and the setting does not switch it off.
bool ConfinementInForce();

// One line for --version: whether extraction is confined on this system, and why not.
std::string ConfinementSummary();

// The system's folders a confining process lets its process read: libraries, their data and
// the character sets, the configuration, the process's own view and the devices.
std::vector<std::string> SystemReadableFolders();

// Confines the calling process, which has no other thread: `rules` plus the system's folders
// for reading; no program started, no socket made, no process traced.
Result<void> ConfineProcess(LandlockRules rules);

}  // namespace lorvante
