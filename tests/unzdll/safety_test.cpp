// Guards: nothing written outside the target, nothing through a link, nothing half-written,
// damaged archives refused as such.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using lorvante::test::ReadText;
using lorvante::test::WriteText;

struct UnsafeCase {
  const char* label;
  ZipItem item;
  const char* which;  // what makes it unsafe, as the host is told
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const UnsafeCase& c, std::ostream* os) {
  *os << c.label;
}

class UnsafeTest : public UnzTest, public ::testing::WithParamInterface<UnsafeCase> {};

TEST_P(UnsafeTest, RefusedAndNothingWrittenOutside) {
  WriteZip({GetParam().item, {.name = "fine.txt", .data = {'f'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSAFE});
  EXPECT_NE(run.Messages().find("unsafe"), std::string::npos) << run.Messages();
  // Said just before the skip.
  ASSERT_EQ(run.Of(UNZ_ACTION_SKIP_DETAIL).size(), 1u) << run.Messages();
  EXPECT_EQ(run.Of(UNZ_ACTION_SKIP_DETAIL)[0].text, GetParam().which);
  const auto codes = run.Codes();
  const auto detail = std::find(codes.begin(), codes.end(), UNZ_ACTION_SKIP_DETAIL);
  ASSERT_NE(detail + 1, codes.end());
  EXPECT_EQ(detail[1], UNZ_ACTION_SKIPPED);
  EXPECT_EQ(Tree(target()), std::set<std::string>{"fine.txt"});
  EXPECT_TRUE(Tree(outside()).empty());
  EXPECT_EQ(Tree(dir_.path()),
            (std::set<std::string>{"archive.zip", "outside/", "target/", "target/fine.txt"}));
}

ZipItem Named(const std::string& name) {
  return {.name = name, .data = {'e', 'v', 'i', 'l'}};
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnsafeTest,
    ::testing::Values(
        UnsafeCase{"DotDot", Named("../outside/evil.txt"),
                   "a name leaving the folder, through \"..\""},
        UnsafeCase{"DotDotInside", Named("a/b/../../../outside/evil.txt"),
                   "a name leaving the folder, through \"..\""},
        UnsafeCase{"DotDotBackslash", Named("..\\outside\\evil.txt"),
                   "a name leaving the folder, through \"..\""},
        UnsafeCase{"DotDotFolder",
                   {.name = "../outside/sub/", .data = {}},
                   "a name leaving the folder, through \"..\""},
        UnsafeCase{"Absolute", Named("/tmp/evil.txt"), "an absolute name"},
        UnsafeCase{"AbsoluteBackslash", Named("\\tmp\\evil.txt"), "an absolute name"},
        UnsafeCase{"DriveLetter", Named("C:evil.txt"), "an absolute name, with a drive letter"},
        UnsafeCase{"DriveLetterPath", Named("c:\\evil.txt"),
                   "an absolute name, with a drive letter"},
        UnsafeCase{"ControlCharacter", Named("ev\x01il.txt"), "a name with control characters"},
        UnsafeCase{"Empty", Named(""), "an empty name"},
        UnsafeCase{"OnlyDots", Named("./."), "an empty name"},
        UnsafeCase{"PartTooLong", Named("a/" + std::string(256, 'n')),
                   "a name too long, a part longer than 255 bytes"},
        UnsafeCase{"SymbolicLink",
                   {.name = "link", .data = {'/', 'e', 't', 'c'}, .external = 0120777u << 16},
                   "symbolic link, not created"},
        // Named as a folder, a link all the same.
        UnsafeCase{"SymbolicLinkNamedAsAFolder",
                   {.name = "link/", .data = {'/', 'e', 't', 'c'}, .external = 0120777u << 16},
                   "symbolic link, not created"},
        UnsafeCase{"Fifo",
                   {.name = "fifo", .data = {}, .external = 0010644u << 16},
                   "device or FIFO, not created"},
        UnsafeCase{"Device",
                   {.name = "dev", .data = {}, .external = 0020644u << 16},
                   "device or FIFO, not created"},
        UnsafeCase{"BlockDevice",
                   {.name = "disk", .data = {}, .external = 0060644u << 16},
                   "device or FIFO, not created"},
        UnsafeCase{"Socket",
                   {.name = "sock", .data = {}, .external = 0140644u << 16},
                   "socket, not created"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST_F(UnzTest, PlantedFolderLinkIsNotFollowed) {
  ASSERT_EQ(::symlink(outside().c_str(), In("link").c_str()), 0);
  WriteZip({{.name = "link/evil.txt", .data = {'e'}}, {.name = "ok/fine.txt", .data = {'f'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSAFE});
  EXPECT_TRUE(Tree(outside()).empty());
}

TEST_F(UnzTest, PlantedFileLinkIsReplacedNotWrittenThrough) {
  WriteText(outside() + "/victim.txt", "precious");
  ASSERT_EQ(::symlink((outside() + "/victim.txt").c_str(), In("file.txt").c_str()), 0);
  WriteZip({{.name = "file.txt", .data = {'n', 'e', 'w'}}});
  Script script;
  script.replace = 1;
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Of(UNZ_ACTION_TARGET_EXISTS).size(), 1u);
  EXPECT_EQ(ReadText(outside() + "/victim.txt"), "precious");
  struct stat st {};
  ASSERT_EQ(::lstat(In("file.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(ReadText(In("file.txt")), "new");
}

// A run refused as a whole: one skipped entry, so that a host counting errors sees it, and the
// reason in words just before it.
void ExpectRefused(const HostRun& run, int reason, const std::string& why) {
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.Codes(),
            (std::vector<int>{UNZ_ACTION_FILE_COUNT, UNZ_ACTION_TOTAL_BYTES, UNZ_ACTION_BEGIN_FILE,
                              UNZ_ACTION_MESSAGE, UNZ_ACTION_RUN_REFUSED, UNZ_ACTION_SKIPPED,
                              UNZ_ACTION_END_BATCH}));
  EXPECT_EQ(run.Skips(), std::vector<int>{reason});
  EXPECT_NE(run.Messages().find(why), std::string::npos) << run.Messages();
  ASSERT_EQ(run.Of(UNZ_ACTION_RUN_REFUSED).size(), 1u);
  EXPECT_NE(run.Of(UNZ_ACTION_RUN_REFUSED)[0].text.find(why), std::string::npos);
}

TEST_F(UnzTest, OverlappingEntriesRefuseTheArchive) {
  WriteZip(
      {{.name = "a.txt", .data = Data(100)}, {.name = "a.txt", .data = Data(100), .local_of = 0}});
  // Both are named, the same name told apart by their places in the directory.
  ExpectRefused(Run(), UNZ_SKIP_DAMAGED,
                "the entries 1 and 2, both named \"a.txt\", overlap each other");
  EXPECT_TRUE(Tree(target()).empty());
}

// The local headers are checked in blocks of many: a damaged one far into the archive is
// found and only its entry is left out, and an overlap between headers read in different blocks
// still refuses the archive.
TEST_F(UnzTest, EveryLocalHeaderOfAManyEntryArchiveIsChecked) {
  constexpr std::size_t kEntries = 4000;  // local entries of about 50 bytes: several blocks
  constexpr std::size_t kDamaged = 3210;
  std::vector<ZipItem> items;
  for (std::size_t i = 0; i < kEntries; ++i) {
    items.push_back(
        {.name = "f" + std::to_string(i), .data = Data(20, static_cast<std::uint32_t>(i))});
  }
  auto bytes = BuildZip(items);
  std::size_t local = 0;  // the offset of the damaged entry's local header
  for (std::size_t i = 0; i < kDamaged; ++i) local += 30 + items[i].name.size() + 20;
  ASSERT_EQ(bytes[local], 'P');
  bytes[local] = 'X';
  lorvante::test::WriteBytes(archive(), bytes);
  const HostRun run = Run();
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_DAMAGED});
  EXPECT_NE(run.Messages().find("local header is missing"), std::string::npos) << run.Messages();
  EXPECT_EQ(Tree(target()).size(), kEntries - 1);
  EXPECT_FALSE(std::filesystem::exists(In("f" + std::to_string(kDamaged))));
  EXPECT_EQ(ReadBytes(In("f3999")), Data(20, 3999));

  items.back().local_of = kDamaged;
  WriteZip(items);
  ExpectRefused(Run(), UNZ_SKIP_DAMAGED, "overlap each other");
}

TEST_F(UnzTest, EntryReachingIntoTheCentralDirectoryRefusesTheArchive) {
  auto bytes = BuildZip({{.name = "a.txt", .data = Data(100)}});
  // Compressed size of the central header (offset 20 in it) made larger than the data.
  const std::size_t central = bytes.size() - 22 - (46 + 5);
  bytes[central + 20] = 200;
  bytes[18] = 200;  // and of the local header, so that both agree
  lorvante::test::WriteBytes(archive(), bytes);
  ExpectRefused(Run(), UNZ_SKIP_DAMAGED, "the data of \"a.txt\" reach into the central directory");
}

TEST_F(UnzTest, UnreadableArchivesAreOneDamagedEntry) {
  lorvante::test::WriteText(archive(), "this is not an archive at all, just text");
  ExpectRefused(Run(), UNZ_SKIP_DAMAGED, "end of central directory");
  std::filesystem::remove(archive());
  ExpectRefused(Run(), UNZ_SKIP_DAMAGED, "No such file");
}

struct SizeCase {
  const char* label;
  std::uint16_t method;
  std::uint32_t declared;
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const SizeCase& c, std::ostream* os) {
  *os << c.label;
}

class DeclaredSizeTest : public UnzTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(DeclaredSizeTest, WrongDeclaredSizeIsDamageAndLeavesNothing) {
  WriteZip({{.name = "s.bin",
             .data = Data(300000),
             .method = GetParam().method,
             .declared_size = GetParam().declared},
            {.name = "ok.txt", .data = {'k'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_DAMAGED});
  EXPECT_EQ(Tree(target()), std::set<std::string>{"ok.txt"});
  // Sizes in 32-bit fields are capped at 2^31 - 1.
  EXPECT_EQ(run.Of(UNZ_ACTION_BEGIN_FILE)[0].value,
            static_cast<int>(std::min<std::uint32_t>(GetParam().declared, 0x7fffffff)));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DeclaredSizeTest,
                         ::testing::Values(SizeCase{"StoredTooSmall", 0, 1000},
                                           SizeCase{"StoredTooLarge", 0, 400000},
                                           SizeCase{"DeflatedTooSmall", 8, 299999},
                                           SizeCase{"DeflatedTooLarge", 8, 300001},
                                           SizeCase{"DeflatedHuge", 8, 0xf0000000u}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.label);
                         });

struct WindowCase {
  const char* label;
  std::size_t prefix;
  bool adjust;
  std::size_t trailer;
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const WindowCase& c, std::ostream* os) {
  *os << c.label;
}

class WindowTest : public UnzTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowTest, DataInFrontAndFillerBehindAreAccepted) {
  const auto data = Data(5000, 9);
  ZipLayout layout;
  layout.prefix = Data(GetParam().prefix, 4);
  layout.adjust_offsets = GetParam().adjust;
  layout.trailer.assign(GetParam().trailer, GetParam().trailer);
  WriteZip({{.name = "d.bin", .data = data, .method = 8}, {.name = "e.txt", .data = {'e'}}},
           layout);
  const HostRun run = Run();
  EXPECT_EQ(run.result, 2) << run.Messages();
  EXPECT_EQ(ReadBytes(In("d.bin")), data);
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowTest,
                         ::testing::Values(WindowCase{"Filler1", 0, false, 1},
                                           WindowCase{"Filler7", 0, false, 7},
                                           WindowCase{"Prefix", 1000, false, 0},
                                           WindowCase{"PrefixAdjusted", 1000, true, 0},
                                           WindowCase{"PrefixAndFiller", 333, false, 5}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.label);
                         });

TEST_F(UnzTest, UnsupportedMethodIsNamed) {
  WriteZip({{.name = "old.bin", .data = Data(50), .method = 10}, {.name = "ok", .data = {'o'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSUPPORTED});
  EXPECT_NE(run.Messages().find("PKWARE DCL implode (10)"), std::string::npos) << run.Messages();
}

TEST_F(UnzTest, CrcErrorKeptOrDiscardedAsTheHostSays) {
  const auto data = Data(20000, 5);
  WriteZip({{.name = "c.bin", .data = data, .method = 8, .crc = 0xdeadbeef}});
  WriteText(In("c.bin"), "previous");
  Script discard;
  discard.replace = 1;
  discard.crc_answer = 0;
  HostRun run = Run(discard);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.Of(UNZ_ACTION_CRC_ERROR).size(), 1u);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_CRC_ERROR});
  EXPECT_EQ(ReadText(In("c.bin")), "previous");
  EXPECT_EQ(Tree(target()), std::set<std::string>{"c.bin"});

  Script keep = discard;
  keep.crc_answer = 1;
  run = Run(keep);
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.Skips().empty());
  EXPECT_EQ(ReadBytes(In("c.bin")), data);
}

TEST_F(UnzTest, StopInALargeEntryKeepsTheOldFileAndLeavesNoTemporary) {
  WriteZip({{.name = "big.bin", .data = Data(3 << 20), .method = 8},
            {.name = "after.txt", .data = {'a'}}});
  WriteText(In("big.bin"), "old contents");
  Script script;
  script.replace = 1;
  script.stop_when = [](const Callback& call) { return call.code == UNZ_ACTION_PROGRESS; };
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.Of(UNZ_ACTION_PROGRESS).size(), 1u);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_STOPPED});
  EXPECT_EQ(run.Codes().back(), UNZ_ACTION_END_BATCH);
  EXPECT_EQ(run.Of(UNZ_ACTION_BEGIN_FILE).size(), 1u);
  EXPECT_EQ(ReadText(In("big.bin")), "old contents");
  EXPECT_EQ(Tree(target()), std::set<std::string>{"big.bin"});
}

