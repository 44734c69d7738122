// The choice of front end: the Qt one only when its display can really be reached.
#include "ui/display_probe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <set>

#include "tests/support/test_support.h"

namespace lorvante {
namespace {

// A made-up machine: its environment, the displays that answer and the plugins installed.
struct Machine {
  using Variables = std::map<std::string, std::string>;
  using Names = std::set<std::string>;
  Machine(Variables v = {}, Names x = {}, Names w = {}, Names p = {"xcb", "wayland", "offscreen"})
      : variables(std::move(v)),
        x_displays(std::move(x)),
        wayland_sockets(std::move(w)),
        plugins(std::move(p)) {}

  std::map<std::string, std::string> variables;
  std::set<std::string> x_displays;       // display names that open
  std::set<std::string> wayland_sockets;  // socket paths that accept
  std::set<std::string> plugins;
  mutable std::vector<std::string> probed;

  DisplayEnvironment Environment() const {
    DisplayEnvironment env;
    env.variable = [this](const char* name) -> std::optional<std::string> {
      const auto it = variables.find(name);
      if (it == variables.end()) return std::nullopt;
      return it->second;
    };
    env.x_display_opens = [this](const std::string& name) {
      probed.push_back("x " + name);
      return x_displays.count(name) > 0;
    };
    env.wayland_socket_opens = [this](const std::string& path) {
      probed.push_back("wayland " + path);
      return wayland_sockets.count(path) > 0;
    };
    env.platform_plugin_installed = [this](const std::string& name) {
      return plugins.count(name) > 0;
    };
    return env;
  }
};

struct ChoiceCase {
  const char* name;
  Machine machine;
  FrontEnd front_end;
  std::string platform;
};

void PrintTo(const ChoiceCase& c, std::ostream* out) {
  *out << c.name;
}

class Choice : public testing::TestWithParam<ChoiceCase> {};

TEST_P(Choice, FrontEnd) {
  const ChoiceCase& c = GetParam();
  const FrontEndChoice choice = ChooseFrontEnd(c.machine.Environment());
  EXPECT_EQ(choice.front_end, c.front_end);
  EXPECT_EQ(choice.platform, c.platform);
}

const std::map<std::string, std::string> kWayland = {{"WAYLAND_DISPLAY", "wayland-0"},
                                                     {"XDG_RUNTIME_DIR", "/run/user/7"}};

std::map<std::string, std::string> With(std::map<std::string, std::string> base,
                                        std::map<std::string, std::string> more) {
  base.insert(more.begin(), more.end());
  return base;
}

INSTANTIATE_TEST_SUITE_P(
    DisplayProbe, Choice,
    testing::Values(
        ChoiceCase{"NothingSet", {}, FrontEnd::kTerminal, ""},
        ChoiceCase{"XAnswers", {{{"DISPLAY", ":5"}}, {":5"}}, FrontEnd::kGui, "xcb"},
        ChoiceCase{"XDoesNotAnswer", {{{"DISPLAY", ":5"}}, {":6"}}, FrontEnd::kTerminal, ""},
        ChoiceCase{"EmptyDisplay", {{{"DISPLAY", ""}}, {""}}, FrontEnd::kTerminal, ""},
        ChoiceCase{"XWithoutItsPlugin",
                   {{{"DISPLAY", ":5"}}, {":5"}, {}, {"wayland", "offscreen"}},
                   FrontEnd::kTerminal,
                   ""},
        ChoiceCase{"WaylandSocketInTheRuntimeFolder",
                   {kWayland, {}, {"/run/user/7/wayland-0"}},
                   FrontEnd::kGui,
                   "wayland"},
        ChoiceCase{"WaylandAbsoluteSocket",
                   {{{"WAYLAND_DISPLAY", "/tmp/w"}}, {}, {"/tmp/w"}},
                   FrontEnd::kGui,
                   "wayland"},
        ChoiceCase{"WaylandWithoutRuntimeFolder",
                   {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, {"/wayland-0", "wayland-0"}},
                   FrontEnd::kTerminal,
                   ""},
        ChoiceCase{"WaylandSocketGone", {kWayland, {}, {}}, FrontEnd::kTerminal, ""},
        ChoiceCase{"WaylandWithoutItsPlugin",
                   {kWayland, {}, {"/run/user/7/wayland-0"}, {"xcb"}},
                   FrontEnd::kTerminal,
                   ""},
        ChoiceCase{"WaylandWithoutPluginFallsBackToX",
                   {With(kWayland, {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}),
                    {":0"},
                    {"/run/user/7/wayland-0"},
                    {"xcb"}},
                   FrontEnd::kGui,
                   "xcb"},
        ChoiceCase{"BothInAWaylandSession",
                   {With(kWayland, {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}),
                    {":0"},
                    {"/run/user/7/wayland-0"}},
                   FrontEnd::kGui,
                   "wayland"},
        ChoiceCase{"BothInAnXSession",
                   {With(kWayland, {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}),
                    {":0"},
                    {"/run/user/7/wayland-0"}},
                   FrontEnd::kGui,
                   "xcb"},
        ChoiceCase{"ExplicitOffscreen", {{{"QT_QPA_PLATFORM", "offscreen"}}}, FrontEnd::kGui, ""},
        ChoiceCase{"ExplicitPlatformNotInstalled",
                   {{{"QT_QPA_PLATFORM", "vnc"}}},
                   FrontEnd::kTerminal,
                   ""},
        ChoiceCase{"ExplicitXWithoutX",
                   {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":5"}}},
                   FrontEnd::kTerminal,
                   ""},
        ChoiceCase{"ExplicitXWithOptions",
                   {{{"QT_QPA_PLATFORM", "xcb:nomousesync"}, {"DISPLAY", ":5"}}, {":5"}},
                   FrontEnd::kGui,
                   ""},
        ChoiceCase{"ExplicitListFallsThroughToX",
                   {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":5"}}, {":5"}},
                   FrontEnd::kGui,
                   ""},
        ChoiceCase{
            "ExplicitWaylandEgl",
            {With(kWayland, {{"QT_QPA_PLATFORM", "wayland-egl"}}), {}, {"/run/user/7/wayland-0"}},
            FrontEnd::kGui,
            ""},
        ChoiceCase{
            "ExplicitEmptyIsNoChoice", {{{"QT_QPA_PLATFORM", ""}}}, FrontEnd::kTerminal, ""}),
    [](const testing::TestParamInfo<ChoiceCase>& param) { return param.param.name; });

