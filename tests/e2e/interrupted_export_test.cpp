// A text export that does not run to its end: the program killed, interrupted with Ctrl+C or
// terminated in the middle of a large text, or the disk full. The name the user chose holds what
// it held before, the temporary folder is emptied, and what SIGKILL leaves (only a hidden file
// beside the chosen name, and the run's folder) is removed by the next run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "app/messages.h"
#include "format/encrypt.h"
#include "platform/confinement.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

using ByteVector = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using test::kOldContent;
using test::MessagesIn;
using test::SortedNames;

constexpr std::size_t kLargeText = 64u << 20;
constexpr std::size_t kWrittenBeforeTheSignal = 2u << 20;
constexpr auto kPatience = std::chrono::seconds(20);
// The terminal's line on a cancel by Ctrl+C.
constexpr char kCancelledByCtrlC[] = "Megszakítva (Ctrl+C).";

// Lines of text with a running number: compressible, but not trivially. A large text repeats a
// block of 1 MiB, beyond the reach of deflate's window.
ByteVector LinesOfText(std::size_t size) {
  constexpr std::size_t kBlock = 1u << 20;
  ByteVector text;
  text.reserve(size + 64);
  for (std::size_t line = 0; text.size() < std::min(size, kBlock); ++line) {
    const std::string row = "Sor " + std::to_string(line) + ": a jelentés szövege\r\n";
    text.insert(text.end(), row.begin(), row.end());
  }
  text.resize(std::min(size, kBlock));
  const ByteVector block = text;
  while (text.size() < size) {
    const std::size_t part = std::min(block.size(), size - text.size());
    text.insert(text.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(part));
  }
  return text;
}

