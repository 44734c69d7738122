// The built program without a display: the conversion runs in the terminal, with the same
// texts, and always ends with exit code 0.
#include <gtest/gtest.h>

#include "app/encrypt.h"
#include "tests/e2e/terminal_run.h"

namespace lorvante {
namespace {

using test::Bytes;

class Terminal : public testing::Test {
 protected:
  test::Headless machine;
};

TEST_F(Terminal, MissingFileIsReportedOnTheErrorOutput) {
  const std::string missing = machine.dir() / "missing.des";
  const auto run = machine.Run({missing});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "LORVANTE: Cannot open file \"" + missing + "\". No such file or directory\n");
}

TEST_F(Terminal, NoArgument) {
  const auto run = machine.Run({});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "LORVANTE: Cannot open file \"\". No such file or directory\n");
}

TEST_F(Terminal, WrongKeyIsReported) {
  const std::string input = machine.dir() / "noise.txt.des";
  test::WriteBytes(input, test::RandomBytes(4096, 9));
  const auto run = machine.Run({input}, "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "LORVANTE: Az állomány visszafejtése sikertelen.\n");
}

// A bare file is decrypted into the private temporary folder and handed to the text export.
// Until that export exists every payload fails to export; then this run answers the save
// prompt with `answers`.
TEST_F(Terminal, BareFileIsDecryptedAndReachesTheExport) {
  const std::string text = "első sor\r\nmásodik sor\n";
  const auto gzip = GzipPayload(Bytes(text));
  const std::string input = machine.dir() / "jelentes.txt.des";
  test::WriteBytes(input, EncryptPayload(gzip, false));
  const auto run = machine.Run({input}, machine.Documents() + "/out.txt\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "LORVANTE: Az állomány kitömörítése sikertelen.\n");
  const auto payload = test::ReadBytes(machine.PayloadLeftFor(input));
  ASSERT_GE(payload.size(), gzip.size());
  EXPECT_TRUE(std::equal(gzip.begin(), gzip.end(), payload.begin()));
}

// Whatever display or platform the environment names, a program that cannot reach one runs in
// the terminal instead of aborting.
TEST_F(Terminal, UnreachableDisplaysFallBackToTheTerminal) {
  const std::string missing = machine.dir() / "missing.des";
  const std::vector<std::vector<std::string>> environments = {
      {"DISPLAY=" + (machine.dir() / "no-server") + ":0"},
      {"DISPLAY=:"},
      {"QT_QPA_PLATFORM=no-such-platform"},
      {"QT_QPA_PLATFORM=xcb"},
      {"WAYLAND_DISPLAY=wayland-7", "XDG_SESSION_TYPE=wayland"},
  };
  for (const auto& environment : environments) {
    const auto run = machine.Run({missing}, "", environment);
    EXPECT_EQ(run.status, 0) << environment.front();
    EXPECT_EQ(run.err,
              "LORVANTE: Cannot open file \"" + missing + "\". No such file or directory\n")
        << environment.front();
  }
}

}  // namespace
}  // namespace lorvante
