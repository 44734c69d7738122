// The command line: exactly -h/--help, -V/--version, -o PATH and --batch are options, "--" ends
// them, any other argument that begins with '-' (but "-" alone) is a usage error, everything else
// is a file, converted in the order given; a start without a file asks in an open dialog.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "app/messages.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/scripted/scripted_ui.h"

namespace lorvante {
namespace {

using Action = CommandLine::Action;
using Args = std::vector<std::string>;

struct ParseCase {
  const char* name;
  Args arguments;
  Action action;
  Args files;
  std::optional<std::string> output = std::nullopt;
  bool batch = false;
};

void PrintTo(const ParseCase& c, std::ostream* out) {
  *out << c.name;
}

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ActionAndFiles) {
  const CommandLine parsed = ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(parsed.action, GetParam().action);
  EXPECT_EQ(parsed.files, GetParam().files);
  EXPECT_EQ(parsed.output, GetParam().output);
  EXPECT_EQ(parsed.batch, GetParam().batch);
  // A usage error says what is wrong; nothing else has an error text.
  EXPECT_EQ(parsed.error.empty(), GetParam().action != Action::kUsageError) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ParseTest,
    testing::Values(
        ParseCase{"Nothing", {}, Action::kConvert, {}},
        ParseCase{"OneFile", {"a.des"}, Action::kConvert, {"a.des"}},
        ParseCase{"FilesInOrder",
                  {"b.des", "a.des", "b.des"},
                  Action::kConvert,
                  {"b.des", "a.des", "b.des"}},
        ParseCase{"ShortHelp", {"-h"}, Action::kHelp, {}},
        ParseCase{"LongHelp", {"--help"}, Action::kHelp, {}},
        ParseCase{"ShortVersion", {"-V"}, Action::kVersion, {}},
        ParseCase{"LongVersion", {"--version"}, Action::kVersion, {}},
        ParseCase{"HelpAmongFiles", {"a.des", "--help"}, Action::kHelp, {"a.des"}},
        ParseCase{"FirstOptionDecides", {"-V", "-h"}, Action::kVersion, {}},
        // only the exact spellings are options: the rest are usage errors
        ParseCase{"NearMissHelp", {"-help"}, Action::kUsageError, {}},
        ParseCase{"NearMissCase", {"--Help"}, Action::kUsageError, {}},
        ParseCase{"NearMissJoined", {"-hV"}, Action::kUsageError, {}},
        ParseCase{"NearMissValue", {"--version=1"}, Action::kUsageError, {}},
        ParseCase{"UnknownAfterFile",
                  {"a.des", "--bogus", "b.des"},
                  Action::kUsageError,
                  {"a.des", "b.des"}},
        ParseCase{"HelpBeforeUnknown", {"-h", "--bogus"}, Action::kHelp, {}},
        ParseCase{"SingleDashIsAFile", {"-"}, Action::kConvert, {"-"}},
        ParseCase{"OptionLikeFileAfterDashDash",
                  {"--", "--bogus", "-o"},
                  Action::kConvert,
                  {"--bogus", "-o"}},
        ParseCase{"Output", {"-o", "out dir", "a.des"}, Action::kConvert, {"a.des"}, "out dir"},
        ParseCase{
            "OutputNamedLikeAnOption", {"-o", "-x", "a.des"}, Action::kConvert, {"a.des"}, "-x"},
        ParseCase{"OutputWithoutValue", {"a.des", "-o"}, Action::kUsageError, {"a.des"}},
        ParseCase{"OutputEmpty", {"-o", "", "a.des"}, Action::kUsageError, {"a.des"}},
        ParseCase{"Batch", {"--batch", "a.des"}, Action::kConvert, {"a.des"}, std::nullopt, true},
        ParseCase{"BatchAndOutput",
                  {"a.des", "--batch", "-o", "d"},
                  Action::kConvert,
                  {"a.des"},
                  "d",
                  true},
        ParseCase{"DashDashEndsOptions",
                  {"--", "-h", "--version", "--"},
                  Action::kConvert,
                  {"-h", "--version", "--"}},
        ParseCase{"OptionBeforeDashDash", {"-V", "--", "-h"}, Action::kVersion, {"-h"}},
        ParseCase{"OnlyDashDash", {"--"}, Action::kConvert, {}},
        ParseCase{"EmptyArgumentIsAFile", {""}, Action::kConvert, {""}}));

TEST(CommandLineTexts, UsageAndVersion) {
  EXPECT_EQ(UsageLine().rfind("usage: lorvante ", 0), 0u);
  EXPECT_EQ(UsageLine().back(), '\n');
  EXPECT_EQ(UsageText().rfind(UsageLine(), 0), 0u);
  for (const char* option : {"-h, --help", "-V, --version", "-o PATH", "--batch", "--",
                             "0 every file converted", "2 usage error", "128+n"}) {
    EXPECT_NE(UsageText().find(option), std::string::npos) << option;
  }
  // The version, then one line on the kernel's confinement of the extraction.
  const std::string version = VersionText();
  const std::string first = std::string("lorvante ") + LORVANTE_TEST_VERSION + "\n";
  EXPECT_EQ(version.rfind(first, 0), 0u) << version;
  const std::string second = version.substr(std::min(first.size(), version.size()));
  EXPECT_EQ(std::count(second.begin(), second.end(), '\n'), 1) << version;
  EXPECT_EQ(second.rfind("extraction ", 0), 0u) << version;
  EXPECT_EQ(second.back(), '\n');
}

TEST(CommandLineConversions, EachFileIsArgumentOneOfItsOwnConversion) {
  std::vector<Args> seen;
  std::vector<std::string> subjects;
  const bool all = ConvertEach("/usr/bin/lorvante", {"b.des", "-h", "/x/a.des"}, [&] {
    seen.push_back({Application.ParamStr(0), Application.ParamStr(1), Application.ParamStr(2)});
    subjects.push_back(Application.Subject);
    return true;
  });
  EXPECT_TRUE(all);
  // With several files each conversion's windows name its file; afterwards none.
  EXPECT_EQ(subjects, (std::vector<std::string>{"b.des", "-h", "a.des"}));
  EXPECT_EQ(Application.Subject, "");
  EXPECT_EQ(seen, (std::vector<Args>{{"/usr/bin/lorvante", "b.des", ""},
                                     {"/usr/bin/lorvante", "-h", ""},
                                     {"/usr/bin/lorvante", "/x/a.des", ""}}));
}

// The run reports success only when every conversion did, and a failure does not stop the files
// after it; a single file names no subject.
TEST(CommandLineConversions, OneFailureMakesTheRunFail) {
  struct Case {
    std::vector<bool> outcomes;
    bool all;
  };
  for (const Case& c : {Case{{true}, true}, Case{{false}, false}, Case{{true, true, true}, true},
                        Case{{true, false, true}, false}, Case{{false, true}, false}}) {
    std::size_t calls = 0;
    std::vector<std::string> subjects;
    const Args files(c.outcomes.size(), "a.des");
    const bool all = ConvertEach("lorvante", files, [&] {
      subjects.push_back(Application.Subject);
      return c.outcomes[calls++];
    });
    EXPECT_EQ(all, c.all);
    EXPECT_EQ(calls, c.outcomes.size());
    EXPECT_EQ(subjects.front(), c.outcomes.size() > 1 ? "a.des" : "");
  }
}

// A folder dialog changes the current directory; the next file's relative name must still mean
// the file beside the first.
TEST(CommandLineConversions, EachFileStartsFromTheFirstCurrentDirectory) {
  test::TempDir dir;
  ASSERT_EQ(mkdir((dir / "elsewhere").c_str(), 0755), 0);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  std::vector<std::string> seen;
  ConvertEach("lorvante", {"a.des", "b.des"}, [&] {
    seen.push_back(GetCurrentDir());
    EXPECT_EQ(chdir((dir / "elsewhere").c_str()), 0);
    return true;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{dir.path(), dir.path()}));
  ASSERT_EQ(chdir("/"), 0);  // out of the scratch folder before it goes
}

TEST(CommandLineConversions, OpenDialogOffersEncryptedFilesThenAllInTheDocumentsFolder) {
  test::TempDir home;
  test::ScopedEnv home_env("HOME", home.path());
  test::ScopedEnv config_env("XDG_CONFIG_HOME", home / ".config");
  ASSERT_EQ(mkdir((home / "Documents").c_str(), 0755), 0);
  const OpenDialogRequest request = InputFileRequest();
  EXPECT_EQ(request.title, messages::kOpenTitle);
  EXPECT_EQ(request.initial_dir, home / "Documents");
  using Filter = std::pair<std::string, std::string>;
  EXPECT_EQ(request.filters, (std::vector<Filter>{{"Titkosított állományok (*.des)", "*.des"},
                                                  {"Minden állomány (*)", "*"}}));
  // The first entry also lists the files of both installed types, a tagged one of any name.
  EXPECT_EQ(
      request.first_filter_types,
      (std::vector<std::string>{"application/x-lorvante-bare", "application/x-lorvante-tagged"}));
}

}  // namespace
}  // namespace lorvante
