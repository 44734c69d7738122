#include "tests/unzdll/unzdll_host.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace unzdll::test {
namespace {

struct Session {
  const Script* script;
  HostRun* run;
  std::size_t next_password = 0;
  bool stopped = false;
};

std::int32_t Answer(TUnzipCallbackInfo* info) {
  auto* session = static_cast<Session*>(info->Caller);
  const Script& script = *session->script;
  Callback call{info->ActionCode, info->Status, info->Value,
                std::string(info->NameOrMessage, strnlen(info->NameOrMessage, 512))};
  session->run->calls.push_back(call);
  if (session->stopped) return -1;
  switch (info->ActionCode) {
    case UNZ_ACTION_TARGET_EXISTS:
      info->Value = script.replace ? *script.replace : (info->Status & 1);
      break;
    case UNZ_ACTION_PASSWORD: {
      const std::string answer = session->next_password < script.passwords.size()
                                     ? script.passwords[session->next_password++]
                                     : std::string();
      if (answer.empty()) {
        info->Status = 0;
        info->Value = 0;
      } else {
        std::memset(info->NameOrMessage, 0, sizeof info->NameOrMessage);
        std::memcpy(info->NameOrMessage, answer.data(), answer.size());
        info->Status = 1;
        if (info->Value > 0) --info->Value;
      }
      break;
    }
    case UNZ_ACTION_CRC_ERROR:
      info->Status = script.crc_answer;
      break;
    default:
      break;
  }
  if (script.stop_when && script.stop_when(call)) session->stopped = true;
  return session->stopped ? -1 : 0;
}

}  // namespace

std::vector<int> HostRun::Codes() const {
  std::vector<int> codes;
  for (const Callback& call : calls) codes.push_back(call.code);
  return codes;
}

std::vector<Callback> HostRun::Of(int code) const {
  std::vector<Callback> out;
  for (const Callback& call : calls) {
    if (call.code == code) out.push_back(call);
  }
  return out;
}

std::vector<int> HostRun::Skips() const {
  std::vector<int> out;
  for (const Callback& call : Of(UNZ_ACTION_SKIPPED)) out.push_back(call.value & 0xff);
  return out;
}

std::string HostRun::Messages() const {
  std::string out;
  for (const Callback& call : Of(UNZ_ACTION_MESSAGE)) out += call.text + "\n";
  return out;
}

UnzLibrary::UnzLibrary() {
  handle_ = dlopen(UNZDLL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(dlerror());
  exec_ = reinterpret_cast<TUnzDllExec>(dlsym(handle_, UNZDLL_EXEC_NAME));
  version_ = reinterpret_cast<TGetUnzDllVersion>(dlsym(handle_, UNZDLL_VERSION_NAME));
  if (exec_ == nullptr || version_ == nullptr) throw std::runtime_error("entry point missing");
}

UnzLibrary::~UnzLibrary() {
  dlclose(handle_);
}

void* UnzLibrary::Symbol(const char* name) const {
  return dlsym(handle_, name);
}

HostRun UnzLibrary::Run(const std::string& archive, const std::string& folder,
                        const Script& script) {
  HostRun run;
  Session session{&script, &run};
  std::vector<TUnzipFileSpec> specs(script.specs.size());
  for (std::size_t i = 0; i < specs.size(); ++i) specs[i].SpecText = script.specs[i].c_str();
  const std::string target = lorvante::AppendSlash(folder);

  TUnzipParams params{};
  params.Caller = &session;
  params.Version = 160;
  params.Callback = &Answer;
  params.Password = script.password;
  params.Reserved40 = -1;
  params.TestOnly = script.mode == Script::Mode::kTest ? -1 : 0;
  params.Update = script.mode == Script::Mode::kUpdate ? -1 : 0;
  params.Freshen = script.mode == Script::Mode::kFreshen ? -1 : 0;
  params.Plain = script.mode == Script::Mode::kPlain ? -1 : 0;
  params.KeepFolders = script.keep_folders;
  params.SpecCount = static_cast<std::int32_t>(specs.size());
  params.ArchivePath = archive.c_str();
  params.Specs = specs.empty() ? nullptr : specs.data();
  params.Reserved104 = 3;
  params.TargetFolder = target.c_str();
  params.Reserved144 = 7;
  std::optional<lorvante::test::ScopedEnv> workers;
  if (script.workers) workers.emplace("LORVANTE_UNZIP_WORKERS", std::to_string(*script.workers));
  std::optional<lorvante::test::ScopedEnv> hidden;
  if (script.hidden_files) hidden.emplace("LORVANTE_UNZIP_HIDDEN_FILES", "1");
  run.result = exec_(&params);
  return run;
}

}  // namespace unzdll::test
