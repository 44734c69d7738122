// Extract and the library callback, driven by a stand-in library that replays a script of
// callbacks and records the call record and every answer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "extract_fixture.h"
#include "platform/format.h"
#include "tests/support/zip_builder.h"
#include "ui/message_box.h"
#include "zip/unzip_library.h"
#include "zip/zip_messages.h"

namespace lorvante::test {
namespace {

struct Record {
  std::map<std::string, std::string> fields;  // the call record as the library saw it
  std::vector<std::string> specs;
  std::vector<std::string> answers;  // "<result> <status> <value> <text>" per callback
};

class FakeLibraryTest : public ExtractFixture {
 protected:
  FakeLibraryTest()
      : script_env_("LORVANTE_FAKE_UNZDLL_SCRIPT", dir_ / "script"),
        record_env_("LORVANTE_FAKE_UNZDLL_RECORD", dir_ / "record") {
    std::filesystem::create_directory(dir_ / "out");
    ZipLayout layout;
    layout.entries.resize(2);
    layout.entries[1].name = "dir/b.txt";
    WriteBytes(archive(), layout.Build());
    zip_.SetZipFileName(archive());
    zip_.DllDirectory = FAKE_UNZDLL_DIR;
    zip_.ExtractDir = dir_ / "out";
  }

  std::string archive() const { return dir_ / "archive.zip"; }

  void Script(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    WriteText(dir_ / "script", text);
  }

  bool Called() const { return std::filesystem::exists(dir_ / "record"); }

  Record Recorded() const {
    Record record;
    std::istringstream in(ReadText(dir_ / "record"));
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t space = line.find(' ');
      const std::string key = line.substr(0, space);
      const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
      if (key == "cb")
        record.answers.push_back(value);
      else if (key == "spec")
        record.specs.push_back(value);
      else
        record.fields[key] = value;
    }
    return record;
  }

