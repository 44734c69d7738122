// Extraction by several workers: the host sees what it sees with one (the same callbacks in the
// same order, the same questions, the same files), a stop leaves no file under a final name that
// is not whole, and a killed run leaves only what the next one removes.
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "tests/unzdll/entry_ciphers.h"
#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using lorvante::test::ReadText;
using lorvante::test::WriteText;
using Bytes = std::vector<std::uint8_t>;

constexpr int kSeveralWorkers = 4;
constexpr std::uint32_t kFolderMode = 040755u << 16;
constexpr char kHiddenPrefix[] = ".lorvante-";

// Every callback as one line, for comparing whole traces.
std::vector<std::string> Trace(const HostRun& run) {
  std::vector<std::string> lines;
  for (const Callback& call : run.calls) {
    lines.push_back(std::to_string(call.code) + " " + std::to_string(call.status) + " " +
                    std::to_string(call.value) + " " + call.text);
  }
  return lines;
}

// Where two traces part: the index and both lines there; empty when they are the same.
std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const std::string left = i < a.size() ? a[i] : "(end)";
    const std::string right = i < b.size() ? b[i] : "(end)";
    if (left != right) {
      std::string context = "at " + std::to_string(i) + ": " + left + " | " + right;
      for (std::size_t k = i >= 4 ? i - 4 : 0; k < i + 4; ++k) {
        context +=
            "\n  " + (k < a.size() ? a[k] : "(end)") + " | " + (k < b.size() ? b[k] : "(end)");
      }
      return context;
    }
  }
  return {};
}

// The texts of the questions (existing target, password, CRC error), in the order asked.
std::vector<std::string> Questions(const HostRun& run) {
  std::vector<std::string> out;
  for (const Callback& call : run.calls) {
    if (call.code == UNZ_ACTION_TARGET_EXISTS || call.code == UNZ_ACTION_PASSWORD ||
        call.code == UNZ_ACTION_CRC_ERROR) {
      out.push_back(std::to_string(call.code) + " " + call.text);
    }
  }
  return out;
}

class WorkersTest : public UnzTest {
 protected:
  // A folder of its own for one run, holding `existing` (name, text) beforehand.
  std::string Folder(const std::string& name,
                     const std::vector<std::pair<std::string, std::string>>& existing) {
    const std::string folder = dir_ / name;
    std::filesystem::create_directories(folder);
    for (const auto& [file, text] : existing) {
      std::filesystem::create_directories(std::filesystem::path(folder + "/" + file).parent_path());
      WriteText(folder + "/" + file, text);
    }
    return folder;
  }

  // Every file below `root` with its content.
  static std::map<std::string, Bytes> Contents(const std::string& root) {
    std::map<std::string, Bytes> out;
    for (const std::string& name : Tree(root)) {
      if (name.back() != '/') out[name] = ReadBytes(root + "/" + name);
    }
    return out;
  }

  // An archive of 100 small entries, enough for many workers to run far ahead of the caller.
  void WriteManySmallEntries() {
    std::vector<ZipItem> items;
    for (int i = 0; i < 100; ++i) {
      items.push_back({.name = "s" + std::to_string(i), .data = Data(2000, i), .method = 8});
    }
    WriteZip(items);
  }

  // Waits (at most 20 s) until `count` reaches `minimum` and stays the same for a while: the
  // workers then wait for the caller.
  static void WaitUntilSteady(const std::function<int()>& count, int minimum) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int seen = -1;
    while (std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const int now = count();
      if (now == seen && now >= minimum) return;
      seen = now;
    }
  }

  // The archive of many kinds of entries: small files in folders, large ones of several
  // progress steps, a folder, a file and a folder of one name, a CRC error, an encrypted entry,
  // an unsafe name, an unsupported method, two entries of one name once folders are dropped.
  void WriteMixedArchive() {
    std::vector<ZipItem> items;
    for (int folder = 0; folder < 6; ++folder) {
      for (int file = 0; file < 5; ++file) {
        const auto seed = static_cast<std::uint32_t>(folder * 10 + file);
        items.push_back({.name = "d" + std::to_string(folder) + "/f" + std::to_string(file),
                         .data = Data(1000 + 700 * file, seed),
                         .method = 8});
      }
    }
    items.push_back({.name = "big.bin", .data = Data(700 * 1024, 100)});
    items.push_back({.name = "empty/", .external = kFolderMode});
    items.push_back({.name = "crc.txt", .data = Data(5000, 101), .method = 8, .crc = 1234});
    ZipItem secret{.name = "secret.bin", .data = Data(3000, 102)};
    secret.stored = secret.data;
    Encrypt(secret, Encryption::kZipCrypto, "pw");
    items.push_back(secret);
    items.push_back({.name = "../evil", .data = {'e'}});
    items.push_back({.name = "odd.bin", .data = {'o'}, .method = 97});
    items.push_back({.name = "exists.txt", .data = Data(2000, 103), .method = 8});
    items.push_back({.name = "one/same.txt", .data = Data(4000, 104), .method = 8});
    items.push_back({.name = "two/same.txt", .data = Data(4100, 105), .method = 8});
    items.push_back({.name = "big2.bin", .data = Data(600 * 1024, 106), .method = 8});
    items.push_back({.name = "f0", .data = Data(10, 107)});  // a file where a folder is wanted
    WriteZip(items);
  }
};

