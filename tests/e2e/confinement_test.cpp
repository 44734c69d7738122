// The extraction runs in a process that the kernel confines: from inside it (a library preloaded
// into the process that writes the files) a file outside the chosen folder cannot be made, a
// file of the home cannot be read, 127.0.0.1 cannot be reached and no program can be run; the
// same attempts succeed with the confinement switched off, and the extraction is the same.
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
  bool confined;
  const char* verdict;  // of every attempt
};

void PrintTo(const ProbeCase& c, std::ostream* out) {
  *out << c.name;
}

class Confinement : public testing::TestWithParam<ProbeCase> {};

TEST_P(Confinement, TheKernelRefusesWhatTheExtractingProcessAttempts) {
  if (GetParam().confined && !ConfinementInForce()) {
    GTEST_SKIP() << "the kernel here confines nothing: " << ConfinementSummary();
  }
  test::Headless machine;
  const std::string archive = machine.dir() / "adatok.zip.des";
  test::WriteBytes(
      archive,
      EncryptPayload(
          test::BuildZip({{.name = "adatok/jó.txt", .data = test::Bytes("rendben"), .method = 8}}),
          true));
  const std::string target = machine.dir() / "out";
  std::filesystem::create_directory(target);
  const std::string outside = machine.dir() / "outside.txt";
  const std::string secret = machine.dir() / "home/secret.txt";
  test::WriteText(secret, "titok");
  const Listener listener;

  std::vector<std::string> environment = {std::string("LD_PRELOAD=") + LORVANTE_CONFINEMENT_PROBE,
                                          "PROBE_OUTSIDE=" + outside, "PROBE_SECRET=" + secret,
                                          "PROBE_PORT=" + std::to_string(listener.port())};
  if (!GetParam().confined) environment.push_back(std::string(kConfineSetting) + "=0");
  const test::RunResult result = machine.Run({"--batch", "-o", target, archive}, "", environment);

  EXPECT_EQ(result.status, 0) << result.err;
  for (const char* attempt : {"create", "read", "connect", "run"}) {
    const std::string line = std::string("probe: ") + attempt + ": " + GetParam().verdict;
    EXPECT_NE(result.err.find(line), std::string::npos) << line << "\n" << result.err;
  }
  EXPECT_EQ(std::filesystem::exists(outside), !GetParam().confined);
  EXPECT_EQ(test::ReadText(target + "/adatok/jó.txt"), "rendben");
}

INSTANTIATE_TEST_SUITE_P(Extraction, Confinement,
                         testing::Values(ProbeCase{"confined", true, "refused"},
                                         ProbeCase{"switched_off", false, "allowed"}),
                         [](const testing::TestParamInfo<ProbeCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace lorvante
