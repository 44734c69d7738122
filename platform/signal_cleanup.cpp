#include "platform/signal_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace lorvante {
namespace {

constexpr int kSlots = 16;
// The passes over a folder's entries: removing entries while they are listed may skip some.
constexpr int kFolderPasses = 4;

enum SlotState : int { kFree = 0, kFilling = 1, kActive = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  RemoveOnSignal::Kind kind = RemoveOnSignal::Kind::kFile;
  char path[PATH_MAX] = {};
};

Slot g_slots[kSlots];

// The calls of other tables (loaded libraries): few, and registered once per load.
constexpr int kRemoverSlots = 4;
std::atomic<CallOnSignal::Remover> g_removers[kRemoverSlots];

static_assert(std::atomic<int>::is_always_lock_free, "the handlers read the table");
static_assert(std::atomic<CallOnSignal::Remover>::is_always_lock_free, "the handlers read it");

// Removes the entries of `path` (files, and folders that are empty) and then the folder, with
// system calls only.
void RemoveFolderNow(const char* path) {
  for (int pass = 0; pass < kFolderPasses; ++pass) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    alignas(dirent64) char buffer[4096];
    for (;;) {
      const ssize_t n = getdents64(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t offset = 0; offset < n;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
        offset += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        unlinkat(fd, name, entry->d_type == DT_DIR ? AT_REMOVEDIR : 0);
      }
    }
    close(fd);
    if (rmdir(path) == 0) return;
  }
}

void RemoveOwnEntries() {
  for (Slot& slot : g_slots) {
    if (slot.state.load(std::memory_order_acquire) != kActive) continue;
    if (slot.kind == RemoveOnSignal::Kind::kFile) {
      unlink(slot.path);
    } else {
      RemoveFolderNow(slot.path);
    }
  }
}

// What this table holds, then what the tables of the loaded libraries hold.
void RemoveRegistered() {
  RemoveOwnEntries();
  for (auto& remover : g_removers) {
    if (const CallOnSignal::Remover remove = remover.load(std::memory_order_acquire)) remove();
  }
}

extern "C" void CleanUpAndEnd(int signal_number) {
  EndBySignal(signal_number);
}

volatile sig_atomic_t g_interrupts = 0;
volatile sig_atomic_t g_interrupt_echo_fd = -1;

extern "C" void CountInterrupt(int signal_number) {
  g_interrupts = g_interrupts + 1;
  if (g_interrupts >= 2) {
    if (g_interrupt_echo_fd >= 0) {
      [[maybe_unused]] const ssize_t ignored = write(g_interrupt_echo_fd, "\n", 1);
    }
    EndBySignal(signal_number);
  }
}

}  // namespace

RemoveOnSignal::RemoveOnSignal(const std::string& path, Kind kind) {
  if (path.empty() || path.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    g_slots[i].kind = kind;
    std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
    g_slots[i].state.store(kActive, std::memory_order_release);
    slot_ = i;
    return;
  }
}

RemoveOnSignal::~RemoveOnSignal() {
  if (slot_ >= 0) g_slots[slot_].state.store(kFree, std::memory_order_release);
}

CallOnSignal::CallOnSignal(Remover remove) {
  if (remove == nullptr) return;
  for (int i = 0; i < kRemoverSlots; ++i) {
    Remover expected = nullptr;
    if (g_removers[i].compare_exchange_strong(expected, remove, std::memory_order_acq_rel)) {
      slot_ = i;
      return;
    }
  }
}

CallOnSignal::~CallOnSignal() {
  if (slot_ >= 0) g_removers[slot_].store(nullptr, std::memory_order_release);
}

void RemoveRegisteredNow() {
  RemoveOwnEntries();
}

void EndBySignal(int signal_number) {
  RemoveRegistered();
  signal(signal_number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal_number);
  _exit(128 + signal_number);  // only when the default action does not end the program
}

void InstallSignalCleanup() {
  struct sigaction action {};
  action.sa_handler = CleanUpAndEnd;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    sigaddset(&action.sa_mask, signal_number);
  }
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal_number, &action, nullptr);
  }
  signal(SIGXFSZ, SIG_IGN);
}

struct InterruptScope::Saved {
  struct sigaction action {};
  sig_atomic_t interrupts = 0;
  sig_atomic_t echo_fd = -1;
};

InterruptScope::InterruptScope(int echo_fd) : saved_(std::make_unique<Saved>()) {
  saved_->interrupts = g_interrupts;
  saved_->echo_fd = g_interrupt_echo_fd;
  g_interrupts = 0;
  g_interrupt_echo_fd = echo_fd;
  struct sigaction action {};
  action.sa_handler = CountInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &saved_->action);
}

InterruptScope::~InterruptScope() {
  sigaction(SIGINT, &saved_->action, nullptr);
  g_interrupts = saved_->interrupts;
  g_interrupt_echo_fd = saved_->echo_fd;
}

bool InterruptScope::Interrupted() const {
  return g_interrupts > 0;
}

}  // namespace lorvante
