#include "tests/e2e/terminal_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace lorvante::test {

Headless::Headless() {
  for (const char* folder : {"home", "home/Documents", "home/.config", "tmp", "run"}) {
    mkdir((dir_ / folder).c_str(), 0700);
  }
}

RunResult Headless::Run(const std::vector<std::string>& arguments, const std::string& answers,
                        const std::vector<std::string>& environment) const {
  std::vector<std::string> argv = {BinDir() + "/lorvante"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = {"DISPLAY",
                                  "WAYLAND_DISPLAY",
                                  "QT_QPA_PLATFORM",
                                  "XDG_SESSION_TYPE",
                                  "HOME=" + (dir_ / "home"),
                                  "XDG_CONFIG_HOME=" + (dir_ / "home/.config"),
                                  "XDG_RUNTIME_DIR=" + (dir_ / "run"),
                                  "TMPDIR=" + Temp(),
                                  "LC_ALL=C.UTF-8"};
  env.insert(env.end(), environment.begin(), environment.end());
  return test::Run(argv, answers, env);
}

std::string Headless::PayloadLeftFor(const std::string& input) const {
  return Temp() + "/lorvante-" + std::to_string(getuid()) + "/" +
         ExtractFileName(ChangeFileExt(input, ""));
}

}  // namespace lorvante::test
