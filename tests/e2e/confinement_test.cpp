// The payload is parsed in a process that the kernel confines, for an extraction as for a text:
// from inside it (a library preloaded into the process that inflates the data and writes the
// files) a file outside the chosen folder cannot be made, a file of the home cannot be read,
// 127.0.0.1 cannot be reached and no program can be run; the same attempts succeed with the
// confinement switched off, and the result is the same.
#include "platform/confinement.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "format/encrypt.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

// A socket listening on 127.0.0.1, at a port of the system's choice.
class Listener {
 public:
  Listener() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      ADD_FAILURE() << "no listening socket";
    }
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { close(fd_); }
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

struct ProbeCase {
  const char* name;
  bool text;  // a bare file (text export); else a tagged one (extraction)
  bool confined;
  const char* verdict;  // of every attempt
};

void PrintTo(const ProbeCase& c, std::ostream* out) {
  *out << c.name;
}

class Confinement : public testing::TestWithParam<ProbeCase> {};

TEST_P(Confinement, TheKernelRefusesWhatTheParsingProcessAttempts) {
  if (GetParam().confined && !ConfinementInForce()) {
    GTEST_SKIP() << "the kernel here confines nothing: " << ConfinementSummary();
  }
  test::Headless machine;
  const std::string target = machine.dir() / "out";
  std::filesystem::create_directory(target);
  const std::string input =
      machine.dir() / (GetParam().text ? "jelentes.txt.des" : "adatok.zip.des");
  const std::vector<std::uint8_t> text = test::Bytes("rendben\n");
  test::WriteBytes(
      input,
      GetParam().text
          ? EncryptPayload(GzipPayload(text), false)
          : EncryptPayload(test::BuildZip({{.name = "adatok/jó.txt", .data = text, .method = 8}}),
                           true));
  const std::string result_file = target + (GetParam().text ? "/jelentes.txt" : "/adatok/jó.txt");
  const std::string outside = machine.dir() / "outside.txt";
  const std::string secret = machine.dir() / "home/secret.txt";
  test::WriteText(secret, "titok");
  const Listener listener;

  std::vector<std::string> environment = {std::string("LD_PRELOAD=") + LORVANTE_CONFINEMENT_PROBE,
                                          "PROBE_OUTSIDE=" + outside, "PROBE_SECRET=" + secret,
                                          "PROBE_PORT=" + std::to_string(listener.port())};
  if (!GetParam().confined) environment.push_back(std::string(kConfineSetting) + "=0");
  const test::RunResult result = machine.Run(
      {"--batch", "-o", GetParam().text ? result_file : target, input}, "", environment);

  EXPECT_EQ(result.status, 0) << result.err;
  for (const char* attempt : {"create", "read", "connect", "run"}) {
    const std::string line = std::string("probe: ") + attempt + ": " + GetParam().verdict;
    EXPECT_NE(result.err.find(line), std::string::npos) << line << "\n" << result.err;
  }
  EXPECT_EQ(std::filesystem::exists(outside), !GetParam().confined);
  EXPECT_EQ(test::ReadText(result_file), "rendben\n");
}

INSTANTIATE_TEST_SUITE_P(
    Export, Confinement,
    testing::Values(ProbeCase{"extraction_confined", false, true, "refused"},
                    ProbeCase{"extraction_switched_off", false, false, "allowed"},
                    ProbeCase{"text_confined", true, true, "refused"},
                    ProbeCase{"text_switched_off", true, false, "allowed"}),
    [](const testing::TestParamInfo<ProbeCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace lorvante
