// lorvante-pack: the encrypting side, for those who produce encrypted files and for the samples
// and tests. "--text IN OUT" writes a bare file (the gzip stream of IN); "--zip ARCHIVE OUT"
// writes a tagged file (the zip archive as it stands). The last block is filled with zero bytes.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "format/encrypt.h"
#include "format/payload_check.h"
#include "platform/file_stream.h"
#include "ui/exceptions.h"

namespace lorvante {
namespace {

constexpr char kUsage[] =
    "usage: lorvante-pack --text IN OUT   encrypt IN as a gzip text payload\n"
    "       lorvante-pack --zip ARCHIVE.zip OUT   encrypt a zip archive as a tagged file\n";

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
  FileStream in = OrRaise<EFOpenError>(FileStream::OpenRead(path), path);
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t n = OrRaise<EReadError>(in.Read(chunk, sizeof chunk));
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  return bytes;
}

void WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  FileStream out = OrRaise<EFCreateError>(FileStream::Create(path), path);
  OrRaise<EWriteError>(out.WriteBuffer(bytes.data(), bytes.size()));
  OrRaise<EWriteError>(out.Close());
}

int Pack(std::string_view kind, const std::string& in, const std::string& out) {
  const std::vector<std::uint8_t> source = ReadWhole(in);
  if (kind == "--text") {
    WriteWhole(out, EncryptPayload(GzipPayload(source), false));
    return 0;
  }
  // The reader accepts only an archive that begins with a local file header.
  if (!PayloadCheckPasses(source, true)) {
    std::fprintf(stderr, "lorvante-pack: %s does not begin with a zip local file header\n",
                 in.c_str());
    return 1;
  }
  WriteWhole(out, EncryptPayload(source, true));
  return 0;
}

}  // namespace
}  // namespace lorvante

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() != 3 || (args[0] != "--text" && args[0] != "--zip")) {
    std::fputs(lorvante::kUsage, stderr);
    return 2;
  }
  try {
    return lorvante::Pack(args[0], args[1], args[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "lorvante-pack: %s\n", error.what());
    return 1;
  }
}
