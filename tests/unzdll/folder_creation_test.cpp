// When folders are made: a file's folders when its file is placed, never for an entry that is
// not extracted; a folder entry's folder always, empty or not.
#include <ostream>

#include "tests/unzdll/entry_ciphers.h"
#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using Bytes = std::vector<std::uint8_t>;

constexpr char kPassword[] = "secret";
constexpr std::uint32_t kFolderMode = 040755u << 16;

// A deflated file entry.
ZipItem Entry(const std::string& name, const Bytes& data) {
  return {.name = name, .data = data, .method = 8};
}

struct FolderCase {
  const char* label;
  std::vector<ZipItem> items;
  Script script;
  std::set<std::string> tree;  // everything in the target afterwards
  std::vector<int> skips;      // the reasons, in order
};

void PrintTo(const FolderCase& c, std::ostream* os) {
  *os << c.label;
}

const Bytes& SoundBytes() {
  static const Bytes data = lorvante::test::RandomBytes(40000, 7);
  return data;
}

ZipItem Encrypted(const std::string& name) {
  ZipItem item = Entry(name, SoundBytes());
  item.stored = Deflate(SoundBytes());
  Encrypt(item, Encryption::kZipCrypto, kPassword);
  return item;
}

ZipItem Unsupported(const std::string& name) {
  return {.name = name, .data = SoundBytes(), .method = 97};  // WavPack
}

// Deflate data whose first block has the reserved type: the decoder stops at once.
ZipItem Damaged(const std::string& name) {
  ZipItem item = Entry(name, SoundBytes());
  item.stored = Bytes{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  return item;
}

// Whole data under a CRC that does not match them; the host declines to keep them.
ZipItem WrongCrc(const std::string& name) {
  ZipItem item = Entry(name, SoundBytes());
  item.crc = 0x12345678u;
  return item;
}

ZipItem Folder(const std::string& name) {
  return {.name = name, .external = kFolderMode};
}

Script Cancelling() {
  Script script;
  script.passwords = {""};  // the question declined
  return script;
}

std::vector<FolderCase> FolderCases() {
  return {
      {"PasswordCancelled",
       {Entry("top.bin", SoundBytes()), Encrypted("sub/secret.txt")},
       Cancelling(),
       {"top.bin"},
       {UNZ_SKIP_NO_PASSWORD}},
      {"PasswordCancelledBesideAFileOfTheSameFolder",
       {Encrypted("sub/secret.txt"), Entry("sub/plain.bin", SoundBytes())},
       Cancelling(),
       {"sub/", "sub/plain.bin"},
       {UNZ_SKIP_NO_PASSWORD}},
      {"UnsupportedMethod",
       {Entry("top.bin", SoundBytes()), Unsupported("odd/deeper/x.bin")},
       {},
       {"top.bin"},
       {UNZ_SKIP_UNSUPPORTED}},
      {"DamagedData",
       {Damaged("bad/x.bin"), Entry("top.bin", SoundBytes())},
       {},
       {"top.bin"},
       {UNZ_SKIP_DAMAGED}},
      {"CrcErrorNotKept",
       {WrongCrc("crc/x.bin"), Entry("top.bin", SoundBytes())},
       {},
       {"top.bin"},
       {UNZ_SKIP_CRC_ERROR}},
      {"DamagedBelowAnExistingFolder",
       {Entry("a/one.bin", SoundBytes()), Damaged("a/b/c/x.bin")},
       {},
       {"a/", "a/one.bin"},
       {UNZ_SKIP_DAMAGED}},
      {"EmptyFolderEntry",
       {Folder("empty/"), Folder("outer/inner/")},
       {},
       {"empty/", "outer/", "outer/inner/"},
       {}},
      {"FolderEntryOfASkippedFile",
       {Folder("kept/"), Encrypted("kept/secret.txt")},
       Cancelling(),
       {"kept/"},
       {UNZ_SKIP_NO_PASSWORD}},
      {"SoundFileInNestedFolders",
       {Entry("a/b/c/d.bin", SoundBytes()), Entry("a/b/e.bin", SoundBytes()), Damaged("a/x/y.bin")},
       {},
       {"a/", "a/b/", "a/b/c/", "a/b/c/d.bin", "a/b/e.bin"},
       {UNZ_SKIP_DAMAGED}},
  };
}

class FolderCreationTest : public UnzTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FolderCreationTest, FoldersOnlyForWhatIsExtracted) {
  const FolderCase& c = GetParam();
  WriteZip(c.items);
  const HostRun run = Run(c.script);
  EXPECT_EQ(run.Skips(), c.skips) << run.Messages();
  EXPECT_EQ(Tree(target()), c.tree) << run.Messages();
  for (const std::string& path : c.tree) {
    if (path.back() != '/') {
      EXPECT_EQ(ReadBytes(In(path)), SoundBytes()) << path;
    }
  }
}