class InterruptedExport : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    large_input_ = new test::TempDir;
    const ByteVector text = LinesOfText(kLargeText);
    large_crc_ = crc32(0, text.data(), static_cast<uInt>(text.size()));
    test::WriteBytes(*large_input_ / "large.txt.des", EncryptPayload(GzipPayload(text, 2), false));
  }
  static void TearDownTestSuite() {
    delete large_input_;
    large_input_ = nullptr;
  }

  InterruptedExport() {
    std::filesystem::create_directory(out_);
    test::WriteText(out_ + "/old.txt", kOldContent);
  }

  static std::string LargeInput() { return *large_input_ / "large.txt.des"; }
  static uLong LargeCrc() { return large_crc_; }

  // Starts the export of the large text over old.txt and stops the program once its hidden file
  // has grown; returns the run, stopped. The hidden file's name goes to `hidden`.
  std::unique_ptr<test::BackgroundRun> StopMidway(std::string& hidden) {
    return StopOnceHiddenGrows(machine.Start({LargeInput()}, out_ + "/old.txt\ny\n"), out_, hidden);
  }

  // Stops `run` once a hidden file of the program in `folder` has grown; `folder_made` says
  // whether the run has made the folder yet.
  static std::unique_ptr<test::BackgroundRun> StopOnceHiddenGrows(
      std::unique_ptr<test::BackgroundRun> run, const std::string& folder, std::string& hidden,
      const std::function<bool()>& folder_made = [] { return true; }) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      if (!folder_made()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename();
        std::error_code error;
        if (name.rfind(".lorvante-", 0) == 0 &&
            std::filesystem::file_size(entry.path(), error) >= kWrittenBeforeTheSignal) {
          StopAll(*run);
          hidden = name;
          EXPECT_TRUE(std::filesystem::exists(entry.path())) << "the export ended too soon";
          return run;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "the export never started";
    return run;
  }

  // Stops `run` once a file that it writes without a name in `folder` has grown. False when
  // none was seen.
  static bool StopOnceUnnamedGrows(test::BackgroundRun& run, const std::string& folder) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      // The program, or the confined process in which the library writes.
      for (const pid_t writer : ProgramAndChildren(run.pid())) {
        const std::string descriptors = "/proc/" + std::to_string(writer) + "/fd";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(descriptors, error)) {
          std::error_code link_error;
          const std::string target = std::filesystem::read_symlink(entry.path(), link_error);
          if (link_error || !target.starts_with(folder + "/#")) continue;
          std::error_code size_error;  // the size of the file the link leads to
          if (std::filesystem::file_size(entry.path(), size_error) >= kWrittenBeforeTheSignal) {
            StopAll(run);
            return true;
          }
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  static std::vector<pid_t> ProgramAndChildren(pid_t pid) {
    std::vector<pid_t> pids = {pid};
    std::istringstream children(test::ReadText("/proc/" + std::to_string(pid) + "/task/" +
                                               std::to_string(pid) + "/children"));
    for (pid_t child = 0; children >> child;) pids.push_back(child);
    return pids;
  }

  // Stops the run's process group (the program and its confined process, as a terminal's
  // Ctrl+Z would) and waits until the program has stopped.
  static void StopAll(test::BackgroundRun& run) {
    kill(-run.pid(), SIGSTOP);
    int status = 0;
    waitpid(run.pid(), &status, WUNTRACED);
  }

  // A tagged file of one large entry, long enough to be caught while it is extracted.
  std::string LargeArchive() const {
    const std::string archive = machine.dir() / "large.zip.des";
    test::WriteBytes(
        archive,
        EncryptPayload(
            test::BuildZip({{.name = "large.txt", .data = LinesOfText(kLargeText), .method = 8}}),
            true));
    return archive;
  }

  // Sends `signal_number` to a stopped run and lets it go on.
  static test::RunResult Deliver(test::BackgroundRun& run, int signal_number) {
    kill(run.pid(), signal_number);
    kill(-run.pid(), SIGCONT);
    return run.Wait();
  }
  // The same to every process of the run, as when the whole machine stops.
  static test::RunResult DeliverToAll(test::BackgroundRun& run, int signal_number) {
    kill(-run.pid(), signal_number);
    kill(-run.pid(), SIGCONT);
    return run.Wait();
  }

  Names CleanTemp() const { return {"lorvante-" + std::to_string(geteuid())}; }

  test::Headless machine;
  std::string out_ = machine.dir() / "out";

 private:
  static test::TempDir* large_input_;
  static uLong large_crc_;
};

test::TempDir* InterruptedExport::large_input_ = nullptr;
uLong InterruptedExport::large_crc_ = 0;

uLong CrcOfFile(const std::string& path) {
  uLong crc = crc32(0, nullptr, 0);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return crc;
  ByteVector buffer(1u << 20);
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) {
    crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
  }
  std::fclose(file);
  return crc;
}

