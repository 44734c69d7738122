// lorvante-text-worker PARENT_PID
//
// The process in which the text export inflates the gzip payload, confined by the kernel before
// it reads a byte of it: it finds the payload open for reading as its input (0), the hidden file
// of the text open for writing as its output (1), and its word to the program as descriptor 3;
// it may open no file for writing anywhere, start no program, make no socket, trace no process.
// The word is one letter: D (the text is complete and sound), C (the data are corrupt), W and the
// error number of a failed write, F and why it could not confine itself.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "app/gzip_copy.h"
#include "platform/confinement.h"

namespace lorvante {
namespace {

constexpr int kPayloadFd = 0;
constexpr int kTextFd = 1;
constexpr int kWordFd = 3;

void Say(const std::string& word) {
  std::size_t done = 0;
  while (done < word.size()) {
    const ssize_t n = write(kWordFd, word.data() + done, word.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

struct WriteFailed {
  int error;
};

void WriteAll(std::span<const std::uint8_t> text) {
  while (!text.empty()) {
    const ssize_t n = write(kTextFd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw WriteFailed{errno};
    if (n == 0) throw WriteFailed{ENOSPC};  // nothing stored and no error: the disk is full
    text = text.subspan(static_cast<std::size_t>(n));
  }
}

int Main(int argc, char** argv) {
  if (argc != 2) return 2;
  // Ends with the program, which removes the hidden file; Ctrl+C is the program's to answer; a
  // file-size limit shows as a failed write.
  signal(SIGINT, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != static_cast<pid_t>(std::atoll(argv[1]))) return 3;
  // Before the copy starts its thread: both threads are held to the rules.
  if (Result<void> confined = ConfineProcess({}); !confined) {
    Say("F" + confined.failure().Text());
    return 0;
  }
  try {
    struct stat payload {};
    const std::int64_t payload_size = fstat(kPayloadFd, &payload) == 0 ? payload.st_size : -1;
    const bool sound = CopyGzipText(
        [](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
          for (;;) {
            const ssize_t n = read(kPayloadFd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            return n;
          }
        },
        WriteAll, payload_size);
    Say(sound ? "D" : "C");
  } catch (const WriteFailed& failed) {
    Say("W" + std::to_string(failed.error));
  }
  return 0;
}

}  // namespace
}  // namespace lorvante

int main(int argc, char** argv) {
  // Ends without the exit handlers: nothing is left to flush, and a sanitizer's leak check,
  // which traces the process, is refused by the filter.
  _exit(lorvante::Main(argc, argv));
}