  ScopedEnv script_env_;
  ScopedEnv record_env_;
};

// ---------------------------------------------------------------------------------------------
// Lines of the stand-in library's script (fake_unzdll.cpp), one callback each, by action.

std::string Callback(int code, int status, int value, const std::string& text = {}) {
  std::string line =
      std::to_string(code) + " " + std::to_string(status) + " " + std::to_string(value);
  return text.empty() ? line : line + " " + text;
}
std::string FileCount(int count) {
  return Callback(UNZ_ACTION_FILE_COUNT, 0, count);
}
std::string TotalBytes(int bytes) {
  return Callback(UNZ_ACTION_TOTAL_BYTES, 0, bytes);
}
std::string BeginFile(int size, const std::string& name) {
  return Callback(UNZ_ACTION_BEGIN_FILE, 0, size, name);
}
std::string Progress(int bytes) {
  return Callback(UNZ_ACTION_PROGRESS, 0, bytes);
}
std::string EndBatch() {
  return Callback(UNZ_ACTION_END_BATCH, 0, 0);
}
std::string Message(const std::string& text) {
  return Callback(UNZ_ACTION_MESSAGE, 0, 0, text);
}
// `status` is what the record holds before the host answers.
std::string PasswordRequest(int tries, const std::string& name, int status = 0) {
  return Callback(UNZ_ACTION_PASSWORD, status, tries, name);
}
std::string CrcError(const std::string& name, int status) {
  return Callback(UNZ_ACTION_CRC_ERROR, status, 0, name);
}
// Bit 0 of `older`: the existing file is older; `value` shows whether the host wrote its answer.
std::string TargetExists(int older, int value, const std::string& name) {
  return Callback(UNZ_ACTION_TARGET_EXISTS, older, value, name);
}
std::string Skipped(int reason, const std::string& name) {
  return Callback(UNZ_ACTION_SKIPPED, 0, reason, name);
}
// The result of the library's call.
std::string Return(int result) {
  return "return " + std::to_string(result);
}

// ---------------------------------------------------------------------------------------------
// The callback table, row by row.

struct Counters {
  int batch_count = 0;
  int total_bytes = 0;
  std::int64_t bytes_done = 0;
  int skipped = 0;
  int errors = 0;
  bool cancel = false;
};

struct CallbackCase {
  const char* name;
  std::vector<std::string> script;
  std::vector<std::string> answers;
  std::vector<std::string> events;
  std::vector<std::string> progress;
  Counters counters;
  std::uint8_t options = kExtractUpdate;
  std::vector<int> message_answers = {};
  std::vector<std::optional<std::string>> input_answers = {};
  std::vector<std::string> shown = {};
  int cancel_at_process_messages = 0;  // press Cancel in this call of ProcessMessages (1 = first)
};

const std::string kPasswordFor = "input masked A new password is required for \"secret.txt\"";
const std::string kPasswordRetry = "input masked Password is invalid, please retry ...";
const std::string kNoPassword =
    "mb 0x24 No password was entered so the file will not be extracted...\nDo you wish to "
    "continue extracting other files?";
const std::string kTooLong = "mb 0x30 " + std::string(zip_texts::kPasswordTooLong);
const std::string kDamaged =
    "mb 0x123 \"bad.txt\" may be corrupted (CRC error).\nExtract this file anyway? ...";
const std::string kOlder =
    "mb 0x43 \"t.txt\" is older than the zipped file.\nOverwrite this file? ...";
const std::string kNewer =
    "mb 0x113 \"t.txt\" is the same age or newer than the zipped file.\nDo you really want to "
    "overwrite this file? ...";
const std::vector<std::string> kAskedOnce = {"show", "hide", "show", "free"};
const std::vector<std::string> kAskedThenCancelled = {"show", "hide", "free"};
const std::vector<std::string> kUntouched = {"show", "free"};

// An existing target with the option value and bit 0 of Status given; the library's Value 5
// shows whether the answer was written.
CallbackCase Overwrite(const char* name, std::uint8_t options, int older, int value,
                       std::vector<int> answers = {}, std::vector<std::string> shown = {},
                       bool cancel = false) {
  CallbackCase c{name,
                 {TargetExists(older, 5, "t.txt")},
                 {std::string(cancel ? "-1 " : "0 ") + std::to_string(older) + " " +
                  std::to_string(value) + " t.txt"},
                 {},
                 shown.empty() ? kUntouched : (cancel ? kAskedThenCancelled : kAskedOnce),
                 {.cancel = cancel},
                 options};
  c.message_answers = std::move(answers);
  c.shown = std::move(shown);
  return c;
}

std::vector<CallbackCase> CallbackCases() {
  const std::string p511(511, 'p');
  const std::string e512 = [] {
    std::string s;
    for (int i = 0; i < 256; ++i) s += "\xC3\xA9";  // 256 times U+00E9: 512 bytes
    return s;
  }();
  std::vector<CallbackCase> cases = {
      {"Batch",
       {FileCount(2), TotalBytes(30), BeginFile(10, "a.txt"), Progress(4), Progress(6),
        BeginFile(20, "dir/b.txt"), Progress(20), EndBatch()},
       {"0 0 2 ", "0 0 30 ", "0 0 10 a.txt", "0 0 4 ", "0 0 6 ", "0 0 20 dir/b.txt", "0 0 20 ",
        "0 0 0 "},
       {"begin a.txt 10 2 30", "progress a.txt 4 30", "progress a.txt 6 30",
        "begin dir/b.txt 20 2 30", "progress dir/b.txt 20 30", "end 0 2 30"},
       // 65535 / 30 = 2184.5 units a byte
       {"show", "max 65535", "message a.txt", "pos 8738", "pos 21845", "message dir/b.txt",
        "pos 65535", "hide", "free"},
       {.batch_count = 2, .total_bytes = 30, .bytes_done = 30}},
      {"ZeroByteBatchScaleOne",
       {FileCount(1), TotalBytes(0), BeginFile(0, "e.txt"), Progress(5), Progress(3), EndBatch()},
       {"0 0 1 ", "0 0 0 ", "0 0 0 e.txt", "0 0 5 ", "0 0 3 ", "0 0 0 "},
       {"begin e.txt 0 1 0", "progress e.txt 5 0", "progress e.txt 3 0", "end 0 1 0"},
       {"show", "max 65535", "message e.txt", "pos 5", "pos 8", "hide", "free"},
       {.batch_count = 1, .bytes_done = 8}},
      {"SkipReasons",
       {FileCount(7), TotalBytes(0), Skipped(UNZ_SKIP_NO_PASSWORD, "a"),
        Skipped(UNZ_SKIP_STOPPED, "b"), Skipped(UNZ_SKIP_WRONG_PASSWORD, "c"),
        Skipped(UNZ_SKIP_UNSAFE, "d"), Skipped(UNZ_SKIP_KEPT_EXISTING, "e"), Skipped(261, "f"),
        Skipped(259, "g"), EndBatch()},
       {"0 0 7 ", "0 0 0 ", "0 0 3 a", "0 0 10 b", "0 0 4 c", "0 0 9 d", "0 0 1 e", "0 0 261 f",
        "0 0 259 g", "0 0 0 "},
       {"end 7 7 0"},
       {"show", "max 65535", "hide", "free"},
       // reasons 4, 9 and 261 (low byte 5) are errors; 3, 10, 1 and 259 (low byte 3) are not
       {.batch_count = 7, .skipped = 7, .errors = 3}},
      {"OnlyTotalBytesClearsCounters",
       {FileCount(1), Skipped(UNZ_SKIP_WRONG_PASSWORD, "a"), Progress(7), TotalBytes(100),
        Skipped(UNZ_SKIP_NO_PASSWORD, "b"), EndBatch()},
       {"0 0 1 ", "0 0 4 a", "0 0 7 ", "0 0 100 ", "0 0 3 b", "0 0 0 "},
       {"progress  7 0", "end 1 1 100"},
       // before any code 6 the scale is still 0
       {"show", "pos 0", "max 65535", "hide", "free"},
       {.batch_count = 1, .total_bytes = 100, .skipped = 1}},
      {"UnknownCodesIgnored",
       {Callback(0, 5, 5, "q"), Callback(7, 5, 5, "q"), Callback(12, 5, 5, "q"),
        Callback(-1, 5, 5, "q")},
       {"0 5 5 q", "0 5 5 q", "0 5 5 q", "0 5 5 q"},
       {},
       kUntouched,
       {}},
      {"PasswordFirstRequest",
       {PasswordRequest(3, "secret.txt")},
       {"0 1 2 pw1"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {},
       {"pw1"},
       {kPasswordFor}},
      {"PasswordRetry",
       {PasswordRequest(2, "secret.txt")},
       {"0 1 1 pw2"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {},
       {"pw2"},
       {kPasswordRetry}},
      {"PasswordNoTriesLeftStaysZero",
       {PasswordRequest(0, "secret.txt")},
       {"0 1 0 pw"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {},
       {"pw"},
       {kPasswordRetry}},
      {"PasswordEmptyGoOn",
       {PasswordRequest(3, "secret.txt", 1)},
       {"0 0 0 secret.txt"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {IDYES},
       {""},
       {kPasswordFor, kNoPassword}},
      {"PasswordCancelledStops",
       {PasswordRequest(3, "secret.txt", 1), Progress(5),
        Skipped(UNZ_SKIP_WRONG_PASSWORD, "secret.txt")},
       {"-1 0 0 secret.txt", "-1 0 5 ", "-1 0 4 secret.txt"},
       {},
       kAskedThenCancelled,
       {.cancel = true},
       kExtractUpdate,
       {IDNO},
       {std::nullopt},
       {kPasswordFor, kNoPassword}},
      {"Password511BytesFits",
       {PasswordRequest(3, "secret.txt")},
       {"0 1 2 " + p511},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {},
       {p511},
       {kPasswordFor}},
      {"Password512BytesRefusedAndAskedAgain",
       {PasswordRequest(3, "secret.txt")},
       {"0 1 2 short"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {IDOK, IDOK},
       {p511 + "p", e512, "short"},
       {kPasswordFor, kTooLong, kPasswordFor, kTooLong, kPasswordFor}},
      {"DamagedYes",
       {CrcError("bad.txt", 7)},
       {"0 1 0 bad.txt"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {IDYES},
       {},
       {kDamaged}},
      {"DamagedNo",
       {CrcError("bad.txt", 7)},
       {"0 0 0 bad.txt"},
       {},
       kAskedOnce,
       {},
       kExtractUpdate,
       {IDNO},
       {},
       {kDamaged}},
      {"DamagedCancel",
       {CrcError("bad.txt", 7), BeginFile(3, "next.txt")},
       {"-1 7 0 bad.txt", "-1 0 3 next.txt"},
       {},
       kAskedThenCancelled,
       {.cancel = true},
       kExtractUpdate,
       {IDCANCEL},
       {},
       {kDamaged}},
      {"CancelFromWindowStopsEveryLaterCallback",
       {FileCount(3), TotalBytes(30), BeginFile(10, "a.txt"), Progress(10),
        PasswordRequest(3, "secret.txt"), Skipped(UNZ_SKIP_WRONG_PASSWORD, "x"), EndBatch()},
       {"0 0 3 ", "-1 0 30 ", "-1 0 10 a.txt", "-1 0 10 ", "-1 0 3 secret.txt", "-1 0 4 x",
        "-1 0 0 "},
       {},
       kUntouched,
       {.batch_count = 3, .cancel = true},
       kExtractUpdate,
       {},
       {},
       {},
       2},
  };
  cases.push_back(Overwrite("Options17Older", 17, 1, 1));
  cases.push_back(Overwrite("Options17Newer", 17, 0, 0));
  cases.push_back(Overwrite("Options2Older", 2, 1, 1));
  cases.push_back(Overwrite("Options9Newer", 9, 0, 0));
  cases.push_back(Overwrite("Options0Newer", 0, 0, 1));
  cases.push_back(Overwrite("Options4Newer", 4, 0, 1));
  cases.push_back(Overwrite("Options16Older", 16, 1, 1));
  cases.push_back(Overwrite("Options8OlderYes", 8, 1, 1, {IDYES}, {kOlder}));
  cases.push_back(Overwrite("Options8OlderNo", 8, 1, 0, {IDNO}, {kOlder}));
  cases.push_back(Overwrite("Options8NewerYes", 8, 0, 1, {IDYES}, {kNewer}));
  cases.push_back(Overwrite("Options8NewerCancel", 8, 0, 0, {IDCANCEL}, {kNewer}, true));
  cases.push_back(Overwrite("Options12NewerNo", 12, 0, 0, {IDNO}, {kNewer}));
  cases.push_back(Overwrite("Options12OlderCancel", 12, 1, 0, {IDCANCEL}, {kOlder}, true));
  return cases;
}

void PrintTo(const CallbackCase& c, std::ostream* os) {
  *os << c.name;
}

class CallbackTableTest : public FakeLibraryTest,
                          public ::testing::WithParamInterface<CallbackCase> {};

TEST_P(CallbackTableTest, AnswersAndState) {
  const CallbackCase& c = GetParam();
  Script(c.script);
  for (int answer : c.message_answers) ui_.AnswerMessageBox(answer);
  for (const auto& answer : c.input_answers) ui_.AnswerInputBox(answer);
  int calls = 0;
  ui_.on_process_messages = [&] {
    if (++calls == c.cancel_at_process_messages) ui_.PressProgressCancel();
  };
  zip_.ExtractOptions = c.options;

  EXPECT_EQ(zip_.Extract(), 0);

  const Record record = Recorded();
  EXPECT_EQ(record.answers, c.answers);
  EXPECT_EQ(events_, c.events);
  EXPECT_EQ(ui_.progress_log, c.progress);
  EXPECT_EQ(Shown(), c.shown);
  EXPECT_EQ(zip_.BatchCount, c.counters.batch_count);
  EXPECT_EQ(zip_.TotalBytesInBatch, c.counters.total_bytes);
  EXPECT_EQ(zip_.BatchBytesDone, c.counters.bytes_done);
  EXPECT_EQ(zip_.SkippedCount, c.counters.skipped);
  EXPECT_EQ(zip_.ErrorCount, c.counters.errors);
  EXPECT_EQ(zip_.Cancel, c.counters.cancel);
  // Pending messages are processed once before the call and after every callback.
  EXPECT_EQ(ui_.process_messages_calls, 1 + static_cast<int>(c.script.size()));
  EXPECT_FALSE(zip_.ProgressForm);
}

INSTANTIATE_TEST_SUITE_P(Rows, CallbackTableTest, ::testing::ValuesIn(CallbackCases()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(FakeLibraryTest, WithoutProgressWindowEventsStillCome) {
  Script({FileCount(1), TotalBytes(8), BeginFile(8, "a.txt"), Progress(8),
          PasswordRequest(3, "secret.txt"), EndBatch()});
  ui_.AnswerInputBox("pw");
  zip_.ShowProgressDialog = false;
  zip_.Extract();
  EXPECT_TRUE(ui_.progress_log.empty());
  EXPECT_EQ(events_,
            (std::vector<std::string>{"begin a.txt 8 1 8", "progress a.txt 8 8", "end 0 1 8"}));
  EXPECT_EQ(Shown(), std::vector<std::string>{kPasswordFor});
}

TEST_F(FakeLibraryTest, WithoutHandlersTheWindowIsUpdatedAllTheSame) {
  Script({FileCount(1), TotalBytes(0), BeginFile(4, "a.txt"), Progress(4), EndBatch()});
  zip_.OnZEDBeginFileEvent = nullptr;
  zip_.OnZEDProgressEvent = nullptr;
  zip_.OnZEDEndBatchEvent = nullptr;
  zip_.Extract();
  EXPECT_EQ(ui_.progress_log, (std::vector<std::string>{"show", "max 65535", "message a.txt",
                                                        "pos 4", "hide", "free"}));
}

TEST_F(FakeLibraryTest, ResultOfTheLibraryIsReturnedAlsoAfterCancel) {
  Script({Return(42), FileCount(1), TotalBytes(10), Progress(5)});
  ui_.on_process_messages = [&] { ui_.PressProgressCancel(); };
  EXPECT_EQ(zip_.Extract(), 42);
  EXPECT_TRUE(zip_.Cancel);
  // Cancel is cleared at the start of the next run.
  Script({Return(1), FileCount(2)});
  ui_.on_process_messages = nullptr;
  EXPECT_EQ(zip_.Extract(), 1);
  EXPECT_FALSE(zip_.Cancel);
  EXPECT_EQ(Recorded().answers, std::vector<std::string>{"0 0 2 "});
}

// A batch of 3 GiB: the library caps the announced total at the largest 32-bit count, the
// reports add up past it in 64 bits, and the bar stops at its maximum.
TEST_F(FakeLibraryTest, ThreeGibibyteBatch) {
  Script({FileCount(1), TotalBytes(2147483647), BeginFile(2147483647, "big.bin"),
          Progress(1073741824), Progress(1073741824), Progress(1073741824), EndBatch()});
  zip_.Extract();
  EXPECT_EQ(zip_.BatchBytesDone, std::int64_t{3} << 30);
  EXPECT_EQ(zip_.TotalBytesInBatch, 2147483647);
  EXPECT_EQ(events_[1], "progress big.bin 1073741824 2147483647");
  std::vector<int> positions;
  for (const auto& line : ui_.progress_log) {
    if (line.rfind("pos ", 0) == 0) positions.push_back(std::stoi(line.substr(4)));
  }
  ASSERT_EQ(positions.size(), 3u);
  EXPECT_NEAR(positions[0], 32767, 1);
  EXPECT_NEAR(positions[1], 65535, 1);
  EXPECT_EQ(positions[2], 65535);
}

// ---------------------------------------------------------------------------------------------
// Exceptions from event handlers.

struct HandlerError {
  int id;
};

TEST_F(FakeLibraryTest, ExceptionFromHandlerReachesCallerAfterTheLibraryReturned) {
  Script(
      {FileCount(1), TotalBytes(10), BeginFile(10, "a.txt"), Progress(4), Progress(6), EndBatch()});
  zip_.FileSpecs = {"a.txt"};
  zip_.OnZEDProgressEvent = [&](TObject*, const std::string&, int, int) { throw HandlerError{42}; };
  try {
    zip_.Extract();
    ADD_FAILURE() << "no exception";
  } catch (const HandlerError& e) {
    EXPECT_EQ(e.id, 42);
  }
  // The library ran to its end: every callback after the throw was told to stop.
  EXPECT_EQ(Recorded().answers, (std::vector<std::string>{"0 0 1 ", "0 0 10 ", "0 0 10 a.txt",
                                                          "-1 0 4 ", "-1 0 6 ", "-1 0 0 "}));
  EXPECT_EQ(zip_.BatchBytesDone, 4);
  EXPECT_EQ(events_, std::vector<std::string>{"begin a.txt 10 1 10"});
  EXPECT_FALSE(zip_.ProgressForm);
  EXPECT_EQ(ui_.progress_log.back(), "free");
  EXPECT_EQ(zip_.FileSpecs, std::vector<std::string>{"a.txt"});

  // The next run starts clean and completes.
  zip_.OnZEDProgressEvent = nullptr;
  Script({FileCount(1), TotalBytes(10), BeginFile(10, "a.txt"), Progress(10), EndBatch()});
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_EQ(Recorded().specs, std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(zip_.FileSpecs.empty());
  EXPECT_EQ(events_.back(), "end 0 1 10");
}

TEST_F(FakeLibraryTest, ExceptionFromTheFrontEndDuringAQuestion) {
  // No answer is queued: the scripted front end raises from the input box.
  Script({PasswordRequest(3, "secret.txt"), Progress(1)});
  EXPECT_THROW(zip_.Extract(), std::logic_error);
  EXPECT_EQ(Recorded().answers, (std::vector<std::string>{"-1 0 3 secret.txt", "-1 0 1 "}));
  EXPECT_FALSE(zip_.ProgressForm);
}

TEST_F(FakeLibraryTest, ExceptionFromProcessingMessages) {
  Script({FileCount(1), FileCount(2), FileCount(3)});
  int calls = 0;
  ui_.on_process_messages = [&] {
    if (++calls == 3) throw HandlerError{7};
  };
  EXPECT_THROW(zip_.Extract(), HandlerError);
  EXPECT_EQ(Recorded().answers, (std::vector<std::string>{"0 0 1 ", "-1 0 2 ", "-1 0 3 "}));
  EXPECT_EQ(zip_.BatchCount, 2);
}

// ---------------------------------------------------------------------------------------------
// Refusals before the call.

TEST_F(FakeLibraryTest, MultipleDiskArchiveRefused) {
  zip_.EOCH.ThisDisk = 1;
  zip_.ErrorCount = 3;
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_EQ(Shown(), std::vector<std::string>{
                         "mb 0x40 Cannot Add, Delete or Extract from a multiple disk Zip "
                         "file...\nMerge this Zip file onto the hard disk before retrying."});
  EXPECT_EQ(zip_.ErrorCount, 3);
  EXPECT_FALSE(Called());
  EXPECT_TRUE(ui_.progress_log.empty());
}

TEST_F(FakeLibraryTest, MissingTargetFolderRefused) {
  zip_.ExtractDir = dir_ / "missing";
  zip_.ErrorCount = 2;
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_EQ(Shown(),
            std::vector<std::string>{"mb 0x40 Unable to extract files to:\n\"" +
                                     (dir_ / "missing") + "\"\nThis folder does not exist."});
  EXPECT_EQ(zip_.ErrorCount, 2);
  EXPECT_FALSE(Called());
  // A file is no folder either.
  WriteText(dir_ / "plain", "x");
  zip_.ExtractDir = dir_ / "plain";
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_EQ(ui_.shown.size(), 2u);
  EXPECT_FALSE(Called());
}

TEST_F(FakeLibraryTest, ArchiveWithoutEntriesLoadsNothing) {
  zip_.SetZipFileName(dir_ / "new.zip");  // created empty
  ASSERT_TRUE(zip_.FileList.empty());
  zip_.DllDirectory = dir_ / "nowhere";
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_FALSE(unzip_library::IsLoaded());
  EXPECT_TRUE(ui_.shown.empty());
}

// ---------------------------------------------------------------------------------------------
// Loading the library.

struct LoadCase {
  const char* name;
  std::string directory;
  std::string message;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
  *os << c.name;
}

class LoadRefusedTest : public FakeLibraryTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadRefusedTest, RaisesAndKeepsNothingLoaded) {
  zip_.DllDirectory = GetParam().directory;
  try {
    zip_.Extract();
    ADD_FAILURE() << "no exception";
  } catch (const ZipException& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
  EXPECT_FALSE(unzip_library::IsLoaded());
  EXPECT_FALSE(Called());
  EXPECT_TRUE(ui_.progress_log.empty());
  // A sound library is loaded by the next run of the same process.
  zip_.DllDirectory = FAKE_UNZDLL_DIR;
  Script({FileCount(1)});
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_TRUE(Called());
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, LoadRefusedTest,
    ::testing::Values(LoadCase{"Version159", FAKE_UNZDLL_159_DIR,
                               "Error - invalid version of ZipDll.dll or UnzDll.dll"},
                      LoadCase{"MissingEntryPoint", FAKE_UNZDLL_NOEXEC_DIR,
                               "Unable to load \"" FAKE_UNZDLL_NOEXEC_DIR "/libunzdll.so\"."},
                      LoadCase{"MissingLibrary", "/nonexistent/lib/",
                               "Unable to load \"/nonexistent/lib/libunzdll.so\"."}),
    [](const auto& p) { return std::string(p.param.name); });

// The binding is shared by the process: it stays with the first library loaded until any TZip
// is destroyed.
TEST_F(FakeLibraryTest, BindingIsProcessWideAndFreedByAnyComponent) {
  Script({FileCount(1)});
  auto first = std::make_unique<TZip>(nullptr);
  first->SetZipFileName(archive());
  first->DllDirectory = FAKE_UNZDLL_DIR;
  first->ShowProgressDialog = false;
  EXPECT_EQ(first->Extract(), 0);
  ASSERT_TRUE(Called());
  std::filesystem::remove(dir_ / "record");

  zip_.DllDirectory = FAKE_UNZDLL_159_DIR;  // not looked at while a library is loaded
  EXPECT_EQ(zip_.Extract(), 0);
  EXPECT_TRUE(Called());

  first.reset();
  EXPECT_FALSE(unzip_library::IsLoaded());
  EXPECT_THROW(zip_.Extract(), ZipException);
}

// ---------------------------------------------------------------------------------------------
// The call record.

struct FlagCase {
  std::uint8_t options;
  const char* f28;
  const char* f48;
  const char* f52;
  const char* f56;
  const char* f60;
};

void PrintTo(const FlagCase& c, std::ostream* os) {
  *os << int(c.options);
}

class CallRecordFlagsTest : public FakeLibraryTest,
                            public ::testing::WithParamInterface<FlagCase> {};

TEST_P(CallRecordFlagsTest, FlagsFromOptions) {
  const FlagCase& c = GetParam();
  Script({});
  zip_.ExtractOptions = c.options;
  zip_.Extract();
  const Record r = Recorded();
  EXPECT_EQ(r.fields.at("28"), c.f28);
  EXPECT_EQ(r.fields.at("48"), c.f48);
  EXPECT_EQ(r.fields.at("52"), c.f52);
  EXPECT_EQ(r.fields.at("56"), c.f56);
  EXPECT_EQ(r.fields.at("60"), c.f60);
  // The fixed fields.
  std::ostringstream caller;
  caller << static_cast<void*>(&zip_);
  EXPECT_EQ(r.fields.at("caller"), caller.str());
  EXPECT_EQ(r.fields.at("version"), "160");
  EXPECT_EQ(r.fields.at("callback"), "set");
  EXPECT_EQ(r.fields.at("40"), "-1");
  EXPECT_EQ(r.fields.at("104"), "3");
  EXPECT_EQ(r.fields.at("144"), "7");
  EXPECT_EQ(r.fields.at("password"), "(null)");
  EXPECT_EQ(r.fields.at("specs"), "0 none");
  EXPECT_EQ(r.fields.at("archive"), archive());
}

INSTANTIATE_TEST_SUITE_P(
    Options, CallRecordFlagsTest,
    ::testing::Values(FlagCase{0, "0", "0", "0", "0", "-1"}, FlagCase{1, "0", "-1", "0", "0", "0"},
                      FlagCase{2, "0", "0", "-1", "0", "0"}, FlagCase{3, "0", "-1", "0", "0", "0"},
                      FlagCase{4, "-1", "0", "0", "0", "0"}, FlagCase{5, "0", "-1", "0", "0", "0"},
                      FlagCase{6, "0", "0", "-1", "0", "0"}, FlagCase{8, "0", "0", "0", "0", "-1"},
                      FlagCase{12, "-1", "0", "0", "0", "0"},
                      FlagCase{16, "0", "0", "0", "-1", "-1"},
                      FlagCase{17, "0", "-1", "0", "-1", "0"},
                      FlagCase{31, "0", "-1", "0", "-1", "0"}),
    [](const auto& p) { return "Options" + std::to_string(p.param.options); });

TEST_F(FakeLibraryTest, PasswordAndSpecsReachTheLibrary) {
  Script({});
  zip_.Password = "pässwort";
  zip_.FileSpecs = {"a.txt", "dir/*"};
  zip_.Extract();
  const Record r = Recorded();
  EXPECT_EQ(r.fields.at("password"), "pässwort");
  EXPECT_EQ(r.fields.at("specs"), "2 array");
  EXPECT_EQ(r.specs, (std::vector<std::string>{"a.txt", "dir/*"}));
  EXPECT_TRUE(zip_.FileSpecs.empty());
}

struct FolderCase {
  const char* name;
  std::string extract_dir;  // relative to the scratch folder; "-" = empty
  std::string folder;       // expected, relative to the scratch folder
};

void PrintTo(const FolderCase& c, std::ostream* os) {
  *os << c.name;
}

class TargetFolderTest : public FakeLibraryTest,
                         public ::testing::WithParamInterface<FolderCase> {};

TEST_P(TargetFolderTest, OneFinalSlashAndCurrentDirectory) {
  const FolderCase& c = GetParam();
  Script({});
  zip_.ExtractDir = c.extract_dir == "-" ? "" : dir_.path() + "/" + c.extract_dir;
  zip_.Extract();
  const Record r = Recorded();
  EXPECT_EQ(r.fields.at("folder"), dir_.path() + "/" + c.folder);
  EXPECT_EQ(r.fields.at("cwd") + "/",
            std::filesystem::canonical(dir_.path() + "/" + c.folder).string() + "/");
}

INSTANTIATE_TEST_SUITE_P(Folders, TargetFolderTest,
                         ::testing::Values(FolderCase{"WithoutSlash", "out", "out/"},
                                           FolderCase{"WithSlash", "out/", "out/"},
                                           FolderCase{"EmptyIsArchiveFolder", "-", ""}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(FakeLibraryTest, ArchivePathWithoutFolderGivesEmptyFolderText) {
  std::filesystem::current_path(dir_.path());
  zip_.SetZipFileName("archive.zip");
  zip_.ExtractDir.clear();
  Script({});
  zip_.Extract();
  const Record r = Recorded();
  EXPECT_EQ(r.fields.at("folder"), "");
  EXPECT_EQ(r.fields.at("archive"), "archive.zip");
  EXPECT_EQ(r.fields.at("cwd"), std::filesystem::canonical(dir_.path()).string());
}

// ---------------------------------------------------------------------------------------------
// The trace file: the program's path with ".trace" (the test program has no extension).

// The trace file of this test program, held for one test at a time: the program runs in shards
// side by side, and two tests of the trace in two shards would write the same file.
class TraceFile {
 public:
  TraceFile()
      : path_(std::filesystem::read_symlink("/proc/self/exe").string() + ".trace"),
        lock_(::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (lock_ >= 0) ::flock(lock_, LOCK_EX);
  }
  ~TraceFile() {
    std::filesystem::remove(path_);
    if (lock_ >= 0) ::close(lock_);
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int lock_;
};

TEST_F(FakeLibraryTest, TraceFileHoldsTheLibraryMessages) {
  const TraceFile held;
  const std::string& trace = held.path();
  WriteText(trace, "old content that must go\r\n");
  Script({Message("first message"), Message(""), FileCount(1), Message("zweite Meldung é")});
  zip_.Trace = true;
  zip_.Extract();
  const std::string text = ReadText(trace);
  std::filesystem::remove(trace);
  EXPECT_EQ(text, "first message\r\nzweite Meldung é\r\n");
  EXPECT_FALSE(zip_.TraceStream);

  // Without Trace nothing is written.
  zip_.Trace = false;
  zip_.Extract();
  EXPECT_FALSE(std::filesystem::exists(trace));

  // The file is open during the call only, also when a handler raises; what comes after the
  // exception is not traced.
  zip_.Trace = true;
  bool open_in_handler = false;
  zip_.OnZEDBeginFileEvent = [&](TObject*, const std::string&, int, int, int) {
    open_in_handler = zip_.TraceStream.has_value();
    throw HandlerError{1};
  };
  Script({Message("before"), BeginFile(1, "a.txt"), Message("after")});
  EXPECT_THROW(zip_.Extract(), HandlerError);
  EXPECT_TRUE(open_in_handler);
  EXPECT_FALSE(zip_.TraceStream);
  EXPECT_EQ(ReadText(trace), "before\r\n");
  std::filesystem::remove(trace);
}

// ---------------------------------------------------------------------------------------------
// Entries not extracted: each one reaches the front end once, named with its reason in words,
// and the trace file; the batch counts them by reason.

std::vector<std::string> Notices(const ScriptedUserInterface& ui) {
  std::vector<std::string> out;
  for (const SkippedEntryNotice& notice : ui.skipped_entries) {
    EXPECT_EQ(notice.caption, "LORVANTE");
    out.push_back(notice.entry + " | " + notice.reason);
  }
  return out;
}

TEST_F(FakeLibraryTest, EverySkipReasonIsNamedInWords) {
  std::vector<std::string> script = {FileCount(12), TotalBytes(0)};
  for (int reason = 1; reason <= 11; ++reason) {
    const std::string name = "e" + std::to_string(reason) + ".bin";  // not in the archive
    script.push_back(BeginFile(0, name));
    script.push_back(Skipped(reason, name));
  }
  // Only the low byte of the value is the reason.
  script.push_back(Skipped(0x1200 | UNZ_SKIP_WRONG_PASSWORD, "high.bin"));
  script.push_back(EndBatch());
  Script(script);
  zip_.Extract();
  EXPECT_EQ(Notices(ui_), (std::vector<std::string>{
                              "e1.bin | not extracted: the existing file was kept",
                              "e2.bin | not extracted: there is no file to freshen",
                              "e3.bin | not extracted: no password was given",
                              "e4.bin | not extracted: wrong password",
                              "e5.bin | not extracted: the data fail their CRC check",
                              "e6.bin | not extracted: its compression or encryption method is "
                              "not supported",
                              "e7.bin | not extracted: the file cannot be written",
                              "e8.bin | not extracted: the data are damaged",
                              "e9.bin | not extracted: unsafe name or entry type",
                              "e10.bin | not extracted: the run was stopped",
                              "e11.bin | not extracted (reason 11)",
                              "high.bin | not extracted: wrong password",
                          }));
  EXPECT_EQ(zip_.SkippedReasons, (std::map<int, int>{{1, 1},
                                                     {2, 1},
                                                     {3, 1},
                                                     {4, 2},
                                                     {5, 1},
                                                     {6, 1},
                                                     {7, 1},
                                                     {8, 1},
                                                     {9, 1},
                                                     {10, 1},
                                                     {11, 1}}));
  EXPECT_EQ(zip_.SkippedCount, 12);
  EXPECT_EQ(zip_.ErrorCount, 7);
  EXPECT_EQ(Shown(), std::vector<std::string>{});  // no question, no box

  // The next batch counts afresh.
  Script({FileCount(1), TotalBytes(0), BeginFile(0, "x"), Skipped(UNZ_SKIP_NO_PASSWORD, "x")});
  zip_.Extract();
  EXPECT_EQ(zip_.SkippedReasons, (std::map<int, int>{{UNZ_SKIP_NO_PASSWORD, 1}}));
  EXPECT_EQ(ui_.skipped_entries.size(), 13u);
}

// The library names only the reason; the method of an entry skipped as unsupported is taken
// from its central header, found by the name the library gives it.
class UnsupportedMethodTest : public FakeLibraryTest {
 protected:
  UnsupportedMethodTest() {
    std::vector<ZipItem> items(9);
    const auto item = [&](std::size_t i, const char* name, std::uint16_t method) {
      items[i].name = name;
      items[i].method = method;
      items[i].data = Bytes("data of " + std::string(name));
    };
    item(0, "plain.txt", 8);
    item(1, "dir/ppmd.bin", 98);
    item(2, "./odd//lzma.bin", 14);
    item(3, "dup.bin", 8);
    item(4, "dup.bin", 98);
    item(5, "aes.bin", 99);
    // The AES block: id 0x9901, 7 bytes: version 2, "AE", strength 3, method 98.
    items[5].extra = std::string(
        "\x01\x99\x07\x00\x02\x00"
        "AE\x03\x62\x00",
        11);
    item(6, "aes-without-block.bin", 99);
    item(7, "strong.bin", 8);
    items[7].flags = 0x41;  // encrypted with the format's strong encryption
    item(8, "odd-method.bin", 77);
    WriteBytes(archive(), BuildZip(items));
    zip_.SetZipFileName(archive());
    zip_.DllDirectory = FAKE_UNZDLL_DIR;
    zip_.ExtractDir = dir_ / "out";
  }

  // A batch in which the library begins every entry in `names` (as it names them) and skips
  // every one but the first and the fourth (plain.txt, the first dup.bin) as unsupported.
  void RunBatch(const std::vector<std::string>& names) {
    std::vector<std::string> script = {FileCount(static_cast<int>(names.size())), TotalBytes(0)};
    for (std::size_t i = 0; i < names.size(); ++i) {
      script.push_back(BeginFile(0, names[i]));
      if (i != 0 && i != 3) script.push_back(Skipped(UNZ_SKIP_UNSUPPORTED, names[i]));
    }
    script.push_back(EndBatch());
    Script(script);
    zip_.Extract();
  }
};

TEST_F(UnsupportedMethodTest, MethodIsNamedFromTheEntrysHeader) {
  zip_.ExtractOptions = kExtractUpdate | kExtractKeepFolders;
  RunBatch({"plain.txt", "dir/ppmd.bin", "odd/lzma.bin", "dup.bin", "dup.bin", "aes.bin",
            "aes-without-block.bin", "strong.bin", "odd-method.bin"});
  EXPECT_EQ(Notices(ui_),
            (std::vector<std::string>{
                "dir/ppmd.bin | not extracted: compression method 98 (PPMd) is not supported",
                "odd/lzma.bin | not extracted: compression method 14 (LZMA) is not supported",
                // the second of two entries of one name: its own method, not the first one's
                "dup.bin | not extracted: compression method 98 (PPMd) is not supported",
                "aes.bin | not extracted: compression method 98 (PPMd) is not supported",
                "aes-without-block.bin | not extracted: its encryption method is not supported",
                "strong.bin | not extracted: its encryption method is not supported",
                "odd-method.bin | not extracted: compression method 77 is not supported",
            }));
  EXPECT_EQ(zip_.SkippedReasons, (std::map<int, int>{{UNZ_SKIP_UNSUPPORTED, 7}}));
}

TEST_F(UnsupportedMethodTest, FlatExtractionNamesEntriesWithoutTheirFolders) {
  zip_.ExtractOptions = kExtractUpdate;
  RunBatch({"plain.txt", "ppmd.bin", "lzma.bin", "dup.bin"});
  EXPECT_EQ(Notices(ui_),
            (std::vector<std::string>{
                "ppmd.bin | not extracted: compression method 98 (PPMd) is not supported",
                "lzma.bin | not extracted: compression method 14 (LZMA) is not supported",
            }));
}

TEST_F(UnsupportedMethodTest, TraceFileListsTheSkippedEntries) {
  const TraceFile held;
  const std::string& trace = held.path();
  zip_.Trace = true;
  zip_.ExtractOptions = kExtractUpdate | kExtractKeepFolders;
  Script({FileCount(2), TotalBytes(0), BeginFile(0, "plain.txt"), BeginFile(0, "dir/ppmd.bin"),
          Message("library's own words"), Skipped(UNZ_SKIP_UNSUPPORTED, "dir/ppmd.bin"),
          Skipped(UNZ_SKIP_WRONG_PASSWORD, "plain.txt"), EndBatch()});
  zip_.Extract();
  const std::string text = ReadText(trace);
  std::filesystem::remove(trace);
  EXPECT_EQ(text,
            "library's own words\r\n"
            "\"dir/ppmd.bin\": not extracted: compression method 98 (PPMd) is not supported\r\n"
            "\"plain.txt\": not extracted: wrong password\r\n");
  EXPECT_EQ(ui_.skipped_entries.size(), 2u);
}

// After Cancel nothing is handled, so nothing more is reported.
TEST_F(FakeLibraryTest, NothingIsReportedAfterCancel) {
  ui_.on_process_messages = [this] {
    if (ui_.skipped_entries.size() == 1) ui_.PressProgressCancel();
  };
  Script({FileCount(2), TotalBytes(0), BeginFile(0, "a"), Skipped(UNZ_SKIP_DAMAGED, "a"),
          BeginFile(0, "b"), Skipped(UNZ_SKIP_STOPPED, "b"), EndBatch()});
  zip_.Extract();
  EXPECT_EQ(Notices(ui_), std::vector<std::string>{"a | not extracted: the data are damaged"});
  EXPECT_EQ(zip_.SkippedCount, 1);
}

}  // namespace
}  // namespace lorvante::test
