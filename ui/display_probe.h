// The choice of front end: the Qt one when a display can really be reached, the terminal one
// otherwise. The check runs before any GUI object exists, so a machine without a display never
// reaches the toolkit's fatal "could not connect to display".
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace lorvante {

enum class FrontEnd { kGui, kTerminal };

struct FrontEndChoice {
  FrontEnd front_end = FrontEnd::kTerminal;
  // For the GUI: the platform plugin to ask for, when the environment did not name one (empty:
  // leave the toolkit's own choice alone).
  std::string platform;
};

// What the choice looks at; every part can be replaced in tests.
struct DisplayEnvironment {
  // An environment variable, nothing when unset.
  std::function<std::optional<std::string>(const char* name)> variable;
  // True when an X server accepts a connection to the display `name` (the DISPLAY syntax).
  std::function<bool(const std::string& name)> x_display_opens;
  // True when the Wayland compositor's socket at `path` accepts a connection.
  std::function<bool(const std::string& path)> wayland_socket_opens;
  // True when the toolkit's platform plugin `name` ("xcb", "wayland", "offscreen") is installed.
  std::function<bool(const std::string& name)> platform_plugin_installed;
};

// The real environment, X server, sockets and plugin folder.
DisplayEnvironment SystemDisplayEnvironment();

// The front end to use:
// - QT_QPA_PLATFORM set: its entries (separated by ';', options after ':') are tried in order;
//   "xcb" and "wayland..." count only when their display opens, any other entry (offscreen, vnc,
//   ...) counts as the user's explicit choice; every entry needs its plugin installed;
// - otherwise an X display named by DISPLAY, or a Wayland socket named by WAYLAND_DISPLAY
//   (relative to XDG_RUNTIME_DIR unless absolute), preferring Wayland in a Wayland session
//   (XDG_SESSION_TYPE=wayland); the platform reached is then named explicitly.
// Without any, the terminal.
FrontEndChoice ChooseFrontEnd(const DisplayEnvironment& environment);

// The front end of one run, from the display's choice and the command line.
struct RunFrontEnd {
  FrontEnd front_end = FrontEnd::kTerminal;
  // The terminal front end on a display: the word at the end of each conversion also goes to the
  // desktop's notification.
  bool desktop_notification = false;
  std::string platform;  // as FrontEndChoice::platform, for the GUI
};

// A run with `batch` set (--batch) asks nothing and shows nothing that waits: on a display too it
// reports in the terminal (failures and reasons on standard error, the terminal's exit status),
// and the display only shows the notification. Any other run takes the display's choice.
RunFrontEnd ChooseRunFrontEnd(bool batch, const FrontEndChoice& display);

// The socket path WAYLAND_DISPLAY names; empty when it names none.
std::string WaylandSocketPath(const DisplayEnvironment& environment);

// The real probes, for tests of their own.
bool XDisplayOpens(const std::string& name);
bool UnixSocketOpens(const std::string& path);

}  // namespace lorvante
