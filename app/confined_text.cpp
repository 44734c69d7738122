// The program's end of the text export's confined process: starting it, waiting for its word,
// and how it ended.
#include "app/confined_text.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/messages.h"
#include "platform/confinement.h"
#include "platform/error_texts.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/program_start.h"
#include "platform/unique_fd.h"
#include "ui/exceptions.h"

extern char** environ;

namespace lorvante {
namespace {

constexpr char kTextWorkerName[] = "lorvante-text-worker";
// How often the program looks for a cancel while the worker works.
constexpr int kTextWatchMs = 100;
// Descriptors handed to the worker are first moved above these, so that placing them never
// meets one of them already there.
constexpr int kTextHandOverFloor = 10;

UniqueFd RaisedForWorker(int fd) {
  return UniqueFd(fcntl(fd, F_DUPFD_CLOEXEC, kTextHandOverFloor));
}

pid_t StartTextWorker(const std::string& worker, int payload_fd, int text_fd, int word_fd) {
  std::string program = worker;
  std::string parent = std::to_string(getpid());
  char* argv[] = {program.data(), parent.data(), nullptr};
  pid_t pid = 0;
  const int error =
      StartProgram(&pid, worker.c_str(), {{payload_fd, 0}, {text_fd, 1}, {word_fd, 3}}, argv);
  if (error != 0) throw Exception(Format(messages::kWorkerNotStarted, {SystemErrorText(error)}));
  return pid;
}

// How the worker ended, in words.
std::string TextWorkerEnd(int status) {
  if (WIFSIGNALED(status)) {
    const char* name = sigabbrev_np(WTERMSIG(status));
    return Format(messages::kWorkerSignalled,
                  {std::string("SIG") + (name != nullptr ? name : "?")});
  }
  return Format(messages::kWorkerExited, {WIFEXITED(status) ? WEXITSTATUS(status) : -1});
}

}  // namespace

std::string ConfinedTextWorker() {
  if (!ConfinementInForce()) return {};
  const std::string program = GetProgramPath();
  if (program.empty()) return {};
  const std::string worker =
      ExtractFilePath(program) + "../" + LORVANTE_HELPER_DIR + "/" + kTextWorkerName;
  return FileExists(worker) ? ExpandFileName(worker) : std::string();
}

ConfinedCopy CopyTextConfined(const std::string& worker, int payload_fd, int text_fd,
                              const std::function<bool()>& cancelled) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    throw Exception(Format(messages::kWorkerNotStarted, {SystemErrorText(errno)}));
  }
  const UniqueFd word_in = RaisedForWorker(pipe_fds[0]);
  UniqueFd word_out = RaisedForWorker(pipe_fds[1]);
  close(pipe_fds[0]);
  close(pipe_fds[1]);
  const UniqueFd payload = RaisedForWorker(payload_fd);
  const UniqueFd text = RaisedForWorker(text_fd);
  const pid_t pid = StartTextWorker(worker, payload.get(), text.get(), word_out.get());
  word_out.reset();

  std::string word;
  bool stopped = false;
  for (;;) {
    pollfd ready{word_in.get(), POLLIN, 0};
    const int polled = poll(&ready, 1, kTextWatchMs);
    if (polled < 0 && errno != EINTR) break;
    if (polled <= 0) {
      if (cancelled()) {
        stopped = true;
        kill(pid, SIGKILL);
        break;
      }
      continue;
    }
    char buffer[256];
    const ssize_t n = read(word_in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    word.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (stopped) return ConfinedCopy::kCancelled;
  if (word == "D") return ConfinedCopy::kDone;
  if (word == "C") return ConfinedCopy::kCorrupt;
  if (word.size() > 1 && word[0] == 'W') {
    OrRaise<EWriteError>(Result<void>(Failure::System(std::atoi(word.c_str() + 1))));
  }
  if (word.size() > 1 && word[0] == 'F') {
    throw Exception(Format(messages::kWorkerNotStarted, {word.substr(1)}));
  }
  throw Exception(Format(messages::kWorkerEnded, {TextWorkerEnd(status)}));
}

}  // namespace lorvante
