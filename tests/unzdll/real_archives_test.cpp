// Archives of the shapes that real writers make, extracted as 7-Zip extracts them: the central
// directory decides, each entry's local header is checked against it on its own, and an entry
// that fails is skipped with its reason while the others are written. Each archive is made by
// the writer that makes that shape (Info-ZIP's zip reading standard input, Python's zipfile) or,
// where no installed writer makes it, by the tests' builder.
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <ostream>

#include "tests/unzdll/unzdll_fixture.h"
#include "zipformat/records.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using lorvante::test::Which;
using Bytes = std::vector<std::uint8_t>;

class RealArchiveTest;

struct RealCase {
  const char* label;
  const char* writer;  // the program that writes the archive, or nullptr for the builder
  std::function<void(RealArchiveTest&)> make;
  std::set<std::string> tree;    // the target afterwards
  std::vector<int> skips = {};   // reasons of the entries not extracted, in order
  const char* locale = nullptr;  // the user's locale, where the names' code page depends on it
  // Names that 7-Zip writes otherwise: without a Japanese locale on the system it keeps the
  // bytes of a Shift-JIS name (unsplit) instead of decoding them.
  std::map<std::string, std::string> peer_names = {};
};

// Printed by its label, so that test names stay the same from run to run.
void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.label;
}

class RealArchiveTest : public UnzTest, public ::testing::WithParamInterface<RealCase> {
 public:
  std::string Dir() const { return dir_.path(); }
  using UnzTest::archive;
  using UnzTest::WriteZip;

