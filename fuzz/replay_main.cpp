// The main of a fuzz target outside the fuzzing build: runs the target's fuzz function once on
// each file named on the command line, so that kept findings are replayed by the normal tests
// (and by the sanitizer build). A failing check of the target aborts, as under the fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
      return 2;
    }
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(file),
                                         std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(data.data(), data.size());
    std::printf("%s: ran %s (%zu bytes)\n", argv[0], argv[i], data.size());
  }
  return 0;
}
