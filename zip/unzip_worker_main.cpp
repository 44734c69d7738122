// lorvante-unzip-worker LIBRARY PARENT_PID [--write FOLDER]... [--read PATH]...
//
// The process in which the unzip library reads an archive, confined by the kernel before it
// reads a byte of it: it may write only below the --write folders, read the --read paths and the
// system's files, start no program, make no socket, trace no process. It finds the program's
// socket and stop page open (unzip_channel.h), reads the call, loads the library, confines
// itself, runs the library and sends every callback to the program, which answers the questions;
// the reports are sent in batches, and a stop set by the program is seen at the next callback.
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/confinement.h"
#include "platform/dynamic_library.h"
#include "platform/signal_cleanup.h"
#include "unzdll/unzdll_api.h"
#include "zip/unzip_channel.h"

namespace lorvante {
namespace {

using unzip_channel::Answer;
using unzip_channel::Record;

// Reports wait in the buffer at most this long or this large before they are sent.
constexpr long kReportDelayNs = 30'000'000;
constexpr std::size_t kReportBatchBytes = 16 << 10;

unzip_channel::FrameSocket g_socket(unzip_channel::kSocketFd);
const std::atomic<std::int32_t>* g_stop = nullptr;
timespec g_last_flush{};

long ElapsedSinceFlushNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return (now.tv_sec - g_last_flush.tv_sec) * 1'000'000'000L + (now.tv_nsec - g_last_flush.tv_nsec);
}

[[noreturn]] void Lost() {
  // The program is gone or broke the channel: the run ends, its hidden files with it.
  RemoveRegisteredAndLoadedNow();
  _exit(3);
}

void Flush() {
  if (!g_socket.Flush()) Lost();
  clock_gettime(CLOCK_MONOTONIC_COARSE, &g_last_flush);
}

extern "C" std::int32_t ForwardCallback(TUnzipCallbackInfo* info) {
  Record record;
  record.action = info->ActionCode;
  record.status = info->Status;
  record.value = info->Value;
  record.text.assign(info->NameOrMessage, strnlen(info->NameOrMessage, sizeof info->NameOrMessage));
  if (!unzip_channel::IsQuestion(info->ActionCode)) {
    record.kind = unzip_channel::Kind::kReport;
    g_socket.Queue(record.Encode());
    if (g_socket.Buffered() >= kReportBatchBytes || info->ActionCode == UNZ_ACTION_END_BATCH ||
        ElapsedSinceFlushNs() >= kReportDelayNs) {
      Flush();
    }
    return g_stop->load(std::memory_order_relaxed) != 0 ? -1 : 0;
  }
  record.kind = unzip_channel::Kind::kQuestion;
  g_socket.Queue(record.Encode());
  Flush();
  const auto frame = g_socket.Receive();
  if (!frame || !*frame) Lost();
  const std::optional<Answer> answer = Answer::Decode(**frame);
  if (!answer) Lost();
  info->Status = answer->status;
  info->Value = answer->value;
  std::memset(info->NameOrMessage, 0, sizeof info->NameOrMessage);
  std::memcpy(info->NameOrMessage, answer->text.data(),
              std::min(answer->text.size(), sizeof info->NameOrMessage - 1));
  return answer->result;
}

void SendEnd(unzip_channel::Kind kind, std::int32_t value, const std::string& text) {
  Record record;
  record.kind = kind;
  record.value = value;
  record.text = text;
  g_socket.Queue(record.Encode());
  Flush();
}

int Main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: lorvante-unzip-worker LIBRARY PARENT_PID [--write FOLDER]... "
                 "[--read PATH]...\n");
    return 2;
  }
  // Ends with the program, removing its hidden files as the program's handlers do; Ctrl+C is
  // the program's to answer (a cancel), not this process's.
  InstallSignalCleanup();
  signal(SIGINT, SIG_IGN);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != static_cast<pid_t>(std::atoll(argv[2]))) return 3;

  LandlockRules rules;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--write") == 0) rules.writable.emplace_back(argv[i + 1]);
    if (std::strcmp(argv[i], "--read") == 0) rules.readable.emplace_back(argv[i + 1]);
  }
  void* page = mmap(nullptr, unzip_channel::kStopPageSize, PROT_READ, MAP_SHARED,
                    unzip_channel::kStopPageFd, 0);
  if (page == MAP_FAILED) return 3;
  g_stop = static_cast<const std::atomic<std::int32_t>*>(page);

  const auto frame = g_socket.Receive();
  if (!frame || !*frame) return 3;
  const std::optional<unzip_channel::Call> call = unzip_channel::Call::Decode(**frame);
  if (!call) return 3;

  DynamicLibrary library;
  if (Result<void> opened = library.Open(argv[1]); !opened) {
    SendEnd(unzip_channel::Kind::kFailed, 0, opened.failure().Text());
    return 0;
  }
  auto* exec = reinterpret_cast<TUnzDllExec>(library.Symbol(UNZDLL_EXEC_NAME));
  auto* remove =
      reinterpret_cast<TUnzDllRemoveTemporaries>(library.Symbol(UNZDLL_REMOVE_TEMPORARIES_NAME));
  if (exec == nullptr) {
    SendEnd(unzip_channel::Kind::kFailed, 0, "the library has no entry point");
    return 0;
  }
  std::optional<CallOnSignal> on_signal;
  if (remove != nullptr) on_signal.emplace(remove);
  // Before the library starts a thread: every thread of the process is held to the rules.
  if (Result<void> confined = ConfineProcess(rules); !confined) {
    SendEnd(unzip_channel::Kind::kFailed, 0, confined.failure().Text());
    return 0;
  }

  std::vector<TUnzipFileSpec> specs(call->specs.size());
  for (std::size_t i = 0; i < specs.size(); ++i) specs[i].SpecText = call->specs[i].c_str();
  TUnzipParams params;
  std::memset(&params, 0, sizeof params);
  params.Version = UNZDLL_VERSION;
  params.Callback = &ForwardCallback;
  params.Password = call->password ? call->password->c_str() : nullptr;
  params.TestOnly = call->test_only;
  params.Reserved40 = UNZ_HOST_FIXED_40;
  params.Update = call->update;
  params.Freshen = call->freshen;
  params.KeepFolders = call->keep_folders;
  params.Plain = call->plain;
  params.SpecCount = static_cast<std::int32_t>(specs.size());
  params.ArchivePath = call->archive.c_str();
  params.Specs = specs.empty() ? nullptr : specs.data();
  params.Reserved104 = UNZ_HOST_FIXED_104;
  params.TargetFolder = call->target.c_str();
  params.Reserved144 = UNZ_HOST_FIXED_144;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &g_last_flush);
  const std::int32_t result = exec(&params);
  SendEnd(unzip_channel::Kind::kEnd, result, {});
  return 0;
}

}  // namespace
}  // namespace lorvante

int main(int argc, char** argv) {
  // Ends without the exit handlers: nothing is left to flush, and a sanitizer's leak check,
  // which traces the process, is refused by the filter.
  _exit(lorvante::Main(argc, argv));
}
