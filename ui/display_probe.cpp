#include "ui/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/dynamic_library.h"

namespace lorvante {
namespace {

// The X client library, as the toolkit's X platform loads it.
constexpr char kXcbLibrary[] = "libxcb.so.1";

std::vector<std::string> SplitPlatforms(const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t semicolon = list.find(';', start);
    std::string entry =
        list.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
    entry = entry.substr(0, entry.find(':'));  // "name:option=value" names the plugin first
    if (!entry.empty()) names.push_back(entry);
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  return names;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool XUsable(const DisplayEnvironment& env) {
  const auto display = env.variable("DISPLAY");
  return display && !display->empty() && env.platform_plugin_installed("xcb") &&
         env.x_display_opens(*display);
}

bool WaylandUsable(const DisplayEnvironment& env) {
  const std::string path = WaylandSocketPath(env);
  return !path.empty() && env.platform_plugin_installed("wayland") &&
         env.wayland_socket_opens(path);
}

}  // namespace

std::string WaylandSocketPath(const DisplayEnvironment& env) {
  const auto name = env.variable("WAYLAND_DISPLAY");
  if (!name || name->empty()) return {};
  if ((*name)[0] == '/') return *name;
  const auto runtime = env.variable("XDG_RUNTIME_DIR");
  if (!runtime || runtime->empty()) return {};
  return *runtime + "/" + *name;
}

FrontEndChoice ChooseFrontEnd(const DisplayEnvironment& env) {
  const auto requested = env.variable("QT_QPA_PLATFORM");
  if (requested && !requested->empty()) {
    for (const std::string& name : SplitPlatforms(*requested)) {
      bool usable = false;
      if (name == "xcb")
        usable = XUsable(env);
      else if (StartsWith(name, "wayland"))
        usable = WaylandUsable(env);
      else
        usable = env.platform_plugin_installed(name);
      // The environment already names the platform: the toolkit tries the list itself.
      if (usable) return {FrontEnd::kGui, {}};
    }
    return {FrontEnd::kTerminal, {}};
  }
  const auto session = env.variable("XDG_SESSION_TYPE");
  const bool prefer_wayland = session && *session == "wayland";
  if (prefer_wayland && WaylandUsable(env)) return {FrontEnd::kGui, "wayland"};
  if (XUsable(env)) return {FrontEnd::kGui, "xcb"};
  if (!prefer_wayland && WaylandUsable(env)) return {FrontEnd::kGui, "wayland"};
  return {FrontEnd::kTerminal, {}};
}

bool XDisplayOpens(const std::string& name) {
  // The X client library is loaded only when an X display is named: a run in the terminal
  // never loads it.
  DynamicLibrary xcb;
  if (!xcb.Open(kXcbLibrary)) return false;
  const auto connect = reinterpret_cast<decltype(&xcb_connect)>(xcb.Symbol("xcb_connect"));
  const auto has_error =
      reinterpret_cast<decltype(&xcb_connection_has_error)>(xcb.Symbol("xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<decltype(&xcb_disconnect)>(xcb.Symbol("xcb_disconnect"));
  if (connect == nullptr || has_error == nullptr || disconnect == nullptr) return false;
  xcb_connection_t* connection = connect(name.c_str(), nullptr);
  const bool opened = has_error(connection) == 0;
  disconnect(connection);  // also frees the error object of a failed attempt
  return opened;
}

bool UnixSocketOpens(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool opened = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return opened;
}

DisplayEnvironment SystemDisplayEnvironment() {
  DisplayEnvironment env;
  env.variable = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
  env.x_display_opens = XDisplayOpens;
  env.wayland_socket_opens = UnixSocketOpens;
  env.platform_plugin_installed = [](const std::string& name) {
    // Plugins are found in the folder built into the toolkit and in QT_PLUGIN_PATH. The toolkit
    // is not asked: a run without a display never loads it.
    std::vector<std::string> folders;
    if (const char* extra = std::getenv("QT_PLUGIN_PATH")) {
      std::string_view list = extra;
      while (!list.empty()) {
        const std::size_t colon = list.find(':');
        folders.emplace_back(list.substr(0, colon));
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
      }
    }
    folders.emplace_back(LORVANTE_QT_PLUGIN_DIR);
    const std::string prefix = "libq" + name;
    std::error_code ignored;
    for (const auto& folder : folders) {
      if (folder.empty()) continue;
      for (const auto& entry :
           std::filesystem::directory_iterator(folder + "/platforms", ignored)) {
        const std::string file = entry.path().filename().string();
        // libqxcb.so, libqwayland-generic.so, libqoffscreen.so
        if (StartsWith(file, prefix) && file.size() >= prefix.size() + 3 &&
            (file[prefix.size()] == '.' || file[prefix.size()] == '-')) {
          return true;
        }
      }
    }
    return false;
  };
  return env;
}

RunFrontEnd ChooseRunFrontEnd(bool batch, const FrontEndChoice& display) {
  if (display.front_end == FrontEnd::kGui && batch) {
    return {FrontEnd::kTerminal, true, {}};
  }
  return {display.front_end, false, display.platform};
}

}  // namespace lorvante
