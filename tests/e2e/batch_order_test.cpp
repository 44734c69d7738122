// --batch converts bare files several at once: what the run says, its results and its status
// are those of the files converted one after the other (as on one core), whatever the mix of
// good, failing and tagged files; questions, where they can come (without --batch), are asked in
// the order of the files; and the buffers kept from one file to the next give every text byte
// for byte, a large one after a small one and the other way round.
#include <gtest/gtest.h>
#include <sched.h>
#include <zip.h>

#include <filesystem>

#include "format/encrypt.h"
#include "platform/cpu_count.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

using ByteVector = std::vector<std::uint8_t>;

// Runs started while the object lives may use one core only: the program then converts its
// files one after the other.
class OneCore {
 public:
  OneCore() {
    sched_getaffinity(0, sizeof saved_, &saved_);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &saved_)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    sched_setaffinity(0, sizeof one, &one);
  }
  ~OneCore() { sched_setaffinity(0, sizeof saved_, &saved_); }
  OneCore(const OneCore&) = delete;
  OneCore& operator=(const OneCore&) = delete;

 private:
  cpu_set_t saved_;
};

class BatchOrder : public testing::Test {
 protected:
  void SetUp() override {
    if (UsableCores() < 2) GTEST_SKIP() << "one core: the files are always converted in turn";
  }

  std::string Bare(const std::string& name, const ByteVector& text) const {
    const std::string path = machine.dir() / name;
    test::WriteBytes(path, EncryptPayload(GzipPayload(text), false));
    return path;
  }
  std::string Tagged(const std::string& name) const {
    const std::string zip = machine.dir() / (name + ".zip");
    test::WriteLibzipArchive(zip, {{"adatok/jó.txt", test::Bytes("rendben"), 0, "", 8, {}}});
    const std::string path = machine.dir() / name;
    test::WriteBytes(path, EncryptPayload(test::ReadBytes(zip), true));
    std::filesystem::remove(zip);
    return path;
  }

  test::Headless machine;
};

// Good files, a file that is no encrypted file, a missing one, a text whose file exists (kept),
// a tagged file in the middle and two inputs of one name in different folders: the error output
// of the run on every core is, line for line, that of the run on one core, and so are the
// results and the status.
TEST_F(BatchOrder, WordsResultsAndStatusAreThoseOfTheFilesInTurn) {
  std::filesystem::create_directory(machine.dir() / "masik");
  std::vector<std::string> files;
  for (int i = 0; i < 24; ++i) {
    const std::string name = "jelentes" + std::to_string(i) + ".txt.des";
    files.push_back(Bare(name, test::RandomBytes(100 + 997 * static_cast<std::size_t>(i), i)));
  }
  test::WriteBytes(machine.dir() / "zaj.des", test::RandomBytes(4096, 99));
  files.insert(files.begin() + 3, machine.dir() / "zaj.des");
  files.insert(files.begin() + 7, machine.dir() / "nincs.des");
  files.insert(files.begin() + 11, Tagged("adatok.zip.des"));
  files.insert(files.begin() + 12, Bare("masik/jelentes5.txt.des", test::Bytes("másik")));
  files.insert(files.begin() + 15, Bare("regi.txt.des", test::Bytes("új")));

  const auto convert = [&](const std::string& out) {
    std::filesystem::create_directory(out);
    test::WriteText(out + "/regi.txt", "régi");
    std::vector<std::string> arguments = {"--batch", "-o", out};
    arguments.insert(arguments.end(), files.begin(), files.end());
    return machine.Run(arguments, "");
  };
  const std::string in_turn_out = machine.dir() / "egymas-utan";
  const std::string at_once_out = machine.dir() / "egyszerre";
  test::RunResult in_turn;
  {
    const OneCore one_core;
    in_turn = convert(in_turn_out);
  }
  const test::RunResult at_once = convert(at_once_out);

  EXPECT_EQ(in_turn.status, 1) << in_turn.err;
  EXPECT_EQ(at_once.status, 1) << at_once.err;
  std::string expected = in_turn.err;
  for (std::size_t at = expected.find(in_turn_out); at != std::string::npos;
       at = expected.find(in_turn_out, at)) {
    expected.replace(at, in_turn_out.size(), at_once_out);
  }
  EXPECT_EQ(at_once.err, expected);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(in_turn_out)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = std::filesystem::relative(entry.path(), in_turn_out);
    EXPECT_EQ(test::ReadBytes(at_once_out + "/" + relative), test::ReadBytes(entry.path()))
        << relative;
  }
  // The first of the two inputs named jelentes5 gave its text; the second found it and kept it.
  EXPECT_EQ(test::ReadBytes(at_once_out + "/jelentes5.txt"), test::RandomBytes(100 + 997 * 5, 5));
  EXPECT_EQ(test::ReadText(at_once_out + "/regi.txt"), "régi");
  EXPECT_EQ(test::ReadText(at_once_out + "/adatok/jó.txt"), "rendben");
  EXPECT_EQ(machine.TempLeftovers(),
            std::vector<std::string>{"lorvante-" + std::to_string(geteuid())});
}

