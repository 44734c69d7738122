// Every kept fuzz finding (fuzz/findings/<target>/<what it shows>) replayed through the replay
// program of its target, built from the same fuzz function (cmake/LorvanteFuzz.cmake): the
// checks of the target and, in the sanitizer build, the sanitizers must pass on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace lorvante::test {
namespace {

namespace fs = std::filesystem;

struct Finding {
  std::string target;
  fs::path file;
};

void PrintTo(const Finding& finding, std::ostream* out) {
  *out << finding.target << ": " << finding.file.filename().string();
}

std::vector<Finding> Findings() {
  std::vector<Finding> findings;
  for (const auto& folder : fs::directory_iterator(LORVANTE_FINDINGS_DIR)) {
    if (!folder.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(folder.path())) {
      findings.push_back({folder.path().filename(), file.path()});
    }
  }
  std::sort(findings.begin(), findings.end(),
            [](const Finding& a, const Finding& b) { return a.file < b.file; });
  return findings;
}

// The targets the build recorded, one a line, the name first.
std::vector<std::string> RecordedTargets() {
  std::ifstream record(LORVANTE_FUZZ_RECORD);
  std::vector<std::string> targets;
  for (std::string line; std::getline(record, line);) {
    if (!line.empty()) targets.push_back(line.substr(0, line.find('\t')));
  }
  return targets;
}

std::string CaseName(const ::testing::TestParamInfo<Finding>& info) {
  std::string name = info.param.target + "_" + info.param.file.filename().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

class FindingTest : public ::testing::TestWithParam<Finding> {};

TEST_P(FindingTest, ReplaysCleanly) {
  const Finding& finding = GetParam();
  const std::vector<std::string> targets = RecordedTargets();
  ASSERT_NE(std::find(targets.begin(), targets.end(), finding.target), targets.end())
      << "no fuzz target " << finding.target;
  const fs::path replay = fs::path(LORVANTE_FUZZ_REPLAY_DIR) / finding.target;
  const RunResult result = test::Run({replay, finding.file});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
}

INSTANTIATE_TEST_SUITE_P(Kept, FindingTest, ::testing::ValuesIn(Findings()), CaseName);

}  // namespace
}  // namespace lorvante::test