// A batch run never takes the windows: on a display it reports in the terminal and notifies the
// desktop; without one it is the terminal run it always was. Other runs follow the display.
TEST(RunFrontEnd, BatchReportsInTheTerminalAndNotifiesADisplay) {
  const struct {
    const char* name;
    bool batch;
    FrontEndChoice display;
    FrontEnd front_end;
    bool desktop_notification;
    std::string platform;
  } cases[] = {
      {"batch on a display", true, {FrontEnd::kGui, "xcb"}, FrontEnd::kTerminal, true, ""},
      {"batch without one", true, {FrontEnd::kTerminal, ""}, FrontEnd::kTerminal, false, ""},
      {"windows on a display", false, {FrontEnd::kGui, "xcb"}, FrontEnd::kGui, false, "xcb"},
      {"the toolkit's own platform", false, {FrontEnd::kGui, ""}, FrontEnd::kGui, false, ""},
      {"terminal", false, {FrontEnd::kTerminal, ""}, FrontEnd::kTerminal, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RunFrontEnd run = ChooseRunFrontEnd(c.batch, c.display);
    EXPECT_EQ(run.front_end, c.front_end);
    EXPECT_EQ(run.desktop_notification, c.desktop_notification);
    EXPECT_EQ(run.platform, c.platform);
  }
}

TEST(DisplayProbe, DisplayIsTriedOnlyWhenNamed) {
  Machine machine;
  ChooseFrontEnd(machine.Environment());
  EXPECT_TRUE(machine.probed.empty());
  machine.variables = {{"DISPLAY", ":5"}};
  ChooseFrontEnd(machine.Environment());
  EXPECT_EQ(machine.probed, std::vector<std::string>{"x :5"});
}

// The real probes.

TEST(DisplayProbe, UnixSocketOpensOnlyWhileSomeoneListens) {
  test::TempDir dir;
  const std::string path = dir / "wayland-9";
  EXPECT_FALSE(UnixSocketOpens(path));
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_FALSE(UnixSocketOpens(path));  // bound but not listening
  ASSERT_EQ(listen(listener, 1), 0);
  EXPECT_TRUE(UnixSocketOpens(path));
  close(listener);
  EXPECT_FALSE(UnixSocketOpens(path));
  EXPECT_FALSE(UnixSocketOpens(dir.path() + "/" + std::string(200, 'x')));  // too long
}

TEST(DisplayProbe, XDisplayWithoutServerDoesNotOpen) {
  test::TempDir dir;
  // A display whose socket is a path where nothing listens, and a malformed name.
  EXPECT_FALSE(XDisplayOpens(dir / "no-server:0"));
  EXPECT_FALSE(XDisplayOpens("not a display"));
}

TEST(DisplayProbe, SystemPluginsAreFound) {
  const DisplayEnvironment env = SystemDisplayEnvironment();
  EXPECT_TRUE(env.platform_plugin_installed("offscreen"));
  EXPECT_FALSE(env.platform_plugin_installed("no-such-platform"));
  EXPECT_FALSE(env.platform_plugin_installed("offscree"));  // a prefix is no name
}

}  // namespace
}  // namespace lorvante
