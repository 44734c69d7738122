#include <gtest/gtest.h>

#include <ostream>

#include "app/conversion_form.h"

namespace lorvante {
namespace {

struct NameCase {
  const char* input;
  const char* output;
  const char* temp;  // after the temporary folder "T/"
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.input << '"'; }

class NameDerivation : public testing::TestWithParam<NameCase> {};

TEST_P(NameDerivation, OutputAndTemporaryNames) {
  const NameCase& c = GetParam();
  EXPECT_EQ(DefaultOutputName(c.input), c.output);
  EXPECT_EQ(TempFileNameFor("T/", c.input), std::string("T/") + c.temp);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameDerivation,
    testing::Values(NameCase{"/in/report.txt.des", "/in/report.txt", "report.txt"},
                    NameCase{"/in/data.zip.enc", "/in/data.txt", "data.zip"},
                    NameCase{"/in/one.two.three.four", "/in/one.txt", "one.two.three"},
                    NameCase{"/in/plain", "/in/plain.txt", "plain"},
                    // a '.' in a folder name is no extension
                    NameCase{"/my.dir/file", "/my.dir/file.txt", "file"},
                    NameCase{"/my.dir/a.b", "/my.dir/a.txt", "a"},
                    NameCase{"relative.des", "relative.txt", "relative"},
                    NameCase{"/in/árvíztűrő.txt.des", "/in/árvíztűrő.txt", "árvíztűrő.txt"},
                    NameCase{"", ".txt", ""}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

}  // namespace
}  // namespace lorvante
