#include "platform/seccomp_filter.h"

#include <seccomp.h>
#include <sys/prctl.h>

#include <cerrno>
#include <memory>

namespace lorvante {
namespace {

// Refused with EPERM, so that the caller sees a plain failure.
constexpr int kRefusedCalls[] = {
    SCMP_SYS(execve),
    SCMP_SYS(execveat),
    SCMP_SYS(ptrace),
    SCMP_SYS(socket),
    SCMP_SYS(process_vm_readv),
    SCMP_SYS(process_vm_writev),
    SCMP_SYS(io_uring_setup),
    SCMP_SYS(bpf),
    SCMP_SYS(perf_event_open),
    SCMP_SYS(mount),
    SCMP_SYS(umount2),
    SCMP_SYS(pivot_root),
    SCMP_SYS(chroot),
    SCMP_SYS(unshare),
    SCMP_SYS(setns),
    SCMP_SYS(keyctl),
    SCMP_SYS(add_key),
    SCMP_SYS(request_key),
    SCMP_SYS(kexec_load),
    SCMP_SYS(userfaultfd),
};

struct FilterDeleter {
  void operator()(scmp_filter_ctx filter) const { seccomp_release(filter); }
};

}  // namespace

bool SeccompAvailable() {
  return prctl(PR_GET_SECCOMP, 0, 0, 0, 0) >= 0 && seccomp_api_get() >= 1;
}

Result<void> LoadSyscallFilter() {
  const std::unique_ptr<void, FilterDeleter> filter(seccomp_init(SCMP_ACT_ALLOW));
  if (!filter) return Failure::System(ENOMEM);
  for (const int call : kRefusedCalls) {
    if (const int added = seccomp_rule_add(filter.get(), SCMP_ACT_ERRNO(EPERM), call, 0);
        added != 0) {
      return Failure::System(-added);
    }
  }
  if (const int loaded = seccomp_load(filter.get()); loaded != 0) return Failure::System(-loaded);
  return {};
}

}  // namespace lorvante
