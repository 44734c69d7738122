// What a run leaves on disk while it works, and the signals that end it.
//
// The hidden file being written and the run's temporary folder are registered here for their
// lifetime. Ctrl+C, SIGTERM and SIGHUP remove what is registered and then end the program by the
// same signal, so that its parent sees how it ended. SIGKILL cannot be caught: the names of what
// it leaves carry the process id (owned_names.h), and a later run removes them.
#pragma once

#include <memory>
#include <string>

namespace lorvante {

// How many paths the table holds at once (more are not registered, and are left for a later run
// to remove).
inline constexpr int kRemoveOnSignalSlots = 80;

// A path removed when a signal ends the program while the object lives.
class RemoveOnSignal {
 public:
  enum class Kind {
    kFile,
    kFolder,  // the entries in it, then the folder itself
  };
  RemoveOnSignal(const std::string& path, Kind kind);
  ~RemoveOnSignal();
  RemoveOnSignal(const RemoveOnSignal&) = delete;
  RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;

 private:
  int slot_ = -1;  // -1: the table was full or the path too long; nothing is registered
};

// A call that removes what another table of this kind holds: a library loaded at run time
// registers its hidden files in its own copy of this table and offers such a call. While the
// object lives, the handlers make the call before the program ends; `remove` must be
// async-signal-safe.
class CallOnSignal {
 public:
  using Remover = void (*)();
  explicit CallOnSignal(Remover remove);
  ~CallOnSignal();
  CallOnSignal(const CallOnSignal&) = delete;
  CallOnSignal& operator=(const CallOnSignal&) = delete;

 private:
  int slot_ = -1;  // -1: the table was full; nothing is registered
};

// Removes what is registered in this table, now, and leaves the process running: the call a
// library offers to the handlers of the program that loaded it. Async-signal-safe.
void RemoveRegisteredNow();

// Installs the handlers of SIGINT, SIGTERM and SIGHUP that remove what is registered before the
// program ends, and ignores SIGXFSZ, so that a file-size limit shows as a short write.
void InstallSignalCleanup();

// Removes what this table holds and makes every registered CallOnSignal call: what the
// program's handlers do before it ends. Async-signal-safe.
void RemoveRegisteredAndLoadedNow();

// For a signal handler that ends the program itself: removes what is registered, then ends the
// program by `signal_number` with its default action. Async-signal-safe.
[[noreturn]] void EndBySignal(int signal_number);

// Marks a line left unfinished on `fd` (a progress line redrawn in place), or none with -1: a
// signal that ends the program finishes it first, so that what follows the program (the shell's
// "Terminated") starts on a line of its own. Async-signal-safe.
void MarkUnfinishedLine(int fd);

// While the object lives, Ctrl+C asks for a cancel instead of ending the program: the first one
// is counted (Interrupted), a second one ends the program as EndBySignal does, after writing a
// line end to `echo_fd` (when not -1) to leave the cursor on a fresh line.
// Scopes may overlap (conversions side by side): while any lives, Ctrl+C is counted for all of
// them, and the echo of the first one serves.
class InterruptScope {
 public:
  explicit InterruptScope(int echo_fd = -1);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  bool Interrupted() const;

 private:
  struct Saved;
  static Saved& Outer();
};

}  // namespace lorvante
