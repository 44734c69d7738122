// The terminal front end ends with a status a script can read: 0 when every file was converted,
// 1 when one failed or was cancelled, 2 for a usage error. -o answers the save and folder
// prompts, --batch asks nothing and reports what it left undone.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "format/encrypt.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

using test::Bytes;

constexpr char kText[] = "első sor\r\nmásodik sor\n";
constexpr char kNotExtracted[] = "Az állomány kitömörítése sikertelen.";

class TerminalStatus : public testing::Test {
 protected:
  // A bare file named `name` in the scratch folder holding kText.
  std::string Bare(const std::string& name) const {
    const std::string path = machine.dir() / name;
    test::WriteBytes(path, EncryptPayload(GzipPayload(Bytes(kText)), false));
    return path;
  }
  // A tagged file named `name` whose archive holds "adatok/jó.txt" and, when `locked`, an entry
  // "titok.txt" encrypted with a password.
  std::string Tagged(const std::string& name, bool locked) const {
    const std::string zip = machine.dir() / (name + ".zip");
    std::vector<test::LibzipItem> items = {{"adatok/jó.txt", Bytes("rendben"), 0, "", 8, {}}};
    if (locked) items.push_back({"titok.txt", Bytes("titok"), ZIP_EM_AES_256, "jelszo", 8, {}});
    test::WriteLibzipArchive(zip, items);
    const std::string path = machine.dir() / name;
    test::WriteBytes(path, EncryptPayload(test::ReadBytes(zip), true));
    std::filesystem::remove(zip);
    return path;
  }

  test::Headless machine;
};

struct StatusCase {
  const char* name;
  // The arguments; "@bare", "@tagged", "@locked", "@missing", "@noise" and "@out" stand for a
  // bare file, a tagged file, a tagged file with a locked entry, a missing file, a file that is
  // no encrypted file, and a fresh output folder.
  std::vector<std::string> arguments;
  std::string answers;
  int status;
};

void PrintTo(const StatusCase& c, std::ostream* out) {
  *out << c.name;
}

class StatusTable : public TerminalStatus, public testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTable, EndsWithItsStatus) {
  const std::string out = machine.dir() / "out";
  std::vector<std::string> arguments;
  for (const std::string& argument : GetParam().arguments) {
    if (argument == "@bare")
      arguments.push_back(Bare("jelentes.txt.des"));
    else if (argument == "@tagged")
      arguments.push_back(Tagged("adatok.zip.des", false));
    else if (argument == "@locked")
      arguments.push_back(Tagged("zart.zip.des", true));
    else if (argument == "@missing")
      arguments.push_back(machine.dir() / "nincs.des");
    else if (argument == "@noise") {
      const std::string noise = machine.dir() / "zaj.des";
      test::WriteBytes(noise, test::RandomBytes(4096, 3));
      arguments.push_back(noise);
    } else if (argument == "@out")
      arguments.push_back(out);
    else
      arguments.push_back(argument);
  }
  const auto run = machine.Run(arguments, GetParam().answers);
  EXPECT_EQ(run.status, GetParam().status) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Terminal, StatusTable,
    testing::Values(StatusCase{"BareSaved", {"-o", "@out", "@bare"}, "", 0},
                    StatusCase{"TaggedExtracted", {"-o", "@out", "@tagged"}, "", 0},
                    StatusCase{"BothSaved", {"-o", "@out", "@bare", "@tagged"}, "", 0},
                    StatusCase{"MissingFile", {"@missing"}, "", 1},
                    StatusCase{"NotAnEncryptedFile", {"@noise"}, "\n", 1},
                    StatusCase{"SavePromptCancelled", {"@bare"}, "", 1},
                    StatusCase{"FolderPromptCancelled", {"@tagged"}, "", 1},
                    StatusCase{"OneOfTwoFails", {"-o", "@out", "@bare", "@missing"}, "", 1},
                    StatusCase{"LockedEntryLeftOut", {"--batch", "-o", "@out", "@locked"}, "", 1},
                    StatusCase{"UnknownOption", {"--bogus", "@bare"}, "", 2},
                    StatusCase{"OutputWithoutPath", {"@bare", "-o"}, "", 2},
                    StatusCase{"NoFile", {}, "", 2},
                    // after "--" a name like an option is a file: this one does not exist
                    StatusCase{"OptionLikeFileAfterDashDash", {"--", "--bogus"}, "", 1}));

