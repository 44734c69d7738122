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

constexpr int kSlots = kRemoveOnSignalSlots;
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

void RemoveRegisteredAndLoadedNow() {
  RemoveRegistered();
}

}  // namespace lorvante
