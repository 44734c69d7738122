// The text export of a gzip payload, through the scripted front end: what lands in the chosen
// file, what the user is asked and told, and what is left behind after every failure.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/error_texts.h"
#include "tests/app/form_fixture.h"

namespace lorvante {
namespace {

using test::Bytes;
using test::RandomBytes;
using test::ReadBytes;
using test::WriteBytes;
using Texts = std::vector<std::string>;
using ByteVector = std::vector<std::uint8_t>;

// Text in code page 1250 (ő = 0xF5, ű = 0xFB, á = 0xE1, é = 0xE9), CR LF line ends, `size` bytes.
ByteVector Cp1250Text(std::size_t size) {
  const ByteVector line = {'T',  0xFB, 'z', 't', 0xFB, 'r',  0xF5, ' ', 'k', 0xE9, 'r', 'd',
                           0xE9, 's',  ' ', 'i', 'd',  0xF5, 'b',  'e', 'n', '\r', '\n'};
  ByteVector text;
  text.reserve(size);
  for (std::size_t i = 0; text.size() < size; ++i) {
    text.push_back(line[i % line.size()]);
    if (i % 97 == 0) text.push_back(static_cast<std::uint8_t>('0' + i % 10));
  }
  text.resize(size);
  return text;
}

// How many descriptors the process holds open.
std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// The names in `folder`, sorted.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class TextExport : public test::FormTest {
 protected:
  TextExport()
      : home_(dir / "home"),
        home_env_("HOME", home_),
        config_env_("XDG_CONFIG_HOME", home_ + "/.config") {
    mkdir(home_.c_str(), 0755);
    mkdir(Documents().c_str(), 0755);
    mkdir((dir / "in").c_str(), 0755);
  }

  std::string Documents() const { return home_ + "/Documents"; }

  // Runs the whole conversion of `input` as the program does; the save dialog answers `answer`.
  // Returns the message texts shown.
  Texts Convert(const std::string& input, std::optional<std::string> answer) {
    ui.AnswerSaveDialog(std::move(answer));
    form = MakeForm(input);
    form->Button1->Click();
    EXPECT_EQ(Application.TerminateRequests(), 1);
    return ui.MessageTexts();
  }

  // Runs the export alone on a temporary file holding exactly `payload`, saving to `output`.
  Outcome ExportBytes(const ByteVector& payload, const std::string& output) {
    WriteBytes(dir / "payload", payload);
    ui.AnswerSaveDialog(output);
    form = MakeForm(dir / "in/x.des");
    return form->ExportText(dir / "payload");
  }

  // The message of the error ExportText raises, empty when it raises none.
  std::string ExportError(const std::string& temp_file, const std::string& output) {
    ui.AnswerSaveDialog(output);
    form = MakeForm(dir / "in/x.des");
    try {
      form->ExportText(temp_file);
    } catch (const std::exception& error) {
      return error.what();
    }
    return {};
  }