// A script converts a folder of mixed files with --batch -o: no question is asked (the input is
// closed), every result lands in the folder, and what was not done is reported: the locked
// entry and the text whose file already exists, kept as it was.
TEST_F(TerminalStatus, BatchConvertsAMixedFolderWithoutAQuestion) {
  const std::string out = machine.dir() / "out";
  std::filesystem::create_directory(out);
  test::WriteText(out + "/regi.txt", "régi");
  const std::vector<std::string> files = {Bare("jelentes.txt.des"), Bare("regi.txt.des"),
                                          Tagged("adatok.zip.des", false),
                                          Tagged("zart.zip.des", true)};
  std::vector<std::string> arguments = {"--batch", "-o", out};
  arguments.insert(arguments.end(), files.begin(), files.end());
  const auto run = machine.Run(arguments, "");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err.find("[y]es"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("> "), std::string::npos) << run.err;
  EXPECT_EQ(test::ReadText(out + "/jelentes.txt"), kText);
  EXPECT_EQ(test::ReadText(out + "/regi.txt"), "régi");
  EXPECT_EQ(test::ReadText(out + "/adatok/jó.txt"), "rendben");
  EXPECT_FALSE(std::filesystem::exists(out + "/titok.txt"));
  const auto messages = test::MessagesIn(run.err);
  const auto has = [&](const std::string& line) {
    return std::find(messages.begin(), messages.end(), line) != messages.end();
  };
  EXPECT_TRUE(has(out + "/regi.txt: az állomány már létezik, megtartva.")) << run.err;
  EXPECT_TRUE(has("\"titok.txt\": not extracted: no password was given")) << run.err;
  EXPECT_TRUE(has(std::string("A szöveg mentve: ") + out + "/jelentes.txt")) << run.err;
}

// The same folder with nothing in the way ends with 0; a run of the same files again keeps
// the extracted files (not newer) and keeps the texts: the texts were not converted, status 1.
TEST_F(TerminalStatus, BatchWithNothingInTheWayEndsWithZero) {
  const std::string out = machine.dir() / "új mappa";
  const auto run = machine.Run(
      {"--batch", "-o", out, Bare("jelentes.txt.des"), Tagged("adatok.zip.des", false)}, "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadText(out + "/jelentes.txt"), kText);
  EXPECT_EQ(test::ReadText(out + "/adatok/jó.txt"), "rendben");
  const auto again = machine.Run({"--batch", "-o", out, Bare("jelentes.txt.des")}, "");
  EXPECT_EQ(again.status, 1) << again.err;
}

// A failure names its input file on the line after the box, and for an archive each entry
// not extracted with its reason; a target folder that cannot be written says so.
TEST_F(TerminalStatus, FailureDetailsFollowTheBox) {
  const std::string input = Tagged("adatok.zip.des", false);
  const std::string out = machine.dir() / "csak-olvashato";
  std::filesystem::create_directory(out);
  // Read-only by its mode; root writes there anyway, so for root a read-only mount.
  const bool mounted = geteuid() == 0;
  if (mounted && mount("tmpfs", out.c_str(), "tmpfs", MS_RDONLY, "size=1m") != 0) {
    GTEST_SKIP() << "no read-only tmpfs can be mounted here";
  }
  if (!mounted) {
    std::filesystem::permissions(
        out, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  const auto run = machine.Run({"-o", out, input}, "");
  if (mounted) umount2(out.c_str(), MNT_DETACH);
  std::filesystem::permissions(out, std::filesystem::perms::owner_all);
  const std::string why = std::strerror(mounted ? EROFS : EACCES);
  EXPECT_EQ(run.status, 1);
  const std::string box = std::string("LORVANTE: ") + kNotExtracted + "\n";
  const std::size_t at = run.err.find(box);
  ASSERT_NE(at, std::string::npos) << run.err;
  const std::string details = run.err.substr(at + box.size());
  EXPECT_NE(details.find("  Állomány: " + input + "\n"), std::string::npos) << run.err;
  EXPECT_NE(details.find("  \"adatok/jó.txt\": not extracted: the file cannot be written\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(details.find("  A célmappa nem írható: " + out + " (" + why + ")\n"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace lorvante