// Disk full, on a small tmpfs (needs the right to mount; skipped otherwise).
class FullDiskTest : public UnzTest {
 protected:
  void SetUp() override {
    disk_ = dir_ / "disk";
    std::filesystem::create_directory(disk_);
    if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=1m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
  }
  std::string disk_;
  bool mounted_ = false;
};

TEST_F(FullDiskTest, FullDiskSkipsTheFileAndKeepsTheOldOne) {
  WriteZip({{.name = "small.txt", .data = {'s'}},
            {.name = "huge.bin", .data = Data(2 << 20), .method = 8},
            {.name = "after.txt", .data = {'a'}}});
  WriteText(disk_ + "/huge.bin", "old");
  Script script;
  script.replace = 1;
  const HostRun run = lib_.Run(archive(), disk_, script);
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_CANNOT_WRITE});
  EXPECT_NE(run.Messages().find("No space left"), std::string::npos) << run.Messages();
  EXPECT_EQ(ReadText(disk_ + "/huge.bin"), "old");
  EXPECT_EQ(Tree(disk_), (std::set<std::string>{"small.txt", "huge.bin", "after.txt"}));
}

TEST_F(UnzTest, FileSizeLimitIsAWriteError) {
  WriteZip({{.name = "huge.bin", .data = Data(1 << 20), .method = 8},
            {.name = "small.txt", .data = {'s'}}});
  // In a child, so that the limit stays there.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    UnzLibrary lib;
    const HostRun run = lib.Run(archive(), target());
    const bool ok = run.result == 1 && run.Skips() == std::vector<int>{UNZ_SKIP_CANNOT_WRITE};
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Tree(target()), std::set<std::string>{"small.txt"});
}

TEST_F(UnzTest, NameComponentTooLongIsRefusedAsUnsafe) {
  WriteZip({{.name = std::string(300, 'n'), .data = {'x'}}, {.name = "ok", .data = {'o'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSAFE});
  EXPECT_EQ(Tree(target()), std::set<std::string>{"ok"});
}

TEST_F(UnzTest, MissingTargetFolderIsAWriteError) {
  WriteZip({{.name = "a", .data = {'a'}}});
  const HostRun run = lib_.Run(archive(), dir_ / "missing");
  ExpectRefused(run, UNZ_SKIP_CANNOT_WRITE, "No such file");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

}  // namespace
}  // namespace unzdll::test
