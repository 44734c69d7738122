// Attack: an entry whose name is a path of thousands of nested folders ("b/b/.../c", up to
// 65,535 bytes). The library made it one folder at a time and kept a descriptor open for every
// level: hundreds of megabytes, thousands of folders left behind, and every later entry failed
// with "too many open files". A name longer than a path may be, or with a part longer than a
// file name may be, is now refused as unsafe before anything of it is made, and the folders
// opened on the way down stay bounded however deep an allowed path goes.
#include <dirent.h>

#include <algorithm>
#include <filesystem>

#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

std::string Nested(std::size_t levels, const std::string& leaf) {
  std::string name;
  name.reserve(levels * 2 + leaf.size());
  for (std::size_t i = 0; i < levels; ++i) name += "b/";
  return name + leaf;
}

struct DeepCase {
  const char* label;
  std::string name;
};

void PrintTo(const DeepCase& c, std::ostream* os) {
  *os << c.label;
}

class TooLongNameTest : public UnzTest, public ::testing::WithParamInterface<DeepCase> {};

TEST_P(TooLongNameTest, IsRefusedAsUnsafeAndNothingOfItIsMade) {
  WriteZip({{.name = GetParam().name, .data = {'d'}}, {.name = "normal.txt", .data = {'n'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 1) << run.Messages();
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSAFE});
  // The message names the entry first; a deep one's name fills the message on its own.
  if (GetParam().name.size() < 400) {
    EXPECT_NE(run.Messages().find("longer than"), std::string::npos) << run.Messages();
  }
  EXPECT_EQ(Tree(target()), std::set<std::string>{"normal.txt"});
  EXPECT_EQ(lorvante::test::ReadText(In("normal.txt")), "n");
  EXPECT_TRUE(std::filesystem::is_empty(outside()));
}

INSTANTIATE_TEST_SUITE_P(Names, TooLongNameTest,
                         ::testing::Values(
                             // 32,767 nested folders: the longest name an entry can have.
                             DeepCase{"ThirtyTwoThousandLevels", Nested(32767, "c")},
                             DeepCase{"JustOverAPath", Nested(2048, "c")},
                             DeepCase{"LongFolderName", "a/" + std::string(256, 'n') + "/x.txt"},
                             DeepCase{"LongFolderEntry", "a/" + std::string(256, 'n') + "/"}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.label);
                         });

TEST_F(UnzTest, TheLongestAllowedNamesAreExtracted) {
  const std::string longest_part(255, 'n');
  std::string deep;  // 3,841 bytes of parts as long as they may be
  for (int i = 0; i < 15; ++i) deep += std::string(255, 'm') + "/";
  deep += "c";
  WriteZip({{.name = longest_part, .data = {'l'}}, {.name = deep, .data = {'d'}}});
  const HostRun run = Run();
  EXPECT_EQ(run.result, 2) << run.Messages();
  EXPECT_EQ(lorvante::test::ReadText(In(longest_part)), "l");
  EXPECT_EQ(lorvante::test::ReadText(In(deep)), "d");
}

TEST_F(UnzTest, ADeepWalkKeepsFewFoldersOpen) {
  // Each entry's folders are opened on the way down; the entry after the deep one is begun while
  // whatever the walk kept open is still open.
  const std::size_t before = OpenDescriptors();
  std::size_t during = 0;
  Script script;
  script.stop_when = [&](const Callback& call) {
    if (call.code == UNZ_ACTION_BEGIN_FILE && call.text == "after.txt") during = OpenDescriptors();
    return false;
  };
  WriteZip({{.name = Nested(600, "c"), .data = {'d'}}, {.name = "after.txt", .data = {'a'}}});
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 2) << run.Messages();
  ASSERT_GT(during, 0u);
  EXPECT_LT(during, before + 300);
  EXPECT_EQ(lorvante::test::ReadText(In("after.txt")), "a");
}

}  // namespace
}  // namespace unzdll::test