TEST_F(InterruptedExport, CtrlCCancelsTheExport) {
  std::string hidden;
  auto run = StopMidway(hidden);
  const auto result = Deliver(*run, SIGINT);
  EXPECT_EQ(result.status, 1);  // cancelled
  EXPECT_EQ(MessagesIn(result.err), (Names{kCancelledByCtrlC, messages::kExportFailed}))
      << result.err;
  EXPECT_EQ(SortedNames(out_), Names{"old.txt"});
  EXPECT_EQ(test::ReadText(out_ + "/old.txt"), kOldContent);
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

// Ctrl+C during an extraction cancels it, and a line says so; nothing of the entry stays.
TEST_F(InterruptedExport, CtrlCCancelsAnExtractionAndSaysSo) {
  const test::ScopedEnv hidden_files("LORVANTE_UNZIP_HIDDEN_FILES", "1");
  const std::string archive = LargeArchive();
  const std::string target = machine.dir() / "target";
  std::filesystem::create_directory(target);
  std::string hidden;
  auto run = StopOnceHiddenGrows(machine.Start({archive}, target + "\n"), target, hidden);
  const auto result = Deliver(*run, SIGINT);
  EXPECT_EQ(result.status, 1);  // cancelled
  EXPECT_EQ(MessagesIn(result.err), Names{kCancelledByCtrlC}) << result.err;
  EXPECT_EQ(SortedNames(target), Names{});
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

TEST_F(InterruptedExport, SigtermRemovesTheRunsFilesThenEnds) {
  std::string hidden;
  auto run = StopMidway(hidden);
  const auto result = Deliver(*run, SIGTERM);
  EXPECT_EQ(result.status, -SIGTERM);
  EXPECT_EQ(SortedNames(out_), Names{"old.txt"});
  EXPECT_EQ(test::ReadText(out_ + "/old.txt"), kOldContent);
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

// A large extraction ended by SIGTERM, SIGHUP or SIGKILL while the unzip library writes its file
// without a name: nothing of that file is left in the chosen folder, and the run's own folder
// goes too (but after SIGKILL, which the next run's cleanup covers).
TEST_F(InterruptedExport, SignalsDuringAnExtractionLeaveNothingOfAnUnnamedFile) {
  const std::string archive = LargeArchive();
  if (!test::FileSystemMakesUnnamedFiles(machine.dir().path())) {
    GTEST_SKIP() << "the file system here makes no file without a name";
  }
  for (const int signal_number : {SIGTERM, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(strsignal(signal_number));
    const std::string target = machine.dir() / ("unnamed-" + std::to_string(signal_number));
    std::filesystem::create_directory(target);
    auto run = machine.Start({archive}, target + "\n");
    ASSERT_TRUE(StopOnceUnnamedGrows(*run, target)) << "no file without a name was written";
    EXPECT_EQ(Deliver(*run, signal_number).status, -signal_number);
    EXPECT_EQ(SortedNames(target), Names{});
    if (signal_number != SIGKILL) {
      EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
    }
  }
}

// The confined process in which the library writes, killed mid-way (by the system, out of
// memory, say), or ended by SIGTERM: the program reports the extraction as failed with the
// reason, and neither the file nor the run's folder is left (but a hidden file after SIGKILL).
TEST_F(InterruptedExport, AnEndedConfinedProcessIsAFailureWithItsReason) {
  if (!ConfinementInForce()) GTEST_SKIP() << ConfinementSummary();
  const std::string archive = LargeArchive();
  for (const bool hidden_files : {false, true}) {
    const test::ScopedEnv naming("LORVANTE_UNZIP_HIDDEN_FILES", hidden_files ? "1" : "0");
    for (const int signal_number : {SIGKILL, SIGTERM}) {
      SCOPED_TRACE(std::string(strsignal(signal_number)) + (hidden_files ? ", hidden" : ""));
      const std::string target = machine.dir() / ("confined-" + std::to_string(signal_number) +
                                                  (hidden_files ? "-hidden" : ""));
      std::filesystem::create_directory(target);
      std::unique_ptr<test::BackgroundRun> run = machine.Start({archive}, target + "\n");
      if (hidden_files) {
        std::string hidden;
        run = StopOnceHiddenGrows(std::move(run), target, hidden);
      } else if (!StopOnceUnnamedGrows(*run, target)) {
        continue;  // a file system that makes no file without a name: the other round covers it
      }
      const std::vector<pid_t> processes = ProgramAndChildren(run->pid());
      ASSERT_EQ(processes.size(), 2u) << "no confined process";
      kill(processes[1], signal_number);
      kill(-run->pid(), SIGCONT);
      const test::RunResult result = run->Wait();
      EXPECT_EQ(result.status, 1) << result.err;
      const std::string reason = std::string(
                                     "The extraction process ended before its work was "
                                     "done (killed by signal ") +
                                 std::to_string(signal_number) + " (SIG" +
                                 sigabbrev_np(signal_number) + ")).";
      EXPECT_EQ(MessagesIn(result.err), Names{reason}) << result.err;
      // A hidden file of a process killed with SIGKILL stays, as after the program's own SIGKILL,
      // for the next export into the folder to remove; nothing else does.
      for (const std::string& name : SortedNames(target)) {
        EXPECT_TRUE(hidden_files && signal_number == SIGKILL &&
                    name.rfind(".lorvante-" + std::to_string(processes[1]) + "-", 0) == 0)
            << name;
      }
      EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
    }
  }
}

// On a file system that makes no file without a name, the library writes a hidden file instead:
// it goes with the program, as the text export's does, and so does the run's folder.
TEST_F(InterruptedExport, SignalsDuringAnExtractionRemoveTheLibrarysHiddenFile) {
  const test::ScopedEnv hidden_files("LORVANTE_UNZIP_HIDDEN_FILES", "1");
  const std::string archive = LargeArchive();
  for (const int signal_number : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal_number));
    const std::string target = machine.dir() / ("target-" + std::to_string(signal_number));
    std::filesystem::create_directory(target);
    std::string hidden;
    auto run = StopOnceHiddenGrows(machine.Start({archive}, target + "\n"), target, hidden);
    const auto result = Deliver(*run, signal_number);
    EXPECT_EQ(result.status, -signal_number);
    EXPECT_EQ(SortedNames(target), Names{}) << "left: " << hidden;
    EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
  }
}

// An extraction killed with SIGKILL while it writes into a subfolder of the chosen folder (one
// that stood already, as after an earlier extraction: a missing one is made only when its file is
// placed): the next extraction into the chosen folder removes the hidden file there, though its
// own archive writes nothing into that subfolder.
TEST_F(InterruptedExport, TheNextExtractionRemovesWhatSigkillLeftInSubfolders) {
  const test::ScopedEnv hidden_files("LORVANTE_UNZIP_HIDDEN_FILES", "1");
  const std::string archive = machine.dir() / "deep.zip.des";
  test::WriteBytes(archive, EncryptPayload(test::BuildZip({{.name = "deep/er/large.txt",
                                                            .data = LinesOfText(kLargeText),
                                                            .method = 8}}),
                                           true));
  const std::string target = machine.dir() / "target";
  std::filesystem::create_directories(target + "/deep/er");
  std::string hidden;
  auto run =
      StopOnceHiddenGrows(machine.Start({archive}, target + "\n"), target + "/deep/er", hidden,
                          [&] { return std::filesystem::is_directory(target + "/deep/er"); });
  // The confined process, orphaned when the program dies, is reaped here (as the system's init
  // would), so that the next run knows it is gone.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const std::vector<pid_t> processes = ProgramAndChildren(run->pid());
  EXPECT_EQ(DeliverToAll(*run, SIGKILL).status, -SIGKILL);
  for (std::size_t i = 1; i < processes.size(); ++i) waitpid(processes[i], nullptr, 0);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  ASSERT_EQ(SortedNames(target + "/deep/er"), Names{hidden});

  const std::string small = machine.dir() / "small.zip.des";
  test::WriteBytes(
      small,
      EncryptPayload(test::BuildZip({{.name = "small.txt", .data = test::Bytes("kicsi")}}), true));
  const auto next = machine.Run({small}, target + "\n");
  EXPECT_EQ(MessagesIn(next.err), Names{"1 állomány kibontva ide: " + target}) << next.err;
  EXPECT_EQ(SortedNames(target + "/deep/er"), Names{});
  EXPECT_EQ(test::ReadText(target + "/small.txt"), "kicsi");
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

TEST_F(InterruptedExport, SigkillLeavesOnlyWhatTheNextRunRemoves) {
  std::string hidden;
  auto run = StopMidway(hidden);
  const auto result = Deliver(*run, SIGKILL);
  EXPECT_EQ(result.status, -SIGKILL);
  EXPECT_EQ(SortedNames(out_), (Names{hidden, "old.txt"}));
  EXPECT_EQ(test::ReadText(out_ + "/old.txt"), kOldContent);
  EXPECT_NE(machine.TempLeftovers(), CleanTemp());  // the run's folder with the payload

  // The next run into the same folder removes the hidden file and the dead run's folder.
  const std::string small = machine.dir() / "small.txt.des";
  test::WriteBytes(small, EncryptPayload(GzipPayload(test::Bytes("kicsi")), false));
  const auto next = machine.Run({small}, out_ + "/new.txt\n");
  EXPECT_EQ(MessagesIn(next.err), Names{"A szöveg mentve: " + out_ + "/new.txt"}) << next.err;
  EXPECT_EQ(SortedNames(out_), (Names{"new.txt", "old.txt"}));
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

// Two conversions of inputs with the same name at once: each decrypts into a folder of its own,
// so the second one neither disturbs the first nor is disturbed by it.
TEST_F(InterruptedExport, RunsOfTheSameNameDoNotShareTheirPayload) {
  std::string hidden;
  auto first = StopMidway(hidden);
  const std::string other = machine.dir() / "other";
  std::filesystem::create_directory(other);
  test::WriteBytes(other + "/large.txt.des",
                   EncryptPayload(GzipPayload(test::Bytes("a másik"), 6), false));
  const auto second = machine.Run({other + "/large.txt.des"}, other + "/large.txt\n");
  EXPECT_EQ(MessagesIn(second.err), Names{"A szöveg mentve: " + other + "/large.txt"})
      << second.err;
  EXPECT_EQ(test::ReadText(other + "/large.txt"), "a másik");

  kill(-first->pid(), SIGCONT);
  const auto result = first->Wait();
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(MessagesIn(result.err), Names{"A szöveg mentve: " + out_ + "/old.txt"}) << result.err;
  EXPECT_EQ(SortedNames(out_), Names{"old.txt"});
  EXPECT_EQ(std::filesystem::file_size(out_ + "/old.txt"), kLargeText);
  EXPECT_EQ(CrcOfFile(out_ + "/old.txt"), LargeCrc());
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

// A full disk, stood in for by a file-size limit (the payload fits, the text does not), and by
// a small tmpfs where this machine lets the test mount one.
TEST_F(InterruptedExport, FullDiskIsAStreamWriteErrorAndKeepsTheOldFile) {
  const std::string input = machine.dir() / "report.txt.des";
  test::WriteBytes(input, EncryptPayload(GzipPayload(LinesOfText(8u << 20)), false));
  auto run = machine.Start({input}, out_ + "/old.txt\ny\n", 1u << 20);
  const auto result = run->Wait();
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(MessagesIn(result.err), Names{"Stream write error"}) << result.err;
  EXPECT_EQ(SortedNames(out_), Names{"old.txt"});
  EXPECT_EQ(test::ReadText(out_ + "/old.txt"), kOldContent);
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
}

TEST_F(InterruptedExport, FullTmpfsIsAStreamWriteErrorAndKeepsTheOldFile) {
  const std::string small = machine.dir() / "small-disk";
  std::filesystem::create_directory(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m") != 0) {
    GTEST_SKIP() << "no tmpfs can be mounted here; the file-size limit stands in for it";
  }
  test::WriteText(small + "/old.txt", kOldContent);
  const std::string input = machine.dir() / "report.txt.des";
  test::WriteBytes(input, EncryptPayload(GzipPayload(LinesOfText(8u << 20)), false));
  const auto result = machine.Run({input}, small + "/old.txt\ny\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(MessagesIn(result.err), Names{"Stream write error"}) << result.err;
  EXPECT_EQ(SortedNames(small), Names{"old.txt"});
  EXPECT_EQ(test::ReadText(small + "/old.txt"), kOldContent);
  EXPECT_EQ(machine.TempLeftovers(), CleanTemp());
  umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace lorvante
