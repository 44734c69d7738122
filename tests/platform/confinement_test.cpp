// A confined process: each attempt is made in a child that confined itself to one writable
// folder, and the kernel's answer is compared with what the rules say; the child unconfined
// shows that each attempt can succeed at all.
#include "platform/confinement.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "tests/support/test_support.h"

namespace lorvante {
namespace {

using test::TempDir;

struct Attempt {
  const char* name;
  // The attempt in the child: 0 when it worked, else the error number.
  std::function<int(const TempDir& dir)> run;
  int refused_with;  // the error number of a confined child
};

int Errno(bool worked) {
  return worked ? 0 : errno;
}

int Create(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

// The attempt's result in a child, confined first when `confined`; -1 when the child could not
// confine itself.
int InChild(const TempDir& dir, const Attempt& attempt, bool confined) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (confined) {
      LandlockRules rules;
      rules.writable.push_back(dir / "inside");
      if (!ConfineProcess(rules)) _exit(255);
    }
    _exit(attempt.run(dir));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

TEST(Confinement, TheKernelHoldsAConfinedProcessToItsRules) {
  if (!ConfinementInForce()) GTEST_SKIP() << ConfinementSummary();
  const Attempt attempts[] = {
      {"create inside", [](const TempDir& dir) { return Create(dir / "inside/new.txt"); }, 0},
      {"create outside", [](const TempDir& dir) { return Create(dir / "outside.txt"); }, EACCES},
      {"read outside",
       [](const TempDir& dir) {
         return Errno(open((dir / "secret.txt").c_str(), O_RDONLY | O_CLOEXEC) >= 0);
       },
       EACCES},
      {"read the system's files",
       [](const TempDir&) { return Errno(open("/etc/passwd", O_RDONLY | O_CLOEXEC) >= 0); }, 0},
      {"rename into a folder below",
       [](const TempDir& dir) {
         const std::string from = dir / "inside/move.txt";
         if (const int error = Create(from); error != 0) return error;
         mkdir((dir / "inside/sub").c_str(), 0700);
         return Errno(rename(from.c_str(), (dir / "inside/sub/move.txt").c_str()) == 0);
       },
       0},
      {"make a socket", [](const TempDir&) { return Errno(socket(AF_INET, SOCK_STREAM, 0) >= 0); },
       EPERM},
      {"run a program",
       [](const TempDir&) {
         char* argv[] = {const_cast<char*>("true"), nullptr};
         execv("/bin/true", argv);
         return errno;
       },
       EPERM},
  };
  for (const Attempt& attempt : attempts) {
    SCOPED_TRACE(attempt.name);
    const TempDir dir;
    mkdir((dir / "inside").c_str(), 0700);
    test::WriteText(dir / "secret.txt", "titok");
    EXPECT_EQ(InChild(dir, attempt, true), attempt.refused_with);
    const TempDir free_dir;
    mkdir((free_dir / "inside").c_str(), 0700);
    test::WriteText(free_dir / "secret.txt", "titok");
    EXPECT_EQ(InChild(free_dir, attempt, false), 0) << "the attempt cannot succeed at all";
  }
}

TEST(Confinement, TheSettingSwitchesItOff) {
  const test::ScopedEnv off(kConfineSetting, "0");
  EXPECT_FALSE(ConfinementInForce());
  EXPECT_EQ(ConfinementSummary().find('\n'), std::string::npos);
}

}  // namespace
}  // namespace lorvante