  // Runs `script` with the shell in the scratch folder.
  void Shell(const std::string& script) {
    const auto run = lorvante::test::Run({"/bin/sh", "-c", "cd '" + Dir() + "' && " + script});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  void Python(const std::string& script) {
    const auto run = lorvante::test::Run({Which("python3"), "-c", script, archive()});
    ASSERT_EQ(run.status, 0) << run.err;
  }
};

// The text of the entries that Python writes.
constexpr char kPythonThree[] =
    "import sys, zipfile\n"
    "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
    "    z.writestr('a.txt', 'first entry ' * 40)\n"
    "    z.writestr('b.txt', 'MIDDLE entry ' * 40)\n"
    "    z.writestr('c.txt', 'last entry ' * 40)\n";

ZipItem Sound(const char* name = "sound.txt") {
  return {.name = name, .data = lorvante::test::RandomBytes(3000, 7), .method = 8};
}

// An entry flagged as WinZip AES (method 99) whose 0x9901 field is `field` (none when empty).
ZipItem OddAes(const std::string& field) {
  ZipItem item{.name = "odd.bin",
               .data = lorvante::test::RandomBytes(200, 3),
               .method = 99,
               .flags = lorvante::zipformat::kFlagEncrypted};
  item.stored = item.data;
  if (!field.empty()) {
    std::string block("\x01\x99", 2);
    block += static_cast<char>(field.size());
    block += '\0';
    block += field;
    item.local_extra = block;
    item.extra = block;
  }
  return item;
}

// The 0x9901 payload: vendor version, vendor id, strength, real method (stored).
std::string AesField(std::uint16_t version, const char* vendor, std::uint8_t strength) {
  std::string field;
  field += static_cast<char>(version & 0xFF);
  field += static_cast<char>(version >> 8);
  field += vendor;
  field += static_cast<char>(strength);
  field += std::string("\0\0", 2);
  return field;
}

void AddOddAes(RealArchiveTest& t, const std::string& field) {
  t.WriteZip({OddAes(field), Sound()});
}

std::vector<RealCase> Cases() {
  const std::set<std::string> sound = {"sound.txt"};
  return {
      {"StreamedZip64",
       "zip",
       [](RealArchiveTest& t) {
         // Written to a pipe: zip64 local headers with the data-descriptor flag, sizes as
         // placeholders and zeros, the real ones in the descriptors and the central headers.
         t.Shell("printf 'second file\\n' > b.txt && echo data | zip -q - - b.txt | cat > " +
                 t.archive() + " && rm b.txt");
       },
       {"-", "b.txt"}},
      {"DescriptorWithOnlyTheSizeInTheLocalHeader",
       nullptr,
       [](RealArchiveTest& t) {
         ZipItem item = Sound("packed.txt");
         item.flags = lorvante::zipformat::kFlagDataDescriptor;
         item.descriptor = true;
         item.local_crc = 0;
         item.local_compressed_size = 0;
         t.WriteZip({item, Sound()});
       },
       {"packed.txt", "sound.txt"}},
      {"OneEntryFailsItsCrc",
       "python3",
       [](RealArchiveTest& t) {
         t.Python(kPythonThree);
         Bytes bytes = ReadBytes(t.archive());
         lorvante::test::DamageAt(bytes, "MIDDLE");
         lorvante::test::WriteBytes(t.archive(), bytes);
       },
       {"a.txt", "c.txt"},
       {UNZ_SKIP_CRC_ERROR}},
      {"LocalCrcDiffersFromTheCentralCrc",
       nullptr,
       [](RealArchiveTest& t) {
         ZipItem item = Sound("a.txt");
         item.local_crc = 0x12345678;  // the data match the central CRC
         ZipItem damaged = Sound("b.txt");
         damaged.crc = 0x12345678;  // in both headers, and the data fail it
         t.WriteZip({item, damaged, Sound()});
       },
       {"a.txt", "sound.txt"},
       {UNZ_SKIP_CRC_ERROR}},
      {"LocalNameDiffersFromTheCentralName",
       nullptr,
       [](RealArchiveTest& t) {
         ZipItem item = Sound("név.txt");
         item.flags = lorvante::zipformat::kFlagUtf8Names;
         item.local_name = "nev.txt";
         t.WriteZip({item, Sound()});
       },
       {"név.txt", "sound.txt"}},
      {"MsDosFolderWithoutSlash",
       nullptr,
       [](RealArchiveTest& t) {
         constexpr std::uint16_t kMsDos20 = 0x0014;
         t.WriteZip(
             {{.name = "docs",
               .made_by = kMsDos20,
               .external = lorvante::zipformat::kDosAttributeFolder},
              {.name = "docs/readme.txt", .data = {'r'}, .made_by = kMsDos20, .external = 0x20}});
       },
       {"docs/", "docs/readme.txt"}},
      {"EndRecordDisksInTheZip64EndRecord",
       nullptr,
       [](RealArchiveTest& t) {
         ZipLayout layout;
         layout.zip64 = true;
         layout.zip64_disk_placeholders = true;
         t.WriteZip({Sound("one.txt"), Sound("two.txt")}, layout);
       },
       {"one.txt", "two.txt"}},
      {"ShiftJisNameWithA5CSecondByte",
       nullptr,
       [](RealArchiveTest& t) {
         // "表.txt" written by a Japanese MS-DOS tool: 0x95 0x5C, then the extension.
         t.WriteZip({{.name = "\x95\x5c.txt", .data = {'j'}, .made_by = 0x0014, .external = 0}});
       },
       {"表.txt"},
       {},
       "ja_JP.UTF-8",
       {{"表.txt", "\x95\x5c.txt"}}},
      {"AesStrength0",
       nullptr,
       [](RealArchiveTest& t) { AddOddAes(t, AesField(2, "AE", 0)); },
       sound,
       {UNZ_SKIP_UNSUPPORTED}},
      {"AesStrength4",
       nullptr,
       [](RealArchiveTest& t) { AddOddAes(t, AesField(2, "AE", 4)); },
       sound,
       {UNZ_SKIP_UNSUPPORTED}},
      {"AesOtherVendor",
       nullptr,
       [](RealArchiveTest& t) { AddOddAes(t, AesField(2, "XY", 3)); },
       sound,
       {UNZ_SKIP_UNSUPPORTED}},
      {"AesVersion3",
       nullptr,
       [](RealArchiveTest& t) { AddOddAes(t, AesField(3, "AE", 3)); },
       sound,
       {UNZ_SKIP_UNSUPPORTED}},
      {"AesWithoutItsField",
       nullptr,
       [](RealArchiveTest& t) { AddOddAes(t, {}); },
       sound,
       {UNZ_SKIP_UNSUPPORTED}},
  };
}

// Sets the locale variables for the scope of one case.
class LocaleScope {
 public:
  explicit LocaleScope(const char* locale) {
    if (locale == nullptr) return;
    const char* old = std::getenv("LC_ALL");
    if (old != nullptr) old_ = old;
    ::setenv("LC_ALL", locale, 1);
  }
  ~LocaleScope() {
    if (!old_) {
      ::unsetenv("LC_ALL");
    } else {
      ::setenv("LC_ALL", old_->c_str(), 1);
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST_P(RealArchiveTest, ExtractsLikeSevenZipEntryByEntry) {
  const RealCase& c = GetParam();
  if (c.writer != nullptr && Which(c.writer).empty()) {
    GTEST_SKIP() << c.writer << " is missing (scripts/setup installs it)";
  }
  c.make(*this);
  if (HasFatalFailure()) return;

  HostRun run;
  {
    const LocaleScope locale(c.locale);
    run = Run();  // the damage question answered No
  }
  EXPECT_EQ(run.Skips(), c.skips) << run.Messages();
  EXPECT_EQ(Tree(target()), c.tree) << run.Messages();
  EXPECT_TRUE(run.Of(UNZ_ACTION_RUN_REFUSED).empty()) << run.Messages();

  if (Which("7z").empty()) return;
  const std::string peer = Dir() + "/peer";
  // A password, so that 7-Zip does not ask for one at an entry that it does not read either.
  std::vector<std::string> argv = {Which("7z"), "x", "-y", "-pnone", "-o" + peer};
  if (c.locale != nullptr) argv.push_back("-mcp=932");
  argv.push_back(archive());
  static_cast<void>(lorvante::test::Run(argv));  // a skipped entry is an error for 7z as well
  for (const std::string& path : c.tree) {
    SCOPED_TRACE(path);
    const auto renamed = c.peer_names.find(path);
    const std::string theirs =
        peer + "/" + (renamed != c.peer_names.end() ? renamed->second : path);
    ASSERT_TRUE(std::filesystem::exists(theirs));
    if (path.back() == '/') {
      EXPECT_TRUE(std::filesystem::is_directory(theirs));
    } else {
      EXPECT_EQ(ReadBytes(In(path)), ReadBytes(theirs));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RealArchiveTest, ::testing::ValuesIn(Cases()),
                         [](const auto& param_info) {
                           return std::string(param_info.param.label);
                         });

}  // namespace
}  // namespace unzdll::test
