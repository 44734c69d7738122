#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace lorvante {
namespace {

std::size_t ExtensionStart(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return path.size();
  if (path.find('/', dot) != std::string_view::npos) return path.size();
  return dot;
}

}  // namespace

std::string ExtractFileExt(std::string_view path) {
  return std::string(path.substr(ExtensionStart(path)));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  std::string out(path.substr(0, ExtensionStart(path)));
  out += ext;
  return out;
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFilePath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string GetCurrentDir() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string GetProgramPath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string AppendSlash(std::string_view Dir) {
  std::string result(Dir);
  if (!result.empty() && result.back() != '/') result += '/';
  return result;
}

std::string ExpandFileName(std::string_view path) {
  if (path.empty()) return {};
  std::string full;
  if (path.front() != '/') {
    full = GetCurrentDir();
    full += '/';
  }
  full += path;

  std::vector<std::string_view> parts;
  std::string_view rest(full);
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (const auto part : parts) {
    out += '/';
    out += part;
  }
  if (out.empty() || (full.size() > 1 && full.back() == '/')) out += '/';
  return out;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ResolvedFileName(const std::string& path) {
  const std::string expanded = ExpandFileName(path);
  char* resolved = realpath(expanded.c_str(), nullptr);
  if (resolved == nullptr) return expanded;
  std::string result = resolved;
  std::free(resolved);
  return result;
}

}  // namespace lorvante
