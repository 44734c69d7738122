#include "tests/e2e/terminal_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "platform/paths.h"

namespace lorvante::test {

BackgroundRun::~BackgroundRun() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

RunResult BackgroundRun::Wait() {
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.err = ReadText(err_file_);
  return result;
}

Headless::Headless() {
  for (const char* folder : {"home", "home/Documents", "home/.config", "tmp", "run"}) {
    mkdir((dir_ / folder).c_str(), 0700);
  }
}

std::vector<std::string> Headless::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> env = {"DISPLAY",
                                  "WAYLAND_DISPLAY",
                                  "QT_QPA_PLATFORM",
                                  "XDG_SESSION_TYPE",
                                  "HOME=" + (dir_ / "home"),
                                  "XDG_CONFIG_HOME=" + (dir_ / "home/.config"),
                                  "XDG_RUNTIME_DIR=" + (dir_ / "run"),
                                  "TMPDIR=" + Temp(),
                                  "LC_ALL=C.UTF-8"};
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

RunResult Headless::Run(const std::vector<std::string>& arguments, const std::string& answers,
                        const std::vector<std::string>& environment) const {
  std::vector<std::string> argv = {BinDir() + "/lorvante"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return test::Run(argv, answers, Environment(environment));
}

RunResult Headless::RunWrapped(const std::vector<std::string>& wrapper,
                               const std::vector<std::string>& arguments,
                               const std::string& answers,
                               const std::vector<std::string>& environment) const {
  std::vector<std::string> argv = wrapper;
  argv.push_back(BinDir() + "/lorvante");
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return test::Run(argv, answers, Environment(environment));
}

std::unique_ptr<BackgroundRun> Headless::Start(const std::vector<std::string>& arguments,
                                               const std::string& answers,
                                               unsigned long long file_size_limit) const {
  static int count = 0;
  const std::string tag = "background-" + std::to_string(++count);
  const std::string in_file = dir_ / (tag + ".in");
  const std::string err_file = dir_ / (tag + ".err");
  WriteText(in_file, answers);
  std::vector<std::string> argv = {BinDir() + "/lorvante"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const std::vector<std::string> environment = MergedEnvironment(Environment({}));
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(in_file.c_str(), O_RDONLY);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int out = open("/dev/null", O_WRONLY);
    if (in < 0 || err < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (file_size_limit != 0) {
      const rlimit limit{file_size_limit, file_size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    // A new process group, as a terminal's foreground job: Ctrl+C reaches only the program.
    setpgid(0, 0);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  if (pid < 0) throw std::runtime_error("fork failed");
  return std::make_unique<BackgroundRun>(pid, err_file);
}

std::vector<std::string> Headless::TempLeftovers() const {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Temp())) {
    paths.push_back(std::filesystem::relative(entry.path(), Temp()));
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<std::string> MessagesIn(const std::string& err) {
  std::vector<std::string> messages;
  const std::string prefix = "LORVANTE: ";
  for (std::size_t at = err.find(prefix); at != std::string::npos; at = err.find(prefix, at)) {
    at += prefix.size();
    messages.push_back(err.substr(at, err.find('\n', at) - at));
  }
  return messages;
}

}  // namespace lorvante::test