struct RunCase {
  const char* label;
  int keep_folders;
  Script::Mode mode;
  int replace;  // the answer to an existing target
};

TEST_F(WorkersTest, SeveralWorkersGiveTheTraceAndFilesOfOne) {
  WriteMixedArchive();
  const RunCase cases[] = {
      {"folders kept", -1, Script::Mode::kPlain, 1},
      {"folders dropped", 0, Script::Mode::kPlain, 0},
      {"test only", -1, Script::Mode::kTest, 1},
      {"freshen", -1, Script::Mode::kFreshen, 1},
      {"update, keep existing", 0, Script::Mode::kUpdate, 0},
  };
  const std::vector<std::pair<std::string, std::string>> existing = {
      {"exists.txt", "old"}, {"d3/f1", "old"}, {"same.txt", "old"}};
  for (const RunCase& c : cases) {
    std::map<int, HostRun> runs;
    std::map<int, std::map<std::string, Bytes>> files;
    for (const int workers : {1, kSeveralWorkers}) {
      const std::string folder =
          Folder(std::string(c.label) + "-" + std::to_string(workers), existing);
      Script script;
      script.keep_folders = c.keep_folders;
      script.mode = c.mode;
      script.replace = c.replace;
      script.passwords = {"pw"};
      script.crc_answer = 1;
      script.workers = workers;
      runs[workers] = lib_.Run(archive(), folder, script);
      files[workers] = Contents(folder);
    }
    EXPECT_EQ(FirstDifference(Trace(runs[kSeveralWorkers]), Trace(runs[1])), "") << c.label;
    EXPECT_EQ(runs[kSeveralWorkers].result, runs[1].result) << c.label;
    EXPECT_TRUE(files[kSeveralWorkers] == files[1]) << c.label;
    // The run did something worth comparing.
    EXPECT_GE(runs[1].calls.size(), 40u) << c.label;
  }
  // With folders kept: every question, one at a time, in archive order.
  Script script;
  script.passwords = {"pw"};
  script.crc_answer = 1;
  script.replace = 1;
  script.workers = kSeveralWorkers;
  const HostRun run = lib_.Run(archive(), Folder("questions", existing), script);
  EXPECT_EQ(Questions(run),
            (std::vector<std::string>{"10 d3/f1", "9 crc.txt", "8 secret.bin", "10 exists.txt"}));
}

// Entries that need a question wait for it; the answers go to the right entry, in archive order,
// while the workers go on with the others.
TEST_F(WorkersTest, QuestionsOfManyEntriesComeInArchiveOrder) {
  std::vector<ZipItem> items;
  std::vector<std::pair<std::string, std::string>> existing;
  std::vector<std::string> expected;
  for (int i = 0; i < 24; ++i) {
    const std::string name = "n" + std::to_string(i);
    ZipItem item{.name = name, .data = Data(3000 + 100 * i, i), .method = 8};
    if (i % 3 == 0) {
      existing.emplace_back(name, "old");
      expected.push_back("10 " + name);
    }
    if (i % 4 == 1) {
      item.crc = 99;
      expected.push_back("9 " + name);
    }
    items.push_back(item);
  }
  WriteZip(items);
  Script script;
  script.workers = kSeveralWorkers;
  script.replace = 1;
  script.crc_answer = 0;
  const std::string folder = Folder("out", existing);
  const HostRun run = lib_.Run(archive(), folder, script);
  EXPECT_EQ(Questions(run), expected);
  // Replaced files hold the archive's data; discarded CRC errors are absent or old.
  EXPECT_EQ(ReadBytes(folder + "/n0"), Data(3000, 0));
  EXPECT_FALSE(std::filesystem::exists(folder + "/n1"));
  EXPECT_EQ(ReadText(folder + "/n9"), "old");  // replace agreed, then its CRC was discarded
}

