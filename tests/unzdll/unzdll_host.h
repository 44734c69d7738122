// A test host for the unzip library: loads the built libunzdll.so with dlopen, runs it with a
// scripted callback and records every callback it gets.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "unzdll/unzdll_api.h"

namespace unzdll::test {

struct Callback {
  int code = 0;
  int status = 0;
  int value = 0;
  std::string text;
};

struct Script {
  int keep_folders = -1;  // flag at 56
  enum class Mode { kPlain, kUpdate, kFreshen, kTest } mode = Mode::kPlain;
  const char* password = nullptr;
  std::vector<std::string> specs;
  // Code 10: Value = 1 to replace; default: replace exactly when older (Status bit 0).
  std::optional<int> replace;
  // Code 8: one answer per request; an empty text declines. The host counts Value down.
  std::deque<std::string> passwords;
  int crc_answer = 0;  // Status for code 9
  // Stops the run (returns -1) on the first callback for which this is true.
  std::function<bool(const Callback&)> stop_when;
  // The library's workers (LORVANTE_UNZIP_WORKERS for this run); unset: as the environment says.
  std::optional<int> workers;
  // Files are written under hidden names (LORVANTE_UNZIP_HIDDEN_FILES=1), as on a file system
  // that cannot write them without a name.
  bool hidden_files = false;
};

struct HostRun {
  std::int32_t result = 0;
  std::vector<Callback> calls;

  std::vector<int> Codes() const;
  std::vector<Callback> Of(int code) const;
  // Reasons of the code-11 callbacks, in order.
  std::vector<int> Skips() const;
  // Texts of the code-4 messages joined by newlines.
  std::string Messages() const;
};

class UnzLibrary {
 public:
  UnzLibrary();
  ~UnzLibrary();
  UnzLibrary(const UnzLibrary&) = delete;
  UnzLibrary& operator=(const UnzLibrary&) = delete;

  HostRun Run(const std::string& archive, const std::string& folder, const Script& script = {});
  std::uint32_t Version() const { return version_(); }
  void* Symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
  TUnzDllExec exec_ = nullptr;
  TGetUnzDllVersion version_ = nullptr;
};

}  // namespace unzdll::test
