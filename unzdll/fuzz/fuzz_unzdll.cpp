// libFuzzer target: the library on mutated archives, extracted into a scratch folder with a host
// that answers every question (passwords, existing files, CRC errors). Nothing may appear beside
// the target folder. The lowest bit of the last byte chooses whether folders are kept, so that
// each input costs one run of the library.
//
// The scratch folder lies below $TMPDIR (else /tmp) and is removed when the fuzzer ends. Seeds:
// fuzz/seeds/fuzz_unzdll/ (scripts/fuzz-seeds); scripts/test and docs/fuzzing.md give the commands.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "unzdll/batch.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPassword[] = "password";

int Answer(TUnzipCallbackInfo* info) {
  switch (info->ActionCode) {
    case UNZ_ACTION_PASSWORD:
      std::strcpy(info->NameOrMessage, kPassword);
      info->Status = 1;
      if (info->Value > 0) --info->Value;
      break;
    case UNZ_ACTION_TARGET_EXISTS:
      info->Value = 1;
      break;
    case UNZ_ACTION_CRC_ERROR:
      info->Status = 1;
      break;
    default:
      break;
  }
  return 0;
}

struct Scratch {
  Scratch() {
    const char* dir = getenv("TMPDIR");
    root = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/unzfuzz-XXXXXX";
    if (mkdtemp(root.data()) == nullptr) abort();
    archive = root + "/a.zip";
    target = root + "/out/";
    fs::create_directory(target);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  std::string root, archive, target;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  std::FILE* file = std::fopen(scratch.archive.c_str(), "wb");
  if (file == nullptr) abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) abort();
  std::fclose(file);
  TUnzipParams params{};
  params.Callback = &Answer;
  params.ArchivePath = scratch.archive.c_str();
  params.TargetFolder = scratch.target.c_str();
  params.KeepFolders = size != 0 && (data[size - 1] & 1) != 0 ? -1 : 0;
  params.Plain = -1;
  unzdll::RunBatch(params);
  // Nothing may appear next to the target folder.
  for (const auto& entry : fs::directory_iterator(scratch.root)) {
    const std::string name = entry.path().filename();
    if (name != "a.zip" && name != "out") abort();
  }
  // What was extracted goes, the folder stays (most inputs extract nothing).
  if (!fs::is_empty(scratch.target)) {
    for (const auto& entry : fs::directory_iterator(scratch.target)) fs::remove_all(entry.path());
  }
  return 0;
}