// A stop while several workers run: within one progress step, and what the stop leaves is what
// one worker leaves: every file under its final name whole, no temporary file.
TEST_F(WorkersTest, StopWhileSeveralWorkersRunLeavesOnlyWholeFiles) {
  std::vector<ZipItem> items;
  for (int i = 0; i < 30; ++i) {
    items.push_back({.name = "p" + std::to_string(i), .data = Data(300 * 1024, i), .method = 8});
  }
  WriteZip(items);
  for (const int stop_at : {1, 7, 20}) {
    std::map<int, HostRun> runs;
    std::map<int, std::set<std::string>> trees;
    for (const int workers : {1, kSeveralWorkers}) {
      const std::string folder =
          Folder(std::to_string(stop_at) + "-" + std::to_string(workers), {});
      int progress = 0;
      Script script;
      script.workers = workers;
      script.stop_when = [&](const Callback& call) {
        return call.code == UNZ_ACTION_PROGRESS && ++progress == stop_at;
      };
      runs[workers] = lib_.Run(archive(), folder, script);
      trees[workers] = Tree(folder);
      for (const std::string& name : trees[workers]) {
        ASSERT_EQ(name[0], 'p') << name;  // no temporary file is left
        EXPECT_EQ(ReadBytes(folder + "/" + name), items[std::stoi(name.substr(1))].data) << name;
      }
    }
    EXPECT_EQ(trees[kSeveralWorkers], trees[1]) << stop_at;
    EXPECT_EQ(FirstDifference(Trace(runs[kSeveralWorkers]), Trace(runs[1])), "") << stop_at;
    EXPECT_EQ(runs[1].calls.back().code, UNZ_ACTION_END_BATCH);
    EXPECT_LT(trees[1].size(), items.size()) << stop_at;
  }
}

// Workers far ahead of the caller hold many hidden files at once; the removal that the program's
// signal handlers call takes every one of them, however many there are.
TEST_F(WorkersTest, RemovalOnASignalTakesEveryHiddenFileOfTheWorkers) {
  constexpr int kManyWorkers = 8;
  constexpr int kMoreThanASmallTable = 40;
  WriteManySmallEntries();
  const std::string folder = Folder("signal", {});
  const auto hidden_files = [&] {
    int hidden = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      hidden += entry.path().filename().string().starts_with(kHiddenPrefix) ? 1 : 0;
    }
    return hidden;
  };
  int hidden_before = 0;
  int hidden_after = -1;
  Script script;
  script.workers = kManyWorkers;
  script.hidden_files = true;
  // The caller stays in its first callback while the workers go ahead, until they wait for it
  // (the count of hidden files stays the same for a while).
  script.stop_when = [&](const Callback& call) {
    if (call.code != UNZ_ACTION_BEGIN_FILE) return false;
    WaitUntilSteady(hidden_files, kMoreThanASmallTable);
    hidden_before = hidden_files();
    void* library = ::dlopen(UNZDLL_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
    const auto remove = reinterpret_cast<TUnzDllRemoveTemporaries>(
        library != nullptr ? ::dlsym(library, UNZDLL_REMOVE_TEMPORARIES_NAME) : nullptr);
    if (remove != nullptr) remove();
    if (library != nullptr) ::dlclose(library);
    hidden_after = hidden_files();
    return true;
  };
  lib_.Run(archive(), folder, script);
  EXPECT_GE(hidden_before, kMoreThanASmallTable);
  EXPECT_EQ(hidden_after, 0);
}

