// The command line: exactly -h/--help and -V/--version are options, "--" ends them, everything
// else is a file, converted in the order given; a start without a file asks in an open dialog.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
};

void PrintTo(const ParseCase& c, std::ostream* out) {
  *out << c.name;
}

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ActionAndFiles) {
  const CommandLine parsed = ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(parsed.action, GetParam().action);
  EXPECT_EQ(parsed.files, GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ParseTest,
    testing::Values(ParseCase{"Nothing", {}, Action::kConvert, {}},
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
                    // only the exact spellings are options: the rest are file names
                    ParseCase{"NearMisses",
                              {"-help", "--Help", "-v", "-hV", "--version=1", "-"},
                              Action::kConvert,
                              {"-help", "--Help", "-v", "-hV", "--version=1", "-"}},
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
  for (const char* option : {"-h, --help", "-V, --version", "--"}) {
    EXPECT_NE(UsageText().find(option), std::string::npos) << option;
  }
  EXPECT_EQ(VersionText(), std::string("lorvante ") + LORVANTE_TEST_VERSION + "\n");
}

TEST(CommandLineConversions, EachFileIsArgumentOneOfItsOwnConversion) {
  std::vector<Args> seen;
  ConvertEach("/usr/bin/lorvante", {"b.des", "-h", "a.des"}, [&] {
    seen.push_back({Application.ParamStr(0), Application.ParamStr(1), Application.ParamStr(2)});
  });
  EXPECT_EQ(seen, (std::vector<Args>{{"/usr/bin/lorvante", "b.des", ""},
                                     {"/usr/bin/lorvante", "-h", ""},
                                     {"/usr/bin/lorvante", "a.des", ""}}));
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
    ASSERT_EQ(chdir((dir / "elsewhere").c_str()), 0);
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
}

}  // namespace
}  // namespace lorvante