// Every file good: status 0; one failing file among them: status 1, its box after the words of
// the files before it and before those of the files after it.
TEST_F(BatchOrder, OneFailingFileAmongGoodOnesGivesOne) {
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i) {
    files.push_back(Bare("f" + std::to_string(i) + ".txt.des", test::Bytes("szöveg")));
  }
  const std::string out = machine.dir() / "ki";
  std::vector<std::string> arguments = {"--batch", "-o", out};
  arguments.insert(arguments.end(), files.begin(), files.end());
  EXPECT_EQ(machine.Run(arguments, "").status, 0);

  std::filesystem::remove_all(out);
  test::WriteBytes(files[4], test::RandomBytes(4096, 7));
  const auto run = machine.Run(arguments, "");
  EXPECT_EQ(run.status, 1) << run.err;
  std::vector<std::string> expected;
  for (int i = 0; i < 8; ++i) {
    if (i == 4) {
      expected.push_back("Az állomány visszafejtése sikertelen.");
    } else {
      expected.push_back("A szöveg mentve: " + out + "/f" + std::to_string(i) + ".txt");
    }
  }
  EXPECT_EQ(test::MessagesIn(run.err), expected) << run.err;
}

// Without --batch a question can come: each file's is asked in its turn and answered from the
// input in that order (the first text replaced, the second kept).
TEST_F(BatchOrder, QuestionsAreAskedInTheOrderOfTheFiles) {
  const std::string out = machine.dir() / "ki";
  std::filesystem::create_directory(out);
  test::WriteText(out + "/elso.txt", "régi első");
  test::WriteText(out + "/masodik.txt", "régi második");
  const auto run = machine.Run({"-o", out, Bare("elso.txt.des", test::Bytes("új első")),
                                Bare("masodik.txt.des", test::Bytes("új második"))},
                               "y\nn\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(test::ReadText(out + "/elso.txt"), "új első");
  EXPECT_EQ(test::ReadText(out + "/masodik.txt"), "régi második");
  const std::size_t first = run.err.find(out + "/elso.txt már létezik");
  const std::size_t second = run.err.find(out + "/masodik.txt már létezik");
  ASSERT_NE(first, std::string::npos) << run.err;
  ASSERT_NE(second, std::string::npos) << run.err;
  EXPECT_LT(first, second);
}

// The buffers a thread keeps from one file to the next: large texts (read and decompressed
// beside the writing) and small ones (on one thread, in the kept buffers) in turns, each
// byte for byte, one after the other and several at once.
TEST_F(BatchOrder, LargeAndSmallTextsInTurnsComeOutWhole) {
  const std::vector<std::size_t> sizes = {3000, 6 << 20, 10, 5 << 20, 0, 70000, 7 << 20, 1};
  std::vector<std::string> files;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    files.push_back(Bare("t" + std::to_string(i) + ".txt.des",
                         test::RandomBytes(sizes[i], static_cast<std::uint32_t>(i + 1))));
  }
  for (const bool batch : {false, true}) {
    const std::string out = machine.dir() / (batch ? "egyszerre" : "egymas-utan");
    std::vector<std::string> arguments = {"-o", out};
    if (batch) arguments.insert(arguments.begin(), "--batch");
    arguments.insert(arguments.end(), files.begin(), files.end());
    const auto run = machine.Run(arguments, "");
    EXPECT_EQ(run.status, 0) << run.err;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      EXPECT_EQ(test::ReadBytes(out + "/t" + std::to_string(i) + ".txt"),
                test::RandomBytes(sizes[i], static_cast<std::uint32_t>(i + 1)))
          << (batch ? "--batch " : "") << i;
    }
  }
}

// Many small texts into a folder that -o names and that is missing: the files converted side by
// side make it at the same time, and each hands its payload on while the others start their
// confined workers; every text comes out whole and the run ends 0.
TEST_F(BatchOrder, ManySmallTextsIntoAMissingFolderAllComeOut) {
  constexpr int kFiles = 160;
  std::vector<std::string> files;
  for (int i = 0; i < kFiles; ++i) {
    files.push_back(Bare(
        "k" + std::to_string(i) + ".txt.des",
        test::RandomBytes(1000 + 37 * static_cast<std::size_t>(i), static_cast<std::uint32_t>(i))));
  }
  const std::string out = machine.dir() / "uj/mappa";
  std::vector<std::string> arguments = {"--batch", "-o", out};
  arguments.insert(arguments.end(), files.begin(), files.end());
  const auto run = machine.Run(arguments, "");
  EXPECT_EQ(run.status, 0) << run.err;
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(
        test::ReadBytes(out + "/k" + std::to_string(i) + ".txt"),
        test::RandomBytes(1000 + 37 * static_cast<std::size_t>(i), static_cast<std::uint32_t>(i)))
        << i;
  }
}

}  // namespace
}  // namespace lorvante
