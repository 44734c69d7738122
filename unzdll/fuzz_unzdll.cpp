// libFuzzer target: the library on mutated archives, extracted into a scratch folder with a host
// that answers every question (passwords, existing files, CRC errors).
//
// Build and run (clang only):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DLORVANTE_FUZZ=ON -DLORVANTE_TESTS=OFF
//   ninja -C build-fuzz fuzz_unzdll
//   mkdir -p /tmp/unz-corpus && build-fuzz/bin/fuzz_unzdll /tmp/unz-corpus -max_total_time=300
// Seed the corpus with a few small archives (zip -r seed.zip some-folder) for deeper coverage.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "unzdll/batch.h"

namespace {

int Answer(TUnzipCallbackInfo* info) {
  switch (info->ActionCode) {
    case UNZ_ACTION_PASSWORD:
      std::strcpy(info->NameOrMessage, "password");
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
    char pattern[] = "/tmp/unzfuzz-XXXXXX";
    root = mkdtemp(pattern);
    archive = root + "/a.zip";
    target = root + "/out/";
    escape = root + "/escape";
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::string root, archive, target, escape;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  std::FILE* file = std::fopen(scratch.archive.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  std::filesystem::remove_all(scratch.target);
  std::filesystem::create_directory(scratch.target);
  for (const int keep_folders : {-1, 0}) {
    TUnzipParams params{};
    params.Callback = &Answer;
    params.ArchivePath = scratch.archive.c_str();
    params.TargetFolder = scratch.target.c_str();
    params.KeepFolders = keep_folders;
    params.Plain = -1;
    unzdll::RunBatch(params);
  }
  // Nothing may appear next to the target folder.
  for (const auto& entry : std::filesystem::directory_iterator(scratch.root)) {
    const std::string name = entry.path().filename();
    if (name != "a.zip" && name != "out") abort();
  }
  return 0;
}
