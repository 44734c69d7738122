// Extraction as the host sees it: callback order, counts, contents, modes, times, selection,
// names, folders kept or dropped.
#include <fcntl.h>
#include <sys/stat.h>

#include <ostream>

#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using lorvante::test::ReadText;
using lorvante::test::WriteText;

TEST_F(UnzTest, EntryPointsAreTheOnlyExportsAndTheVersionIsCurrent) {
  EXPECT_GE(lib_.Version(), 160u);
  EXPECT_EQ(lib_.Symbol("_ZN6unzdll8RunBatchERK12TUnzipParams"), nullptr);
  EXPECT_EQ(lib_.Symbol("OemToUtf8"), nullptr);
}

TEST_F(UnzTest, ExtractsEveryEntryAndReportsInOrder) {
  const auto big = Data(700 * 1024, 7);
  WriteZip({{.name = "a.txt", .data = {'h', 'i'}},
            {.name = "dir/", .data = {}, .external = 040755u << 16},
            {.name = "dir/big.bin", .data = big, .method = 8},
            {.name = "dir/sub/empty", .data = {}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 3);
  EXPECT_EQ(ReadText(In("a.txt")), "hi");
  EXPECT_EQ(ReadBytes(In("dir/big.bin")), big);
  EXPECT_EQ(ReadBytes(In("dir/sub/empty")).size(), 0u);
  EXPECT_EQ(Tree(target()),
            (std::set<std::string>{"a.txt", "dir/", "dir/big.bin", "dir/sub/", "dir/sub/empty"}));

  // 5 and 6 first, 3 last; each file's progress comes after its own code 1.
  const auto codes = run.Codes();
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes[0], UNZ_ACTION_FILE_COUNT);
  EXPECT_EQ(run.calls[0].value, 4);
  EXPECT_EQ(codes[1], UNZ_ACTION_TOTAL_BYTES);
  EXPECT_EQ(run.calls[1].value, static_cast<int>(2 + big.size()));
  EXPECT_EQ(codes.back(), UNZ_ACTION_END_BATCH);
  std::vector<std::string> begun;
  std::string current;
  std::int64_t big_bytes = 0;
  for (const Callback& call : run.calls) {
    if (call.code == UNZ_ACTION_BEGIN_FILE) begun.push_back(current = call.text);
    if (call.code == UNZ_ACTION_PROGRESS) {
      EXPECT_GT(call.value, 0);
      EXPECT_LE(call.value, 256 * 1024);
      if (current == "dir/big.bin") big_bytes += call.value;
    }
  }
  EXPECT_EQ(begun, (std::vector<std::string>{"a.txt", "dir/", "dir/big.bin", "dir/sub/empty"}));
  EXPECT_EQ(big_bytes, static_cast<std::int64_t>(big.size()));
  EXPECT_TRUE(run.Skips().empty());
}

TEST_F(UnzTest, ModesComeFromUnixAttributesWithoutSpecialBits) {
  WriteZip({{.name = "run.sh", .data = {'x'}, .external = 0104755u << 16},
            {.name = "ro.txt", .data = {'y'}, .external = 0100444u << 16},
            {.name = "dos.txt", .data = {'z'}, .made_by = 0x0014, .external = 0x20}});
  const mode_t old_umask = ::umask(022);
  const HostRun run = Run();
  ::umask(old_umask);
  EXPECT_EQ(run.result, 3);
  struct stat st {};
  ASSERT_EQ(::stat(In("run.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(::stat(In("ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  ASSERT_EQ(::stat(In("dos.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(UnzTest, TimesComeFromTheTimestampFieldElseFromLocalDosTime) {
  lorvante::test::ScopedEnv tz("TZ", "UTC");
  tzset();
  WriteZip({{.name = "d/", .data = {}, .unix_mtime = 1500000000},
            {.name = "d/ut.txt", .data = {'1'}, .unix_mtime = 1600000000},
            {.name = "dos.txt", .data = {'2'}}});
  EXPECT_EQ(Run().result, 2);
  struct stat st {};
  ASSERT_EQ(::stat(In("d/ut.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);
  ASSERT_EQ(::stat(In("dos.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1577880000);  // 2020-01-01 12:00:00 UTC
  // The folder's time is set after its contents were written.
  ASSERT_EQ(::stat(In("d").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1500000000);
}

TEST_F(UnzTest, FoldersDroppedWhenNotKept) {
  WriteZip({{.name = "x/", .data = {}},
            {.name = "x/y/one.txt", .data = {'1'}},
            {.name = "two.txt", .data = {'2'}}});
  Script script;
  script.keep_folders = 0;
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(Tree(target()), (std::set<std::string>{"one.txt", "two.txt"}));
  EXPECT_EQ(run.Of(UNZ_ACTION_BEGIN_FILE)[1].text, "one.txt");
}

struct SpecCase {
  const char* label;
  std::vector<std::string> specs;
  std::set<std::string> written;
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const SpecCase& c, std::ostream* os) {
  *os << c.label;
}

class SpecTest : public UnzTest, public ::testing::WithParamInterface<SpecCase> {};

TEST_P(SpecTest, SelectsMatchingEntries) {
  WriteZip({{.name = "a.txt", .data = {'a'}},
            {.name = "b.dat", .data = {'b'}},
            {.name = "dir/c.txt", .data = {'c'}},
            {.name = "dir/dd.dat", .data = {'d'}},
            {.name = "\xc3\xa1.dat", .data = {'e'}, .flags = 1 << 11}});
  Script script;
  script.specs = GetParam().specs;
  const HostRun run = Run(script);
  std::set<std::string> files;
  for (const auto& path : Tree(target())) {
    if (path.back() != '/') files.insert(path);
  }
  EXPECT_EQ(files, GetParam().written);
  EXPECT_EQ(run.result, static_cast<int>(GetParam().written.size()));
  EXPECT_EQ(run.calls[0].value, static_cast<int>(GetParam().written.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Specs, SpecTest,
    ::testing::Values(SpecCase{"Exact", {"b.dat"}, {"b.dat"}},
                      SpecCase{"StarCrossesFolders", {"*.txt"}, {"a.txt", "dir/c.txt"}},
                      SpecCase{"QuestionMarkIsOneCharacter",
                               {"dir/??.dat", "?.dat"},
                               {"dir/dd.dat", "b.dat", "\xc3\xa1.dat"}},
                      SpecCase{"BackslashIsSlash", {"dir\\c.txt"}, {"dir/c.txt"}},
                      SpecCase{"NoMatch", {"*.exe"}, {}},
                      SpecCase{
                          "Several", {"a.txt", "dir/*"}, {"a.txt", "dir/c.txt", "dir/dd.dat"}}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

struct ModeCase {
  const char* label;
  Script::Mode mode;
  std::vector<int> skips;  // a.txt older, b.txt newer, c.txt missing
  int result;
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.label;
}

class ModeTest : public UnzTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeTest, ExistingTargetsFollowTheMode) {
  WriteZip({{.name = "a.txt", .data = {'A'}, .unix_mtime = 1600000000},
            {.name = "b.txt", .data = {'B'}, .unix_mtime = 1600000000},
            {.name = "c.txt", .data = {'C'}, .unix_mtime = 1600000000}});
  WriteText(In("a.txt"), "old");
  WriteText(In("b.txt"), "new");
  const timespec older[2] = {{1600000000 - 2, 0}, {1600000000 - 2, 0}};
  const timespec newer[2] = {{1600000000 - 1, 0}, {1600000000 - 1, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, In("a.txt").c_str(), older, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, In("b.txt").c_str(), newer, 0), 0);
  Script script;
  script.mode = GetParam().mode;
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, GetParam().result);
  EXPECT_EQ(run.Skips(), GetParam().skips);
  const auto exists = run.Of(UNZ_ACTION_TARGET_EXISTS);
  if (GetParam().mode == Script::Mode::kTest) {
    EXPECT_TRUE(exists.empty());
    EXPECT_EQ(ReadText(In("a.txt")), "old");
    EXPECT_FALSE(std::filesystem::exists(In("c.txt")));
    return;
  }
  // Exactly 2 seconds older counts as older; 1 second does not.
  ASSERT_EQ(exists.size(), 2u);
  EXPECT_EQ(exists[0].text, "a.txt");
  EXPECT_EQ(exists[0].status & 1, 1);
  EXPECT_EQ(exists[1].text, "b.txt");
  EXPECT_EQ(exists[1].status & 1, 0);
  EXPECT_EQ(ReadText(In("a.txt")), "A");
  EXPECT_EQ(ReadText(In("b.txt")), "new");
  EXPECT_EQ(std::filesystem::exists(In("c.txt")), GetParam().mode != Script::Mode::kFreshen);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeTest,
    ::testing::Values(ModeCase{"Plain", Script::Mode::kPlain, {UNZ_SKIP_KEPT_EXISTING}, 2},
                      ModeCase{"Update", Script::Mode::kUpdate, {UNZ_SKIP_KEPT_EXISTING}, 2},
                      ModeCase{"Freshen",
                               Script::Mode::kFreshen,
                               {UNZ_SKIP_KEPT_EXISTING, UNZ_SKIP_NO_TARGET},
                               1},
                      ModeCase{"Test", Script::Mode::kTest, {}, 3}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST_F(UnzTest, TestModeFindsDamageAndWritesNothing) {
  WriteZip({{.name = "good.txt", .data = Data(1000), .method = 8},
            {.name = "bad.txt", .data = Data(1000), .crc = 0x12345678}});
  Script script;
  script.mode = Script::Mode::kTest;
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_CRC_ERROR});
  EXPECT_TRUE(Tree(target()).empty());
}

TEST_F(UnzTest, DuplicateStoredNamesRefuseTheArchive) {
  WriteZip({{.name = "same.txt", .data = {'1'}}, {.name = "same.txt", .data = {'2'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_DAMAGED});
  EXPECT_NE(run.Messages().find("\"same.txt\" stands twice"), std::string::npos);
  EXPECT_TRUE(Tree(target()).empty());
}

// The refusal names the entry as it would be written: a stored name that is not UTF-8 reaches
// the host decoded, not as its bytes.
TEST_F(UnzTest, DuplicateNameIsNamedAsItWouldBeWritten) {
  const lorvante::test::ScopedEnv locale("LC_ALL", "en_US.UTF-8");
  WriteZip({{.name = "caf\x82.txt", .data = {'1'}}, {.name = "caf\x82.txt", .data = {'2'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_DAMAGED});
  ASSERT_EQ(run.Of(UNZ_ACTION_RUN_REFUSED).size(), 1u);
  EXPECT_EQ(run.Of(UNZ_ACTION_RUN_REFUSED)[0].text,
            "the name \"café.txt\" stands twice in the archive");
}

TEST_F(UnzTest, NamesLeadingToTheSameFileAskAboutTheSecondCopy) {
  WriteZip({{.name = "d/same.txt", .data = {'1'}},
            {.name = "d\\same.txt", .data = {'2'}},
            {.name = "./d/same.txt", .data = {'3'}}});
  Script script;
  script.replace = 1;
  const HostRun run = Run(script);
  ASSERT_EQ(run.Of(UNZ_ACTION_TARGET_EXISTS).size(), 2u) << run.Messages();
  EXPECT_EQ(ReadText(In("d/same.txt")), "3");
  EXPECT_EQ(run.result, 3);
}

struct NameCase {
  const char* label;
  std::string stored;
  std::uint16_t made_by;
  std::uint16_t flags;
  const char* locale;
  std::string written;
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const NameCase& c, std::ostream* os) {
  *os << c.label;
}

class NameTest : public UnzTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameTest, NamesAreConvertedByHostAndFlag) {
  lorvante::test::ScopedEnv lang("LC_ALL", GetParam().locale);
  WriteZip({{.name = GetParam().stored,
             .data = {'x'},
             .flags = GetParam().flags,
             .made_by = GetParam().made_by,
             .external = 0}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(Tree(target()).count(GetParam().written), 1u) << run.Messages();
  EXPECT_EQ(run.Of(UNZ_ACTION_BEGIN_FILE).at(0).text, GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameTest,
    ::testing::Values(
        NameCase{"HungarianOem", "\xa0rv\x8b.txt", 0x0014, 0, "hu_HU.UTF-8",
                 "\xc3\xa1rv\xc5\x91.txt"},
        NameCase{"RussianOem", "\x8f\xe0.txt", 0x0014, 0, "ru_RU.UTF-8", "\xd0\x9f\xd1\x80.txt"},
        NameCase{"Cp437Otherwise", "\x81.txt", 0x0014, 0, "en_US.UTF-8", "\xc3\xbc.txt"},
        NameCase{"Utf8Flag", "\xc3\xa1.txt", 0x0014, 1 << 11, "hu_HU.UTF-8", "\xc3\xa1.txt"},
        NameCase{"UnixAsStored", "\xc3\xa1.txt", 0x031e, 0, "hu_HU.UTF-8", "\xc3\xa1.txt"},
        NameCase{"BackslashIsFolder", "d\\e.txt", 0x0014, 0, "C", "d/e.txt"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST_F(UnzTest, LongNamesAreCutAtACharacterBoundaryForTheHost) {
  std::string name;
  for (int i = 0; i < 3; ++i) name += std::string(200, 'a') + "/";
  std::string leaf;
  for (int i = 0; i < 100; ++i) leaf += "\xc3\xa9";  // 200 bytes
  name += leaf;
  WriteZip({{.name = name, .data = {'x'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  // Shortened, and saying so with its last character.
  const std::string shown = run.Of(UNZ_ACTION_BEGIN_FILE).at(0).text;
  const std::string ellipsis = "\u2026";
  EXPECT_LE(shown.size(), 511u);
  ASSERT_GT(shown.size(), ellipsis.size());
  EXPECT_EQ(shown.substr(shown.size() - ellipsis.size()), ellipsis);
  const std::string kept = shown.substr(0, shown.size() - ellipsis.size());
  EXPECT_GE(kept.size(), 511u - ellipsis.size() - 1);  // no more cut than one character needs
  EXPECT_EQ(kept, name.substr(0, kept.size()));
  EXPECT_NE(static_cast<unsigned char>(name[kept.size()]) & 0xc0, 0x80);
  EXPECT_TRUE(std::filesystem::exists(In(name)));
}

TEST_F(UnzTest, EmptyArchiveIsAnEmptyBatch) {
  WriteZip({});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.Codes(), (std::vector<int>{UNZ_ACTION_FILE_COUNT, UNZ_ACTION_TOTAL_BYTES,
                                           UNZ_ACTION_END_BATCH}));
}

TEST_F(UnzTest, Bzip2EntriesAreExtracted) {
  const auto data = Data(100000, 3);
  WriteLibzipArchive(archive(), {{.name = "b.bin", .data = data, .compression = 12}});
  EXPECT_EQ(Run().result, 1);
  EXPECT_EQ(ReadBytes(In("b.bin")), data);
}

}  // namespace
}  // namespace unzdll::test
