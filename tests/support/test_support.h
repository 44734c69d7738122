// Helpers shared by the tests: scratch folders, whole-file reads and writes, environment.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvante::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(std::string_view name) const;

 private:
  std::string path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, std::string_view text);
std::vector<std::uint8_t> Bytes(std::string_view text);
// Reproducible pseudo-random bytes.
std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed);

// The names in `folder`, sorted.
std::vector<std::string> SortedNames(const std::string& folder);

// The id of a process that has just ended.
int GonePid();

// Whether the file system of `folder` makes files without a name (O_TMPFILE).
bool FileSystemMakesUnnamedFiles(const std::string& folder);

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Puts back, when the object goes, the current directory that was current when it was made;
// given a folder, makes that folder current meanwhile. Every test that changes the current
// directory, itself or through the code under test, holds one.
class ScopedCurrentDir {
 public:
  ScopedCurrentDir();
  explicit ScopedCurrentDir(const std::string& enter);
  ~ScopedCurrentDir();
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

  // The directory that is put back.
  const std::string& start() const { return start_; }

 private:
  std::string start_;
};

// The folder of the built programs: $LORVANTE_BIN_DIR, else bin/ of the build tree.
std::string BinDir();

// The environment of this process with `env` applied: "NAME=value" sets a variable, a bare
// "NAME" removes it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& env);

// Runs a program and waits for it. Returns its exit status (-signal when killed). `env` entries
// "NAME=value" set a variable, a bare "NAME" removes it.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};
RunResult Run(const std::vector<std::string>& argv, const std::string& input = {},
              const std::vector<std::string>& env = {});

// The program's path through the shell's search, or empty when it is not installed.
std::string Which(const std::string& name);

}  // namespace lorvante::test