std::string CaseName(const ::testing::TestParamInfo<FolderCase>& param) {
  return param.param.label;
}

INSTANTIATE_TEST_SUITE_P(Cases, FolderCreationTest, ::testing::ValuesIn(FolderCases()), CaseName);

// A link standing where a file's folder goes is refused, and nothing reaches the folder it points
// to: the folders made when a file is placed are walked step by step, no link followed.
TEST_F(UnzTest, FolderMadeAtPlacingFollowsNoLink) {
  WriteZip({Entry("sub/x.bin", SoundBytes())});
  std::filesystem::create_directory_symlink(outside(), In("sub"));
  const HostRun run = Run();
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSAFE}) << run.Messages();
  EXPECT_TRUE(std::filesystem::is_empty(outside()));
  EXPECT_TRUE(std::filesystem::is_symlink(In("sub")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target()), {}), 1);
}

struct InTheWayCase {
  const char* label;
  std::vector<ZipItem> items;
  const char* existing;  // a file in the target beforehand, or nullptr
  std::set<std::string> tree;
  std::vector<std::string> details;  // as the host is told, one per entry not extracted
};

void PrintTo(const InTheWayCase& c, std::ostream* os) {
  *os << c.label;
}

class InTheWayTest : public UnzTest, public ::testing::WithParamInterface<InTheWayCase> {};

// A file where a folder is needed, or a folder where a file goes: the entry is not written, and
// the host is told what stands in its way (not only that the file cannot be written).
TEST_P(InTheWayTest, WhatStandsInTheWayIsNamed) {
  const InTheWayCase& c = GetParam();
  if (c.existing != nullptr) lorvante::test::WriteText(In(c.existing), "before");
  WriteZip(c.items);
  const HostRun run = Run();
  EXPECT_EQ(run.Skips(), std::vector<int>(c.details.size(), UNZ_SKIP_CANNOT_WRITE))
      << run.Messages();
  std::vector<std::string> details;
  for (const Callback& call : run.Of(UNZ_ACTION_SKIP_DETAIL)) details.push_back(call.text);
  EXPECT_EQ(details, c.details);
  EXPECT_EQ(Tree(target()), c.tree) << run.Messages();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InTheWayTest,
    ::testing::Values(InTheWayCase{"FileOfTheArchiveWhereItsFolderGoes",
                                   {Entry("a", SoundBytes()), Entry("a/b.bin", SoundBytes())},
                                   nullptr,
                                   {"a"},
                                   {"a file stands where the folder \"a\" is needed"}},
                      InTheWayCase{"FileOfTheArchiveWhereAFolderEntryGoes",
                                   {Entry("a", SoundBytes()), Folder("a/")},
                                   nullptr,
                                   {"a"},
                                   {"a file stands where the folder \"a\" is needed"}},
                      InTheWayCase{
                          "ExistingFileWhereADeeperFolderGoes",
                          {Entry("top/sub/c.bin", SoundBytes()), Entry("d.bin", SoundBytes())},
                          "top",
                          {"top", "d.bin"},
                          {"a file stands where the folder \"top\" is needed"}},
                      InTheWayCase{"FolderWhereAFileGoes",
                                   {Folder("x/"), Entry("x", SoundBytes())},
                                   nullptr,
                                   {"x/"},
                                   {"a folder stands where the file goes"}}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

}  // namespace
}  // namespace unzdll::test
