// A stand-in for the unzip library, loaded by the zip component exactly like the real one. It
// replays the callbacks listed in the file named by LORVANTE_FAKE_UNZDLL_SCRIPT and writes what
// it was given, and every answer of the host, to the file named by LORVANTE_FAKE_UNZDLL_RECORD.
//
// Script lines: "<code> <status> <value> <text>" (the text is the rest of the line, may be empty;
// "~<n>" repeats the letter x n times), or "return <n>" for the call's result.
// Record lines: "<field> <value>" for the call record, then "cb <result> <status> <value> <text>"
// for every callback, the fields as the host left them.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "unzdll/unzdll_api.h"

#ifndef FAKE_VERSION
#define FAKE_VERSION 160
#endif

#ifndef FAKE_NO_EXEC
namespace {

std::string Text(const char* text) {
  return text == nullptr ? "(null)" : text;
}

std::string CurrentDir() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "(unknown)";
}

}  // namespace
#endif

extern "C" {

__attribute__((visibility("default"))) uint32_t GetUnzDllVersion(void) {
  return FAKE_VERSION;
}

#ifndef FAKE_NO_EXEC
__attribute__((visibility("default"))) int32_t UnzDllExec(const TUnzipParams* p) {
  const char* record_path = std::getenv("LORVANTE_FAKE_UNZDLL_RECORD");
  const char* script_path = std::getenv("LORVANTE_FAKE_UNZDLL_SCRIPT");
  std::ofstream record(record_path != nullptr ? record_path : "/dev/null");
  record << "caller " << p->Caller << "\n"
         << "version " << p->Version << "\n"
         << "callback " << (p->Callback != nullptr ? "set" : "null") << "\n"
         << "password " << Text(p->Password) << "\n"
         << "28 " << p->TestOnly << "\n"
         << "40 " << p->Reserved40 << "\n"
         << "48 " << p->Update << "\n"
         << "52 " << p->Freshen << "\n"
         << "56 " << p->KeepFolders << "\n"
         << "60 " << p->Plain << "\n"
         << "specs " << p->SpecCount << (p->Specs != nullptr ? " array" : " none") << "\n";
  for (int32_t i = 0; i < p->SpecCount && p->Specs != nullptr; ++i) {
    bool zero = true;
    for (int32_t word : p->Specs[i].Reserved) zero = zero && word == 0;
    record << "spec " << Text(p->Specs[i].SpecText) << (zero ? "" : " (not zero-filled)") << "\n";
  }
  record << "archive " << Text(p->ArchivePath) << "\n"
         << "104 " << p->Reserved104 << "\n"
         << "folder " << Text(p->TargetFolder) << "\n"
         << "144 " << p->Reserved144 << "\n"
         << "cwd " << CurrentDir() << "\n";
  record.flush();

  int32_t result = 0;
  std::ifstream script(script_path != nullptr ? script_path : "/dev/null");
  std::string line;
  while (std::getline(script, line)) {
    if (line.rfind("return ", 0) == 0) {
      result = std::atoi(line.c_str() + 7);
      continue;
    }
    std::istringstream fields(line);
    TUnzipCallbackInfo info;
    std::memset(&info, 0, sizeof info);
    info.Caller = p->Caller;
    info.Version = FAKE_VERSION;
    fields >> info.ActionCode >> info.Status >> info.Value;
    std::string text;
    std::getline(fields >> std::ws, text);
    if (!text.empty() && text[0] == '~')
      text.assign(std::strtoul(text.c_str() + 1, nullptr, 10), 'x');
    std::strncpy(info.NameOrMessage, text.c_str(), sizeof info.NameOrMessage - 1);
    const int32_t answer = p->Callback(&info);
    record << "cb " << answer << " " << info.Status << " " << info.Value << " "
           << std::string(info.NameOrMessage,
                          strnlen(info.NameOrMessage, sizeof info.NameOrMessage))
           << "\n";
    record.flush();
  }
  return result;
}
#endif

}  // extern "C"
