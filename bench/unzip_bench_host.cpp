// Drives the unzip library once, as the zip component would: unzip_bench_host ARCHIVE FOLDER.
// Prints the number of files written; exits 1 when any entry was skipped.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "platform/paths.h"
#include "unzdll/unzdll_api.h"

namespace {

int skipped = 0;

int32_t Answer(TUnzipCallbackInfo* info) {
  if (info->ActionCode == UNZ_ACTION_TARGET_EXISTS) info->Value = 1;
  if (info->ActionCode == UNZ_ACTION_SKIPPED) ++skipped;
  if (info->ActionCode == UNZ_ACTION_MESSAGE) std::fprintf(stderr, "%s\n", info->NameOrMessage);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE FOLDER\n", argv[0]);
    return 2;
  }
  void* library = dlopen(UNZDLL_LIBRARY_PATH, RTLD_NOW);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  auto exec = reinterpret_cast<TUnzDllExec>(dlsym(library, UNZDLL_EXEC_NAME));
  const std::string folder = lorvante::AppendSlash(argv[2]);
  TUnzipParams params{};
  params.Version = 160;
  params.Callback = &Answer;
  params.Plain = -1;
  params.KeepFolders = -1;
  params.ArchivePath = argv[1];
  params.TargetFolder = folder.c_str();
  const int32_t written = exec(&params);
  std::printf("%d\n", written);
  dlclose(library);
  return skipped == 0 ? 0 : 1;
}