// A folder the run made holds only what the run puts there, so the names in it are not looked at
// before the files are written; a file that another process puts there meanwhile is not
// replaced unasked: it brings the question of an existing file when the entry's file is placed.
TEST_F(WorkersTest, FileAppearingInAFolderTheRunMadeBringsTheQuestion) {
  WriteZip({{.name = "new/a.txt", .data = Data(3000, 1), .method = 8},
            {.name = "new/b.txt", .data = Data(3000, 2), .method = 8},
            {.name = "new/c.txt", .data = Data(3000, 3), .method = 8}});
  for (const bool hidden_files : {false, true}) {
    for (const int workers : {1, kSeveralWorkers}) {
      for (const int replace : {0, 1}) {
        const std::string label = std::to_string(workers) + "-" + std::to_string(replace) +
                                  (hidden_files ? "-hidden" : "");
        SCOPED_TRACE(label);
        const std::string folder = Folder("appearing-" + label, {});
        Script script;
        script.workers = workers;
        script.replace = replace;
        script.hidden_files = hidden_files;
        script.stop_when = [&](const Callback& call) {
          if (call.code == UNZ_ACTION_BEGIN_FILE && call.text == "new/b.txt") {
            WriteText(folder + "/new/b.txt", "someone else's");
          }
          return false;
        };
        const HostRun run = lib_.Run(archive(), folder, script);
        EXPECT_EQ(Questions(run), std::vector<std::string>{
                                      std::to_string(UNZ_ACTION_TARGET_EXISTS) + " new/b.txt"});
        EXPECT_EQ(ReadBytes(folder + "/new/a.txt"), Data(3000, 1));
        EXPECT_EQ(ReadBytes(folder + "/new/c.txt"), Data(3000, 3));
        if (replace == 1) {
          EXPECT_EQ(ReadBytes(folder + "/new/b.txt"), Data(3000, 2));
          EXPECT_TRUE(run.Skips().empty());
        } else {
          EXPECT_EQ(ReadText(folder + "/new/b.txt"), "someone else's");
          EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_KEPT_EXISTING});
        }
        EXPECT_EQ(Tree(folder),
                  (std::set<std::string>{"new/", "new/a.txt", "new/b.txt", "new/c.txt"}));
      }
    }
  }
}

// Files whose folders are made only when they are placed are written meanwhile in the nearest
// folder that stands, and renamed from there: that folder stays open until then, also when the
// cache of open folders has let it go because more folders were made than it holds.
TEST_F(WorkersTest, HiddenFilesOfManyNewFoldersAreRenamedFromTheirOwnFolder) {
  constexpr int kMoreFoldersThanTheCacheHolds = 150;
  std::vector<ZipItem> items;
  for (int i = 0; i < kMoreFoldersThanTheCacheHolds; ++i) {
    items.push_back({.name = "n" + std::to_string(i) + "/f", .data = Data(500, i), .method = 8});
  }
  WriteZip(items);
  for (const int workers : {1, kSeveralWorkers}) {
    SCOPED_TRACE(std::to_string(workers) + " workers");
    const std::string folder = Folder("many-" + std::to_string(workers), {});
    Script script;
    script.workers = workers;
    script.hidden_files = true;
    const HostRun run = lib_.Run(archive(), folder, script);
    EXPECT_EQ(run.Skips(), std::vector<int>{}) << run.Messages();
    std::map<std::string, Bytes> expected;
    for (int i = 0; i < kMoreFoldersThanTheCacheHolds; ++i) {
      expected["n" + std::to_string(i) + "/f"] = Data(500, i);
    }
    EXPECT_EQ(Contents(folder), expected);
  }
}

// The files of this process open in `folder` without a name (their links in /proc name them
// "<folder>/#<inode> (deleted)").
int UnnamedFilesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error);
    count += !error && target.starts_with(folder + "/#") && target.ends_with(" (deleted)") ? 1 : 0;
  }
  return count;
}

// Where the file system can, the workers' files have no name while they are written: however
// far the workers are ahead, the folder shows nothing of them, and a stop leaves nothing.
TEST_F(WorkersTest, UnnamedFilesOfTheWorkersShowNothingAndGoWithAStop) {
  constexpr int kManyWorkers = 8;
  constexpr int kFarAhead = 40;
  WriteManySmallEntries();
  const std::string folder = Folder("unnamed", {});
  if (!lorvante::test::FileSystemMakesUnnamedFiles(folder)) {
    GTEST_SKIP() << "the file system here makes no file without a name";
  }
  int unnamed_ahead = 0;
  std::set<std::string> seen_ahead{"(not looked at)"};
  Script script;
  script.workers = kManyWorkers;
  // The caller stays in its first callback until the workers wait for it.
  script.stop_when = [&](const Callback& call) {
    if (call.code != UNZ_ACTION_BEGIN_FILE) return false;
    WaitUntilSteady([&] { return UnnamedFilesIn(folder); }, kFarAhead);
    unnamed_ahead = UnnamedFilesIn(folder);
    seen_ahead = Tree(folder);
    return true;
  };
  lib_.Run(archive(), folder, script);
  EXPECT_GE(unnamed_ahead, kFarAhead);
  EXPECT_EQ(seen_ahead, std::set<std::string>{});
  EXPECT_EQ(Tree(folder), std::set<std::string>{});
  EXPECT_EQ(UnnamedFilesIn(folder), 0);
}