  std::string home_;
  test::ScopedEnv home_env_;
  test::ScopedEnv config_env_;
  std::unique_ptr<TForm1> form;
};

TEST_F(TextExport, SaveDialogIsAskedWithTheFixedSettingsAndTheDefaultName) {
  const std::string input = Encrypted("in/report.txt.des", GzipPayload(Bytes("x")), false);
  EXPECT_EQ(Convert(input, std::nullopt), Texts{messages::kExportFailed});
  ASSERT_EQ(ui.shown.size(), 2u);
  ASSERT_EQ(ui.shown[0].kind, ShownItem::Kind::kSaveDialog);
  const SaveDialogRequest& request = ui.shown[0].save;
  EXPECT_EQ(request.title, "");
  EXPECT_EQ(request.initial_dir, Documents());
  EXPECT_EQ(request.file_name, dir / "in/report.txt");
  EXPECT_EQ(request.default_suffix, "txt");
  using Filters = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(request.filters,
            (Filters{{"Egyszerű szöveg (*.txt)", "*.txt"}, {"MS-DOS szöveg (*.txt)", "*.txt"}}));
  EXPECT_EQ(request.filter_index, 1);
  EXPECT_TRUE(request.overwrite_prompt);
  EXPECT_FALSE(request.resizable);
}

// Payload sizes around the 16384-byte copy buffer (exact multiples end with a read of 0), an
// empty payload, and bytes of every value: all arrive unchanged.
TEST_F(TextExport, ThePayloadArrivesByteForByte) {
  const std::pair<const char*, ByteVector> cases[] = {
      {"empty", {}},
      {"one byte", Bytes("\xF5")},
      {"one buffer", Cp1250Text(16384)},
      {"three buffers", Cp1250Text(3 * 16384)},
      {"random", RandomBytes(200001, 11)},
  };
  for (const auto& [name, text] : cases) {
    ui.shown.clear();
    Application.ResetTerminate();
    const std::string input = Encrypted("in/report.txt.des", GzipPayload(text), false);
    const std::string output = Documents() + "/out.txt";
    EXPECT_EQ(Convert(input, output), Texts{}) << name;
    EXPECT_EQ(ReadBytes(output), text) << name;
  }
}

TEST_F(TextExport, CancelWritesNothingAndTheDriverReportsIt) {
  const std::string input = Encrypted("in/report.txt.des", GzipPayload(Cp1250Text(100)), false);
  EXPECT_EQ(Convert(input, std::nullopt), Texts{messages::kExportFailed});
  EXPECT_EQ(Listing(dir / "in"), Texts{"report.txt.des"});
  EXPECT_EQ(Listing(Documents()), Texts{});
}

// The overwrite question belongs to the dialog; once confirmed, the file is truncated and
// rewritten, so nothing of a longer old content remains.
TEST_F(TextExport, ConfirmedExistingFileIsTruncatedAndRewritten) {
  const ByteVector text = Cp1250Text(1000);
  const std::string input = Encrypted("in/report.txt.des", GzipPayload(text), false);
  test::WriteBytes(dir / "in/report.txt", RandomBytes(50000, 3));
  EXPECT_EQ(Convert(input, dir / "in/report.txt"), Texts{});
  EXPECT_TRUE(ui.shown[0].save.overwrite_prompt);
  EXPECT_EQ(ReadBytes(dir / "in/report.txt"), text);
}

TEST_F(TextExport, FillerAfterTheGzipMemberIsIgnored) {
  const ByteVector text = Cp1250Text(5000);
  for (const std::uint8_t filler : {0x00, 0xA5, 0x1F}) {
    for (std::size_t count = 1; count <= 7; ++count) {
      ByteVector payload = GzipPayload(text);
      payload.insert(payload.end(), count, filler);
      const std::string output = dir / "out.txt";
      EXPECT_EQ(ExportBytes(payload, output), Outcome::kDone) << int(filler) << " x " << count;
      EXPECT_EQ(ReadBytes(output), text) << int(filler) << " x " << count;
    }
  }
  EXPECT_EQ(ui.MessageTexts(), Texts{});
}

// The ways gzip data go wrong. zlib reports a stream that is cut short only through gzerror,
// after a read of 0; every case must fail. Nothing reaches the chosen name: a new name stays
// absent, an existing file keeps its content, and no scratch file is left beside it.
TEST_F(TextExport, CorruptGzipDataFailsLeavingTheChosenNameAsItWas) {
  const ByteVector text = RandomBytes(100000, 5);  // stored blocks: the data come out early
  const ByteVector good = GzipPayload(text);
  struct Case {
    const char* name;
    std::function<void(ByteVector&)> damage;
    // The fault shows only after data were decompressed (which the old export wrote out).
    bool after_data;
  };
  const Case cases[] = {
      {"cut in the middle", [](ByteVector& p) { p.resize(p.size() / 2); }, true},
      {"trailer missing", [](ByteVector& p) { p.resize(p.size() - 8); }, true},
      {"trailer cut", [](ByteVector& p) { p.resize(p.size() - 3); }, true},
      {"checksum wrong", [](ByteVector& p) { p[p.size() - 8] ^= 0x01; }, false},
      {"length wrong", [](ByteVector& p) { p[p.size() - 4] ^= 0x01; }, false},
      {"bad block type", [](ByteVector& p) { p[10] = 0x07; }, false},
      {"header only", [](ByteVector& p) { p.resize(10); }, false},
  };
  const ByteVector old = Bytes("the file that was there before");
  for (const auto& c : cases) {
    ByteVector payload = good;
    c.damage(payload);
    const std::string fresh = dir / "out/new.txt";
    const std::string existing = dir / "out/old.txt";
    mkdir((dir / "out").c_str(), 0755);
    WriteBytes(existing, old);
    EXPECT_EQ(ExportBytes(payload, fresh), Outcome::kFailed) << c.name;
    EXPECT_EQ(ExportBytes(payload, existing), Outcome::kFailed) << c.name;
    EXPECT_EQ(Listing(dir / "out"), Texts{"old.txt"}) << c.name;
    EXPECT_EQ(ReadBytes(existing), old) << c.name << (c.after_data ? " (after data)" : "");
  }
  EXPECT_EQ(ui.MessageTexts(), Texts{});
}

// Data that are no gzip stream at all would be copied unchanged by zlib; they are corrupt here.
TEST_F(TextExport, DataWithoutTheGzipMagicAreCorrupt) {
  for (const ByteVector& payload : {ByteVector{}, Bytes("plain text, not compressed")}) {
    EXPECT_EQ(ExportBytes(payload, dir / "out.txt"), Outcome::kFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
  }
}

TEST_F(TextExport, CorruptPayloadThroughTheDriverShowsTheExportMessage) {
  ByteVector payload = GzipPayload(RandomBytes(40000, 9));
  payload.resize(payload.size() - 12);
  const std::string input = Encrypted("in/report.txt.des", payload, false);
  EXPECT_EQ(Convert(input, dir / "out.txt"), Texts{messages::kExportFailed});
}

// The output is made before the source is known to be missing (its errors come first), but the
// chosen name keeps what it held.
TEST_F(TextExport, MissingSourceLeavesTheChosenNameAsItWas) {
  test::WriteText(dir / "out.txt", "old content");
  EXPECT_EQ(ExportError(dir / "no-such-payload", dir / "out.txt"), messages::kSourceNotFound);
  EXPECT_EQ(test::ReadText(dir / "out.txt"), "old content");
  EXPECT_EQ(ExportError(dir / "no-such-payload", dir / "missing/out.txt"),
            "Cannot create file \"" + (dir / "missing/out.txt") + "\". No such file or directory");
  EXPECT_EQ(ui.MessageTexts(), Texts{});  // a short path: no message of its own
}

// A temporary folder deep enough for a path over 240 characters: the file is still read through
// its descriptor; only when it cannot be opened at all does the path message appear.
TEST_F(TextExport, LongTemporaryPath) {
  std::string deep = dir / "t";
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  while (deep.size() < 300) {
    deep += "/mappa-nagyon-hosszu-nevvel";
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  test::ScopedEnv tmpdir("TMPDIR", deep);
  const ByteVector text = Cp1250Text(40000);
  const std::string input = Encrypted("in/report.txt.des", GzipPayload(text), false);
  EXPECT_EQ(Convert(input, dir / "out.txt"), Texts{});
  EXPECT_GT(form->TempFileName.size(), 240u);
  EXPECT_EQ(ReadBytes(dir / "out.txt"), text);

  ui.shown.clear();
  EXPECT_EQ(ExportError(deep + "/missing", dir / "out2.txt"), messages::kSourceNotFound);
  EXPECT_EQ(ui.MessageTexts(), Texts{messages::kGzipPathTooLong});
  EXPECT_EQ(ui.shown.back().caption, "LORVANTE");
  EXPECT_FALSE(std::filesystem::exists(dir / "out2.txt"));
}

TEST_F(TextExport, OutputThatCannotBeCreatedIsTheDriversOnlyMessage) {
  const std::string input = Encrypted("in/report.txt.des", GzipPayload(Bytes("x")), false);
  mkdir((dir / "folder.txt").c_str(), 0755);
  const std::pair<std::string, std::string> cases[] = {
      {dir / "missing/out.txt", "No such file or directory"},
      {dir / "folder.txt", "Is a directory"},
  };
  for (const auto& [path, reason] : cases) {
    ui.shown.clear();
    Application.ResetTerminate();
    const std::size_t open_before = OpenDescriptors();
    EXPECT_EQ(Convert(input, path), Texts{"Cannot create file \"" + path + "\". " + reason});
    // Nothing of the failed attempt stays open (the output folder's descriptor included).
    EXPECT_EQ(OpenDescriptors(), open_before);
  }
}

// The temporary file is held open with a lock while it is read: choosing it as the output
// fails instead of replacing it.
TEST_F(TextExport, TemporaryFileChosenAsOutputIsRefusedAndKept) {
  const ByteVector payload = GzipPayload(Cp1250Text(3000));
  const std::string temp = TempFolder() + "report.txt";
  WriteBytes(temp, payload);
  EXPECT_EQ(ExportError(temp, temp),
            "Cannot create file \"" + temp + "\". The file is in use by another process.");
  EXPECT_EQ(ReadBytes(temp), payload);
  EXPECT_EQ(Listing(TempFolder()), Texts{"report.txt"});
}

// An input named like report.txt is offered as its own output. It is replaced only after a
// complete copy; a failed export leaves it as it was, and no scratch file remains.
TEST_F(TextExport, InputChosenAsOutputIsReplacedOnlyAfterACompleteCopy) {
  const ByteVector text = Cp1250Text(70000);
  const std::string input = Encrypted("in/report.txt", GzipPayload(text), false);
  ASSERT_EQ(chmod(input.c_str(), 0640), 0);
  EXPECT_EQ(Convert(input, input), Texts{});
  EXPECT_EQ(ui.shown[0].save.file_name, input);
  EXPECT_EQ(ReadBytes(input), text);
  EXPECT_EQ(Listing(dir / "in"), Texts{"report.txt"});
  struct stat st {};
  ASSERT_EQ(stat(input.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  ui.shown.clear();
  Application.ResetTerminate();
  ByteVector broken = GzipPayload(RandomBytes(70000, 2));
  broken.resize(broken.size() - 100);
  const std::string input2 = Encrypted("in/report.txt", broken, false);
  const ByteVector cipher = ReadBytes(input2);
  EXPECT_EQ(Convert(input2, input2), Texts{messages::kExportFailed});
  EXPECT_EQ(ReadBytes(input2), cipher);
  EXPECT_EQ(Listing(dir / "in"), Texts{"report.txt"});
}

// The same file reached through a symbolic link is the input too: the link's target is replaced
// and the link stays a link.
TEST_F(TextExport, InputChosenThroughALinkIsReplacedBehindIt) {
  const ByteVector text = Cp1250Text(500);
  const std::string input = Encrypted("in/report.txt", GzipPayload(text), false);
  ASSERT_EQ(symlink(input.c_str(), (dir / "link.txt").c_str()), 0);
  EXPECT_EQ(Convert(input, dir / "link.txt"), Texts{});
  EXPECT_EQ(ReadBytes(input), text);
  struct stat st {};
  ASSERT_EQ(lstat((dir / "link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// The text replaces an existing file as a new file: it keeps that file's permissions, and its
// owner where the program may give the file away; a new name gets a fresh file's mode.
TEST_F(TextExport, ReplacedFileKeepsItsModeAndOwner) {
  const ByteVector text = Cp1250Text(2000);
  const std::string input = Encrypted("in/report.txt.des", GzipPayload(text), false);
  const std::string existing = dir / "existing.txt";
  test::WriteText(existing, "old");
  ASSERT_EQ(chmod(existing.c_str(), 0604), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(existing.c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(Convert(input, existing), Texts{});
  EXPECT_EQ(ReadBytes(existing), text);
  struct stat st {};
  ASSERT_EQ(stat(existing.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u);
  }

  ui.shown.clear();
  Application.ResetTerminate();
  EXPECT_EQ(Convert(input, dir / "fresh.txt"), Texts{});
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_EQ(stat((dir / "fresh.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

TEST_F(TextExport, ZipPayloadOpensTheFolderPickerNotTheSaveDialog) {
  const std::string input = Encrypted("in/data.zip.des", Bytes("PK\3\4 an archive"), true);
  ui.AnswerFolderDialog(ScriptedUserInterface::CancelFolder());
  EXPECT_EQ(Convert(input, std::nullopt), Texts{});
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].kind, ShownItem::Kind::kFolderDialog);
}

// A full disk, stood in for by a file-size limit in a child process: the temporary file (a few
// kilobytes of gzip data) fits, the text does not. Exits 0 when the user saw exactly "Stream
// write error", the file that was under the chosen name is unchanged and nothing is left beside
// it.
class TextExportFullDisk : public TextExport {
 public:
  [[noreturn]] void ConvertBeyondLimit() {
    const ByteVector text = Cp1250Text(1 << 20);
    const std::string input = Encrypted("in/report.txt.des", GzipPayload(text), false);
    mkdir((dir / "out").c_str(), 0755);
    test::WriteText(dir / "out/out.txt", "old");
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{65536, 65536};
    setrlimit(RLIMIT_FSIZE, &limit);
    const Texts texts = Convert(input, dir / "out/out.txt");
    const bool ok = texts == Texts{"Stream write error"} &&
                    test::ReadText(dir / "out/out.txt") == "old" &&
                    Listing(dir / "out") == Texts{"out.txt"};
    std::_Exit(ok ? 0 : 1);
  }
};

TEST_F(TextExportFullDisk, ShortWriteIsAStreamWriteError) {
  EXPECT_EXIT(ConvertBeyondLimit(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lorvante
