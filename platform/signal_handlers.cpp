// The program's signal handlers: the end by a signal after the registered paths are removed,
// and the counting of Ctrl+C. Kept apart from the registry, so that the unzip library, which
// registers its files, never carries a way to end the process.
#include <signal.h>
#include <unistd.h>

#include <mutex>

#include "platform/signal_cleanup.h"

namespace lorvante {
namespace {

extern "C" void CleanUpAndEnd(int signal_number) {
  EndBySignal(signal_number);
}

volatile sig_atomic_t g_interrupts = 0;
volatile sig_atomic_t g_interrupt_echo_fd = -1;
volatile sig_atomic_t g_unfinished_line_fd = -1;

void WriteLineEnd(int fd) {
  [[maybe_unused]] const ssize_t ignored = write(fd, "\n", 1);
}

extern "C" void CountInterrupt(int signal_number) {
  g_interrupts = g_interrupts + 1;
  if (g_interrupts >= 2) {
    // An unfinished line on the same output is finished by the end itself.
    if (g_interrupt_echo_fd >= 0 && g_interrupt_echo_fd != g_unfinished_line_fd) {
      WriteLineEnd(g_interrupt_echo_fd);
    }
    EndBySignal(signal_number);
  }
}

}  // namespace

void MarkUnfinishedLine(int fd) {
  g_unfinished_line_fd = fd;
}

void EndBySignal(int signal_number) {
  const int unfinished = g_unfinished_line_fd;
  if (unfinished >= 0) {
    g_unfinished_line_fd = -1;
    WriteLineEnd(unfinished);
  }
  RemoveRegisteredAndLoadedNow();
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

// What the outermost scope replaced, given back when the last scope ends. Scopes of
// conversions running side by side overlap in any order: the first to begin saves, the last to
// end restores.
struct InterruptScope::Saved {
  std::mutex mutex;
  int depth = 0;
  struct sigaction action {};
  sig_atomic_t interrupts = 0;
  sig_atomic_t echo_fd = -1;
};

InterruptScope::Saved& InterruptScope::Outer() {
  static Saved saved;
  return saved;
}

InterruptScope::InterruptScope(int echo_fd) {
  Saved& saved = Outer();
  const std::lock_guard lock(saved.mutex);
  if (saved.depth++ > 0) return;
  saved.interrupts = g_interrupts;
  saved.echo_fd = g_interrupt_echo_fd;
  g_interrupts = 0;
  g_interrupt_echo_fd = echo_fd;
  struct sigaction action {};
  action.sa_handler = CountInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &saved.action);
}

InterruptScope::~InterruptScope() {
  Saved& saved = Outer();
  const std::lock_guard lock(saved.mutex);
  if (--saved.depth > 0) return;
  sigaction(SIGINT, &saved.action, nullptr);
  g_interrupts = saved.interrupts;
  g_interrupt_echo_fd = saved.echo_fd;
}

bool InterruptScope::Interrupted() const {
  return g_interrupts > 0;
}

}  // namespace lorvante