// An archive of many large entries, and a child process that extracts it with several workers,
// slowly enough (each progress step waits) to be killed in the middle.
struct RunToKill {
  RunToKill() {
    std::filesystem::create_directory(target);
    for (int i = 0; i < 40; ++i) {
      items.push_back({.name = "k" + std::to_string(i),
                       .data = lorvante::test::RandomBytes(600 * 1024, i),
                       .method = 8});
    }
    lorvante::test::WriteBytes(archive, BuildZip(items));
  }

  // The child's id (-1 when none could be started).
  pid_t Start(bool hidden_files) const {
    const pid_t child = ::fork();
    if (child != 0) return child;
    UnzLibrary lib;
    Script script;
    script.workers = kSeveralWorkers;
    script.hidden_files = hidden_files;
    script.stop_when = [](const Callback& call) {
      if (call.code == UNZ_ACTION_PROGRESS)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      return false;
    };
    lib.Run(archive, target, script);
    ::_exit(0);
  }

  lorvante::test::TempDir dir;
  std::string archive = dir / "archive.zip";
  std::string target = dir / "target";
  std::vector<ZipItem> items;
};

// Killed in the middle, with several workers holding files: every file under a final name is
// whole, the others are hidden files of the killed process, and the next run removes them.
TEST(WorkersKilled, SigkillLeavesOnlyWhatTheNextRunRemoves) {
  // The next run counts as later than the hidden files only when it loads the library after
  // they were made: nothing here loads it before.
  if (::dlopen(UNZDLL_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD) != nullptr) {
    GTEST_SKIP() << "the library was loaded by an earlier test of this process";
  }
  const RunToKill run;
  const std::string& target = run.target;
  const std::vector<ZipItem>& items = run.items;
  const pid_t child = run.Start(true);
  ASSERT_GE(child, 0);
  // Killed once some files are in place and others are being written.
  const auto hidden_and_placed = [&] {
    int hidden = 0;
    int placed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(target)) {
      (entry.path().filename().string().starts_with(kHiddenPrefix) ? hidden : placed) += 1;
    }
    return std::pair(hidden, placed);
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const auto [hidden, placed] = hidden_and_placed();
    if (hidden >= 2 && placed >= 2) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  const std::string killed_prefix = kHiddenPrefix + std::to_string(child) + "-";
  int hidden = 0;
  for (const auto& entry : std::filesystem::directory_iterator(target)) {
    const std::string name = entry.path().filename();
    if (name.starts_with(kHiddenPrefix)) {
      EXPECT_TRUE(name.starts_with(killed_prefix)) << name;
      ++hidden;
    } else {
      EXPECT_EQ(ReadBytes(entry.path()), items[std::stoi(name.substr(1))].data) << name;
    }
  }
  EXPECT_GE(hidden, 1);

  // The next run, in this process, loads the library a second later than the files were made.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  UnzLibrary lib;
  Script script;
  script.replace = 0;
  lib.Run(run.archive, target, script);
  for (const auto& entry : std::filesystem::directory_iterator(target)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(kHiddenPrefix)) << entry.path();
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target),
                          std::filesystem::directory_iterator()),
            static_cast<long>(items.size()));
}

// Killed in the middle while the workers write files without a name: every file in the folder is
// whole, and nothing else is left, not even for the next run to remove.
TEST(WorkersKilled, SigkillWithUnnamedFilesLeavesOnlyWholeFiles) {
  const RunToKill run;
  const std::string& target = run.target;
  const std::vector<ZipItem>& items = run.items;
  if (!lorvante::test::FileSystemMakesUnnamedFiles(target)) {
    GTEST_SKIP() << "the file system here makes no file without a name";
  }
  const pid_t child = run.Start(false);
  ASSERT_GE(child, 0);
  const auto placed = [&] {
    return std::distance(std::filesystem::directory_iterator(target),
                         std::filesystem::directory_iterator());
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline && placed() < 2) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  int whole = 0;
  for (const auto& entry : std::filesystem::directory_iterator(target)) {
    const std::string name = entry.path().filename();
    if (name.starts_with(kHiddenPrefix)) continue;  // counted below
    EXPECT_EQ(ReadBytes(entry.path()), items[std::stoi(name.substr(1))].data) << name;
    ++whole;
  }
  EXPECT_GE(whole, 2);
  EXPECT_LT(whole, static_cast<int>(items.size())) << "the run was not killed in the middle";
  EXPECT_EQ(placed(), whole) << "a hidden file was left";
}

}  // namespace
}  // namespace unzdll::test
