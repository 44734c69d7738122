// A file that replaces another reaches the disk before the rename that replaces, and its folder
// after it, so that a power cut leaves the old content or the new; files that take free names
// are not flushed one by one. Checked on the system calls of real runs, traced with strace.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <sstream>

#include "format/encrypt.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

using Calls = std::vector<std::string>;

constexpr char kStrace[] = "/usr/bin/strace";

// The flushes and renames of a traced run, one line each, in order.
Calls TracedCalls(const test::Headless& machine, const std::vector<std::string>& arguments,
                  const std::string& answers) {
  const std::string log = machine.dir() / "strace.log";
  const test::RunResult result =
      machine.RunWrapped({kStrace, "-f", "-qq", "-e",
                          "trace=fdatasync,fsync,syncfs,renameat,renameat2,linkat", "-o", log},
                         // A sanitizer's leak check cannot run under a tracer.
                         arguments, answers, {"ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_EQ(result.status, 0) << result.err;
  Calls calls;
  std::istringstream lines(test::ReadText(log));
  for (std::string line; std::getline(lines, line);) calls.push_back(line);
  return calls;
}

// The first call at or after `from` that holds every one of `parts`; calls.size() when none.
std::size_t Find(const Calls& calls, std::initializer_list<const char*> parts,
                 std::size_t from = 0) {
  for (std::size_t i = from; i < calls.size(); ++i) {
    bool all = true;
    for (const char* part : parts) all = all && calls[i].find(part) != std::string::npos;
    if (all) return i;
  }
  return calls.size();
}

std::string Joined(const Calls& calls) {
  std::string text;
  for (const std::string& call : calls) text += call + "\n";
  return text;
}

class Durability : public testing::Test {
 protected:
  void SetUp() override {
    if (access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    std::filesystem::create_directory(target_);
  }

  // A tagged file whose archive holds "adatok/uj.txt", dated 2020.
  std::string Tagged() const {
    const std::string path = machine_.dir() / "adatok.zip.des";
    test::WriteBytes(path, EncryptPayload(test::BuildZip({{.name = "adatok/uj.txt",
                                                           .data = test::Bytes("az új szöveg"),
                                                           .method = 8}}),
                                          true));
    return path;
  }

  test::Headless machine_;
  std::string target_ = machine_.dir() / "out";
};

TEST_F(Durability, TheTextIsFlushedBeforeItReplacesAFileAndTheFolderAfter) {
  const std::string bare = machine_.dir() / "jelentes.txt.des";
  test::WriteBytes(bare, EncryptPayload(GzipPayload(test::Bytes("az új szöveg\n")), false));
  test::WriteText(target_ + "/regi.txt", test::kOldContent);
  const Calls calls = TracedCalls(machine_, {bare}, target_ + "/regi.txt\ny\n");
  const std::size_t rename = Find(calls, {"rename", ".lorvante-", "regi.txt\"", "= 0"});
  ASSERT_LT(rename, calls.size()) << Joined(calls);
  const std::size_t flush = Find(calls, {"fdatasync(", "= 0"});
  EXPECT_LT(flush, rename) << Joined(calls);
  EXPECT_LT(Find(calls, {"fsync(", "= 0"}, rename), calls.size()) << Joined(calls);
  EXPECT_EQ(test::ReadText(target_ + "/regi.txt"), "az új szöveg\n");
}

TEST_F(Durability, AnExtractedFileIsFlushedBeforeItReplacesAnOlderOne) {
  std::filesystem::create_directory(target_ + "/adatok");
  const std::string old = target_ + "/adatok/uj.txt";
  test::WriteText(old, test::kOldContent);
  const utimbuf long_ago{946684800, 946684800};  // 2000: older than the archived copy
  ASSERT_EQ(utime(old.c_str(), &long_ago), 0);
  const Calls calls = TracedCalls(machine_, {"--batch", "-o", target_, Tagged()}, "");
  // Linked beside the old file under a hidden name, or renamed from one, then over it.
  const std::size_t rename = Find(calls, {"rename", ".lorvante-", "uj.txt\"", "= 0"});
  ASSERT_LT(rename, calls.size()) << Joined(calls);
  EXPECT_LT(Find(calls, {"fdatasync(", "= 0"}), rename) << Joined(calls);
  EXPECT_LT(Find(calls, {"fsync(", "= 0"}, rename), calls.size()) << Joined(calls);
  EXPECT_EQ(test::ReadText(old), "az új szöveg");
}

TEST_F(Durability, NewFilesInANewFolderAreNotFlushedOneByOne) {
  const Calls calls = TracedCalls(machine_, {"--batch", "-o", target_, Tagged()}, "");
  EXPECT_EQ(Find(calls, {"sync"}), calls.size()) << Joined(calls);
  EXPECT_EQ(test::ReadText(target_ + "/adatok/uj.txt"), "az új szöveg");
}

}  // namespace
}  // namespace lorvante
