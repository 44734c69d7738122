// Hostile and unusual inputs run through the whole program in the terminal front end, as a new
// user would run them: every one ends with exit code 0 and the expected messages, nothing is
// written outside the chosen place, a file under the chosen name is kept byte for byte when the
// conversion fails, and nothing is left in the temporary folder (no decrypted payload, no run
// folder). One table for every kind of payload: each case brings its input, the answers it
// needs and what the chosen place holds afterwards.
//
// The zip payloads cover the archives that went wrong: an end record hidden in the comment that
// made the archive look empty (a silent success with nothing extracted), an archive of more
// than 65,535 entries that was refused, and an entry named by 32,767 nested folders that
// exhausted the process; with them the classic attacks on an unzipper: names leading out of the
// chosen folder, a symbolic link, a declared size that lies, entries sharing their data, a
// truncated archive and an empty one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "app/messages.h"
#include "format/encrypt.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"
#include "unzdll/unzdll_api.h"

namespace lorvante {
namespace {

using test::Bytes;
using ByteVector = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using test::kOldContent;
using test::MessagesIn;
using test::SortedNames;

ByteVector Concat(ByteVector a, const ByteVector& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const ByteVector& Text() {
  static const ByteVector text = test::RandomBytes(60000, 17);
  return text;
}

ByteVector GoodGzip() {
  return GzipPayload(Text());
}

ByteVector Damaged(const std::function<void(ByteVector&)>& damage) {
  ByteVector payload = GoodGzip();
  damage(payload);
  return payload;
}

ByteVector Bare(const ByteVector& payload) {
  return EncryptPayload(payload, false);
}

// Where a conversion puts its result.
enum class Target {
  kTextFile,  // the save prompt: a file name in the chosen folder
  kFolder,    // the folder prompt: the folder the archive is extracted into
};

using Tree = std::set<std::string>;

struct HostileInput {
  std::string name;
  ByteVector input;  // the encrypted file as the user has it
  Target target;
  // Every message shown, in order. In a folder case "{folder}" stands for the chosen folder and
  // "{input}" for the encrypted file the user gave (never the decrypted copy of the run).
  std::vector<std::string> messages;
  // The chosen place afterwards when the conversion succeeds: the file's content. Nothing: it
  // fails, and the chosen place holds what it held before.
  std::optional<ByteVector> result;
  // Folder cases: every path below the chosen folder afterwards (folders with a final '/').
  Tree tree = {};
  // Folder cases: paths that an entry names outside the chosen folder; none may exist after.
  std::vector<std::string> outside = {};
  std::string answers = {};  // after the folder
};

void PrintTo(const HostileInput& c, std::ostream* os) {
  *os << c.name;
}

// The zip payload of `items`, tagged and encrypted.
ByteVector Tagged(const ByteVector& archive) {
  return EncryptPayload(archive, true);
}

ByteVector Archive(const std::vector<test::ZipItem>& items, test::ZipLayout layout = {}) {
  return test::BuildZip(items, layout);
}

test::ZipItem Item(const std::string& name, const ByteVector& data) {
  test::ZipItem item;
  item.name = name;
  item.data = data;
  return item;
}

std::vector<test::ZipItem> TwoFiles() {
  return {Item("a.txt", Bytes("first")), Item("b/c.txt", Bytes("second"))};
}

// An empty archive's end record announcing no comment, as it may stand inside a comment.
std::string FakeEndRecord() {
  std::string record("PK\5\6", 4);
  record.append(18, '\0');
  return record;
}

// The archive of TwoFiles() with a record-like text at the end of its comment that announces
// as much comment as the payload gets zeros to fill the cipher's last block: the text reaches
// the end of the decrypted payload exactly, the real record is followed by the zeros.
ByteVector PaddedFakeEndInTheComment() {
  test::ZipLayout layout;
  layout.entries = TwoFiles();
  for (std::string space;; space += ' ') {
    layout.comment = "comment " + space + FakeEndRecord();
    ByteVector bytes = layout.Build();
    const std::size_t zeros = (8 - bytes.size() % 8) % 8;
    if (zeros == 0) continue;
    bytes[bytes.size() - 2] = static_cast<std::uint8_t>(zeros);  // the text's comment length
    return bytes;
  }
}

// An entry marked as WinZip AES whose field is not one that is read (strength 0).
test::ZipItem OddAesEntry() {
  test::ZipItem item = Item("odd.bin", Bytes("not really encrypted"));
  item.method = 99;
  item.flags = 1;
  item.local_extra = item.extra = std::string(
      "\x01\x99\x07\x00\x02\x00"
      "AE"
      "\x00\x00\x00",
      11);
  return item;
}

constexpr std::size_t kManyEntries = 65540;
// The folder entry of the many files, first, and the file with data, last, are not among them.
constexpr std::size_t kManyFiles = kManyEntries - 2;

std::string ManyName(std::size_t i) {
  return "m/" + std::to_string(i);
}

// Just over 65,535 entries (zip64 records): a folder, empty files in it and a file with data.
// Empty files rather than folders: each folder takes a block of its own on the disk, and making
// and removing 65,538 of them took three times as long as the whole run with files.
ByteVector ManyEntries() {
  test::ZipLayout layout;
  layout.zip64 = true;
  layout.entries.resize(kManyEntries);
  layout.entries.front().name = "m/";
  for (std::size_t i = 0; i < kManyFiles; ++i) layout.entries[i + 1].name = ManyName(i);
  layout.entries.back() = Item("last.txt", Bytes("last"));
  return layout.Build();
}

Tree ManyTree() {
  Tree tree = {"m/", "last.txt"};
  for (std::size_t i = 0; i < kManyFiles; ++i) tree.insert(ManyName(i));
  return tree;
}

std::string DeepName() {
  std::string name;
  for (int i = 0; i < 32767; ++i) name += "b/";
  return name + "c";  // 65,535 bytes
}

constexpr char kAbsoluteTarget[] = "/tmp/lorvante-hostile-absolute/x";

std::vector<HostileInput> ZipCases() {
  const std::string failed = messages::kExportFailed;
  const std::string not_valid = "\"{input}\"";  // the first line of "... is not a valid Zip file."
  // Each entry not extracted is named with its reason before the failure.
  const auto skipped = [](const std::string& name, const std::string& reason) {
    return "\"" + name + "\": not extracted: " + reason;
  };
  const std::string unsafe = "unsafe name or entry type";
  const std::string damaged = "the data are damaged";
  test::ZipLayout fake_comment;
  fake_comment.comment = "comment " + FakeEndRecord();
  ByteVector truncated = Archive(TwoFiles());
  truncated.resize(truncated.size() / 2);
  test::ZipItem bomb = Item("bomb.bin", ByteVector(4 << 20, 0));
  bomb.method = 8;
  bomb.declared_size = 100;
  test::ZipItem link = Item("link", Bytes("/etc/passwd"));
  link.external = 0120777u << 16;
  test::ZipItem shared = Item("b.txt", Bytes("shared data"));
  shared.local_of = 0;
  test::ZipLayout disk_placeholders;
  disk_placeholders.zip64 = true;
  disk_placeholders.zip64_disk_placeholders = true;
  std::vector<test::ZipItem> with_odd_aes = TwoFiles();
  with_odd_aes.insert(with_odd_aes.begin(), OddAesEntry());
  return {
      {"zip two files",
       Tagged(Archive(TwoFiles())),
       Target::kFolder,
       {"2 állomány kibontva ide: {folder}"},
       {},
       Tree{"a.txt", "b/", "b/c.txt"}},
      {"zip end record in the comment",
       Tagged(Archive(TwoFiles(), fake_comment)),
       Target::kFolder,
       {"2 állomány kibontva ide: {folder}"},
       {},
       Tree{"a.txt", "b/", "b/c.txt"}},
      {"zip end record in the comment padded to the cipher",
       Tagged(PaddedFakeEndInTheComment()),
       Target::kFolder,
       {"2 állomány kibontva ide: {folder}"},
       {},
       Tree{"a.txt", "b/", "b/c.txt"}},
      {"zip disk numbers in the zip64 end record",
       Tagged(Archive(TwoFiles(), disk_placeholders)),
       Target::kFolder,
       {"2 állomány kibontva ide: {folder}"},
       {},
       Tree{"a.txt", "b/", "b/c.txt"}},
      {"zip odd AES entry",
       Tagged(Archive(with_odd_aes)),
       Target::kFolder,
       {skipped("odd.bin", "its encryption method is not supported"), failed},
       {},
       Tree{"a.txt", "b/", "b/c.txt"}},
      {"zip over 65535 entries",
       Tagged(ManyEntries()),
       Target::kFolder,
       // Files are counted, not folders.
       {std::to_string(kManyFiles + 1) + " állomány kibontva ide: {folder}"},
       {},
       ManyTree()},
      {"zip deep name",
       Tagged(Archive({Item(DeepName(), Bytes("deep")), Item("normal.txt", Bytes("normal"))})),
       Target::kFolder,
       // The callback record carries at most UNZDLL_TEXT_SIZE - 1 bytes of a name.
       {skipped(DeepName().substr(0, UNZDLL_TEXT_SIZE - 1), unsafe), failed},
       {},
       Tree{"normal.txt"}},
      {"zip declared size lie",
       Tagged(Archive({bomb, Item("ok.txt", Bytes("ok"))})),
       Target::kFolder,
       {skipped("bomb.bin", damaged), failed},
       {},
       Tree{"ok.txt"}},
      {"zip overlapping entries",
       Tagged(Archive({Item("a.txt", Bytes("shared data")), shared})),
       Target::kFolder,
       // The whole archive is refused: the line names it and says why.
       {skipped("{input}", damaged + " (the entries \"a.txt\" and \"b.txt\" overlap each other)"),
        failed},
       {},
       Tree{}},
      {"zip names leading out",
       Tagged(Archive({Item("../x", Bytes("out")), Item(kAbsoluteTarget, Bytes("abs")),
                       Item("in.txt", Bytes("in"))})),
       Target::kFolder,
       {skipped("../x", unsafe), skipped(kAbsoluteTarget, unsafe), failed},
       {},
       Tree{"in.txt"},
       {"../x", kAbsoluteTarget}},
      {"zip symbolic link",
       Tagged(Archive({link, Item("in.txt", Bytes("in"))})),
       Target::kFolder,
       {skipped("link", unsafe), failed},
       {},
       Tree{"in.txt"}},
      {"zip truncated", Tagged(truncated), Target::kFolder, {not_valid}, {}, Tree{}},
      // The payload check wants a local header first: an empty archive is no zip payload.
      {"zip empty", Tagged(Archive({})), Target::kFolder, {messages::kDecryptFailed}, {}, Tree{}},
  };
}

std::vector<HostileInput> Cases() {
  const std::string decrypt_failed = messages::kDecryptFailed;
  const std::string export_failed = messages::kExportFailed;
  ByteVector header_names_a_file = GoodGzip();
  header_names_a_file[3] = 0x08;
  ByteVector bare_zip = Bytes("PK\3\4 an archive, but no gzip stream");
  return {
      // The container.
      {"empty file", {}, Target::kTextFile, {"Stream read error"}, {}},
      {"shorter than the tag", Bytes("DESM4G!"), Target::kTextFile, {"Stream read error"}, {}},
      {"ciphertext not a multiple of 8",
       Concat(Bare(GoodGzip()), Bytes("abc")),
       Target::kTextFile,
       {"CryptDecrypt: ErrorCode: 0x80090005 - Bad Data.", decrypt_failed},
       {}},
      {"junk", test::RandomBytes(65536, 3), Target::kTextFile, {decrypt_failed}, {}},
      {"large junk", test::RandomBytes(2 << 20, 4), Target::kTextFile, {decrypt_failed}, {}},
      {"tag only", Bytes("DESM4G!C11"), Target::kTextFile, {decrypt_failed}, {}},
      {"tag before a gzip payload",
       EncryptPayload(GoodGzip(), true),
       Target::kTextFile,
       {decrypt_failed},
       {}},
      {"zip payload without the tag", Bare(bare_zip), Target::kTextFile, {decrypt_failed}, {}},
      {"gzip header naming a file",
       Bare(header_names_a_file),
       Target::kTextFile,
       {decrypt_failed},
       {}},
      // The gzip payload.
      {"bad CRC",
       Bare(Damaged([](ByteVector& p) { p[p.size() - 8] ^= 0x01; })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"bad length",
       Bare(Damaged([](ByteVector& p) { p[p.size() - 4] ^= 0x01; })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"truncated stream",
       Bare(Damaged([](ByteVector& p) { p.resize(p.size() / 2); })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"trailer missing",
       Bare(Damaged([](ByteVector& p) { p.resize(p.size() - 8); })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"invalid block type",
       Bare(Damaged([](ByteVector& p) { p[10] = 0x07; })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"header only",
       Bare(Damaged([](ByteVector& p) { p.resize(10); })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"junk after the header",
       Bare(Damaged([](ByteVector& p) {
         const ByteVector junk = test::RandomBytes(5000, 8);
         p.resize(10);
         p.insert(p.end(), junk.begin(), junk.end());
       })),
       Target::kTextFile,
       {export_failed},
       {}},
      // Unusual but sound: an empty text is an empty file.
      {"empty text", Bare(GzipPayload({})), Target::kTextFile, {}, ByteVector{}},
  };
}

std::vector<HostileInput> AllCases() {
  std::vector<HostileInput> cases = Cases();
  for (HostileInput& c : ZipCases()) cases.push_back(std::move(c));
  return cases;
}

// Every path below `root`, relative, folders with a final '/'; links not followed.
Tree TreeOf(const std::string& root) {
  Tree tree = {};
  for (auto it = std::filesystem::recursive_directory_iterator(root);
       it != std::filesystem::recursive_directory_iterator(); ++it) {
    // Lexically: the iterator's paths start with `root` (no call per component to resolve it).
    std::string rel = it->path().lexically_relative(root).string();
    if (it->is_directory() && !it->is_symlink()) rel += '/';
    tree.insert(rel);
  }
  return tree;
}

void Replace(std::string& text, const std::string& token, const std::string& value) {
  for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at)) {
    text.replace(at, token.size(), value);
    at += value.size();
  }
}

class HostileInputs : public testing::TestWithParam<HostileInput> {
 protected:
  // A zip payload extracted into a new folder beside a file that must stay as it is.
  void ExtractIntoAFolder(const HostileInput& c) {
    const std::string in = machine.dir() / "in";
    const std::string out = machine.dir() / "out";
    const std::string chosen = out + "/chosen";
    std::filesystem::create_directories(chosen);
    std::filesystem::create_directory(in);
    const std::string input = in + "/report.zip.des";
    test::WriteBytes(input, c.input);
    test::WriteText(out + "/old.txt", kOldContent);
    for (const std::string& path : c.outside) {
      if (path.front() == '/')
        std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    }

    const auto run = machine.Run({input}, chosen + "\n" + c.answers);
    std::vector<std::string> expected = c.messages;
    // Converted: the summary ends the run and names no entry left out.
    const bool converted = !expected.empty() &&
                           expected.back().find("kibontva ide") != std::string::npos &&
                           expected.back().find("nem lett kibontva") == std::string::npos;
    EXPECT_EQ(run.status, converted ? 0 : 1);
    for (std::string& message : expected) {
      Replace(message, "{folder}", chosen);
      Replace(message, "{input}", input);
    }
    const std::vector<std::string> shown = MessagesIn(run.err);
    EXPECT_EQ(shown, expected) << run.err.substr(0, 4000);
    // The decrypted archive, in a run folder of the private temporary folder, is never named.
    const std::string temporary = machine.Temp() + "/lorvante-" + std::to_string(geteuid());
    EXPECT_EQ(run.err.find(temporary), std::string::npos) << run.err.substr(0, 4000);

    EXPECT_EQ(TreeOf(chosen), c.tree);
    EXPECT_EQ(SortedNames(out), (Names{"chosen", "old.txt"}));
    EXPECT_EQ(test::ReadText(out + "/old.txt"), kOldContent);
    for (const std::string& path : c.outside) {
      EXPECT_FALSE(std::filesystem::exists(path.front() == '/' ? path : chosen + "/" + path))
          << path;
    }
    EXPECT_EQ(SortedNames(in), Names{"report.zip.des"});
    EXPECT_EQ(test::ReadBytes(input), c.input);
    EXPECT_EQ(SortedNames(machine.Documents()), Names{});
    EXPECT_EQ(machine.TempLeftovers(), Names{"lorvante-" + std::to_string(geteuid())});
  }

  test::Headless machine;
};

TEST_P(HostileInputs, ExpectedMessagesNothingLostNothingLeftBehind) {
  const HostileInput& c = GetParam();
  if (c.target == Target::kFolder) {
    ExtractIntoAFolder(c);
    return;
  }
  const std::string in = machine.dir() / "in";
  const std::string out = machine.dir() / "out";
  std::filesystem::create_directory(in);
  std::filesystem::create_directory(out);
  const std::string input = in + "/report.txt.des";
  test::WriteBytes(input, c.input);

  // Once to a new name, once over an existing file (the overwrite question answered yes).
  for (const bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "existing name" : "new name");
    test::WriteText(out + "/old.txt", kOldContent);
    const std::string chosen = out + (existing ? "/old.txt" : "/new.txt");
    const std::string answers = chosen + (existing ? "\ny\n" : "\n");
    const auto run = machine.Run({input}, answers);
    EXPECT_EQ(run.status, c.result ? 0 : 1);
    Names messages = c.messages;
    // A conversion that worked ends with its summary line.
    if (c.result) messages.push_back("A szöveg mentve: " + chosen);
    EXPECT_EQ(MessagesIn(run.err), messages) << run.err;

    Names expected = {"old.txt"};
    if (c.result && !existing) expected.insert(expected.begin(), "new.txt");
    EXPECT_EQ(SortedNames(out), expected);
    if (c.result) {
      EXPECT_EQ(test::ReadBytes(chosen), *c.result);
    }
    if (!c.result || !existing) {
      EXPECT_EQ(test::ReadText(out + "/old.txt"), kOldContent);
    }
    EXPECT_EQ(SortedNames(in), Names{"report.txt.des"});
    EXPECT_EQ(test::ReadBytes(input), c.input);
    EXPECT_EQ(SortedNames(machine.Documents()), Names{});
    EXPECT_EQ(machine.TempLeftovers(), Names{"lorvante-" + std::to_string(geteuid())});
    std::filesystem::remove(chosen);
  }
}

// Control bytes in a name the program shows (the input's, a folder's): an escape sequence, a bell
// and a carriage return reach the terminal as '?', in the prompts and in the closing line, as
// archive names do; the files keep their real names.
TEST(HostileNames, ControlBytesInNamesAreShownAsMarks) {
  constexpr char kHostile[] =
      "a\x1b[2Jb\x07"
      "c\rd";
  constexpr char kShown[] = "a?[2Jb?c?d";
  struct Case {
    std::string label;
    std::string input;   // the input's name
    ByteVector content;  // encrypted
    bool folder;         // a tagged file, extracted into a folder named with the control bytes
    std::string prompt;  // the prompt that offers a path, "{dir}" standing for the input's folder
    std::string closing;
  };
  const Case cases[] = {
      {"text", std::string(kHostile) + ".txt.des", Bare(GoodGzip()), false,
       "Save As [{dir}/" + std::string(kShown) + ".txt]: ",
       "A szöveg mentve: {dir}/" + std::string(kShown) + ".txt"},
      {"folder", std::string(kHostile) + ".zip.des", Tagged(Archive(TwoFiles())), true, "",
       "2 állomány kibontva ide: {dir}/" + std::string(kShown)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::Headless machine;
    const std::string dir = machine.dir() / "in";
    std::filesystem::create_directory(dir);
    test::WriteBytes(dir + "/" + c.input, c.content);
    const std::string chosen = dir + "/" + kHostile;
    if (c.folder) std::filesystem::create_directory(chosen);
    const auto run = machine.Run({dir + "/" + c.input}, c.folder ? chosen + "\n" : "\n");
    EXPECT_EQ(run.status, 0);
    auto with_dir = [&](std::string text) {
      Replace(text, "{dir}", dir);
      return text;
    };
    if (!c.prompt.empty()) {
      EXPECT_NE(run.err.find(with_dir(c.prompt)), std::string::npos) << run.err;
    }
    EXPECT_EQ(MessagesIn(run.err).back(), with_dir(c.closing)) << run.err;
    for (const char control : {'\x1b', '\x07', '\r'}) {
      EXPECT_EQ(run.err.find(control), std::string::npos) << static_cast<int>(control);
    }
    if (c.folder) {
      EXPECT_EQ(TreeOf(chosen), (Tree{"a.txt", "b/", "b/c.txt"}));
    } else {
      EXPECT_EQ(test::ReadBytes(dir + "/" + kHostile + ".txt"), Text());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Terminal, HostileInputs, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<HostileInput>& param) {
                           std::string name = param.param.name;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace lorvante
