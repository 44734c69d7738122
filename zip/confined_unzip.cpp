// The program's end of the confined unzip process: starting it, the callbacks it forwards, and
// how it ended.
#include "zip/confined_unzip.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/error_texts.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/program_start.h"
#include "platform/signal_cleanup.h"
#include "platform/unique_fd.h"
#include "zip/Zip.h"
#include "zip/unzip_channel.h"
#include "zip/zip_messages.h"

extern char** environ;

namespace lorvante {
namespace {

using unzip_channel::Kind;
using unzip_channel::Record;

constexpr char kWorkerName[] = "lorvante-unzip-worker";
// While the worker sends nothing, the windows are served this often.
constexpr int kIdleMs = 100;
// Descriptors handed to the worker are first moved above these, so that placing them at 3 and 4
// never meets one of them already there.
constexpr int kHandOverFloor = 10;

// The worker of the run, for the program's signal handlers: it is ended, and waited for, so that
// its hidden files are gone before the program removes its own and ends.
std::atomic<pid_t> g_worker{0};

void EndWorkerNow() {
  const pid_t pid = g_worker.load();
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// The stop page shared with the worker: its first word is set when the run is to stop.
class StopPage {
 public:
  StopPage() {
    fd_ = UniqueFd(memfd_create("lorvante-stop", MFD_CLOEXEC));
    if (!fd_.valid() || ftruncate(fd_.get(), unzip_channel::kStopPageSize) != 0) {
      throw ZipException(Format(zip_texts::kConfinedNotStarted, {SystemErrorText(errno)}));
    }
    void* page = mmap(nullptr, unzip_channel::kStopPageSize, PROT_READ | PROT_WRITE, MAP_SHARED,
                      fd_.get(), 0);
    if (page == MAP_FAILED) {
      throw ZipException(Format(zip_texts::kConfinedNotStarted, {SystemErrorText(errno)}));
    }
    stop_ = static_cast<std::atomic<std::int32_t>*>(page);
  }
  ~StopPage() { munmap(stop_, unzip_channel::kStopPageSize); }
  StopPage(const StopPage&) = delete;
  StopPage& operator=(const StopPage&) = delete;

  int fd() const { return fd_.get(); }
  void Stop() { stop_->store(1, std::memory_order_relaxed); }

 private:
  UniqueFd fd_;
  std::atomic<std::int32_t>* stop_ = nullptr;
};

// The descriptor `fd` moved above the ones the worker gets.
UniqueFd Raised(int fd) {
  UniqueFd raised(fcntl(fd, F_DUPFD_CLOEXEC, kHandOverFloor));
  close(fd);
  return raised;
}

pid_t StartWorker(const ConfinedUnzip& how, int socket_fd, int page_fd) {
  std::vector<std::string> args = {how.worker, how.library, std::to_string(getpid())};
  for (const std::string& folder : how.writable) {
    args.insert(args.end(), {"--write", folder});
  }
  for (const std::string& path : how.readable) args.insert(args.end(), {"--read", path});
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = StartProgram(
      &pid, how.worker.c_str(),
      {{socket_fd, unzip_channel::kSocketFd}, {page_fd, unzip_channel::kStopPageFd}}, argv.data());
  if (error != 0) {
    throw ZipException(Format(zip_texts::kConfinedNotStarted, {SystemErrorText(error)}));
  }
  return pid;
}

// How the worker ended, in words: its signal, or its exit status.
std::string EndOf(int status) {
  if (WIFSIGNALED(status)) {
    const char* name = sigabbrev_np(WTERMSIG(status));
    return Format("killed by signal %d (SIG%s)", {WTERMSIG(status), name != nullptr ? name : "?"});
  }
  return Format("exit status %d", {WIFEXITED(status) ? WEXITSTATUS(status) : -1});
}

TUnzipCallbackInfo InfoOf(const Record& record, void* caller) {
  TUnzipCallbackInfo info;
  std::memset(&info, 0, sizeof info);
  info.Caller = caller;
  info.Version = UNZDLL_VERSION;
  info.ActionCode = record.action;
  info.Status = record.status;
  info.Value = record.value;
  std::memcpy(info.NameOrMessage, record.text.data(),
              std::min(record.text.size(), sizeof info.NameOrMessage - 1));
  return info;
}

}  // namespace

std::string ConfinedUnzipWorker() {
  const std::string program = GetProgramPath();
  if (program.empty()) return {};
  const std::string worker =
      ExtractFilePath(program) + "../" + LORVANTE_HELPER_DIR + "/" + kWorkerName;
  return FileExists(worker) ? ExpandFileName(worker) : std::string();
}

int RunConfinedUnzip(const TUnzipParams& params, const ConfinedUnzip& how,
                     const std::function<bool()>& idle) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    throw ZipException(Format(zip_texts::kConfinedNotStarted, {SystemErrorText(errno)}));
  }
  const UniqueFd ours = Raised(pair[0]);
  UniqueFd theirs = Raised(pair[1]);
  StopPage stop;
  const UniqueFd page = Raised(fcntl(stop.fd(), F_DUPFD_CLOEXEC, 0));

  const pid_t pid = StartWorker(how, theirs.get(), page.get());
  theirs.reset();
  g_worker = pid;
  const CallOnSignal end_on_signal(&EndWorkerNow);

  unzip_channel::FrameSocket channel(ours.get());
  channel.Queue(unzip_channel::Call::From(params).Encode());
  bool sent = static_cast<bool>(channel.Flush());
  std::optional<int> result;
  std::string refusal;
  while (sent && !result && refusal.empty()) {
    if (!channel.HasFrame()) {
      pollfd ready{ours.get(), POLLIN, 0};
      const int polled = poll(&ready, 1, kIdleMs);
      // A signal (Ctrl+C) ends the wait at once: the cancel it may bring reaches the worker now,
      // not at the end of the wait.
      if (polled <= 0 && idle()) stop.Stop();
      if (polled <= 0) continue;
    }
    const auto frame = channel.Receive();
    if (!frame || !*frame) break;
    const std::optional<Record> record = Record::Decode(**frame);
    if (!record) break;
    switch (record->kind) {
      case Kind::kEnd:
        result = record->value;
        break;
      case Kind::kFailed:
        refusal = record->text.empty() ? "?" : record->text;
        break;
      case Kind::kReport:
      case Kind::kQuestion: {
        TUnzipCallbackInfo info = InfoOf(*record, params.Caller);
        const std::int32_t answer = params.Callback(&info);
        if (answer != 0) stop.Stop();
        if (record->kind == Kind::kQuestion) {
          unzip_channel::Answer reply{
              answer, info.Status, info.Value,
              std::string(info.NameOrMessage,
                          strnlen(info.NameOrMessage, sizeof info.NameOrMessage))};
          channel.Queue(reply.Encode());
          sent = static_cast<bool>(channel.Flush());
          // A password goes no further than the worker.
          volatile char* text = info.NameOrMessage;
          for (std::size_t i = 0; i < sizeof info.NameOrMessage; ++i) text[i] = 0;
        }
        break;
      }
    }
  }
  if (!result) kill(pid, SIGKILL);  // a worker that broke the channel goes
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  g_worker = 0;
  if (!refusal.empty()) throw ZipException(Format(zip_texts::kConfinedNotStarted, {refusal}));
  if (!result) throw ZipException(Format(zip_texts::kConfinedEnded, {EndOf(status)}));
  return *result;
}

}  // namespace lorvante
