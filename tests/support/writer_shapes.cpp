#include "tests/support/writer_shapes.h"

#include <zlib.h>

#include <stdexcept>

#include "tests/codecs/zip_codec_support.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_builder.h"
#include "zipformat/methods.h"
#include "zipformat/records.h"

namespace lorvante::test {
namespace {

using ByteVector = std::vector<std::uint8_t>;

constexpr std::uint16_t kUnix30 = 0x031e;
constexpr std::uint16_t kMsDos20 = 0x0014;
// Host 11 with format version 2.0, as a known Windows writer saves it: not OEM by the rule of
// the first header, its names in CP437 all the same.
constexpr std::uint16_t kHost11Version20 = 0x0B14;

ByteVector Data(std::uint32_t seed) {
  return TextLike(2000, seed);
}

std::uint32_t NameCrc(const std::string& name) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size())));
}

// The Unicode path extra block: version, the CRC of `stored`, then `name`.
std::string UnicodePath(std::uint32_t crc, const std::string& name) {
  ByteVector block;
  PutLE(block, zipformat::kExtraUnicodePath, 2);
  PutLE(block, static_cast<std::uint32_t>(5 + name.size()), 2);
  block.push_back(1);
  PutLE(block, crc, 4);
  block.insert(block.end(), name.begin(), name.end());
  return std::string(block.begin(), block.end());
}

ZipItem Entry(const std::string& name, std::uint32_t seed, std::uint16_t made_by = kUnix30) {
  ZipItem item{.name = name, .data = Data(seed), .method = 8, .made_by = made_by};
  if (made_by != kUnix30) item.external = 0x20;  // the MS-DOS archive attribute
  return item;
}

// An entry whose data are `stream` (of `method`) followed by `unused`.
ZipItem Trailed(const std::string& name, std::uint32_t seed, std::uint16_t method,
                const std::function<ByteVector(const ByteVector&)>& compress,
                const ByteVector& unused) {
  ZipItem item = Entry(name, seed);
  item.method = method;
  ByteVector stored = compress(item.data);
  stored.insert(stored.end(), unused.begin(), unused.end());
  item.stored = stored;
  return item;
}

// Python's zipfile writes the archive, with the field set by hand on the entry (it then stands in
// both headers).
ByteVector PythonUnicodePath() {
  const TempDir dir;
  const std::string path = dir / "python.zip";
  const auto run = Run({Which("python3"), "-c",
                        "import struct, sys, zipfile, zlib\n"
                        "raw = '%U00D6lf%U00E4sser.txt'\n"
                        "name = '\\u00d6lf\\u00e4sser.txt'.encode()\n"
                        "field = struct.pack('<BI', 1, zlib.crc32(raw.encode())) + name\n"
                        "info = zipfile.ZipInfo(raw, (2020, 1, 1, 12, 0, 0))\n"
                        "info.compress_type = zipfile.ZIP_DEFLATED\n"
                        "info.extra = struct.pack('<HH', 0x7075, len(field)) + field\n"
                        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                        "    z.writestr(info, 'Olfasser ' * 300)\n",
                        path});
  if (run.status != 0) throw std::runtime_error("python3: " + run.err);
  return ReadBytes(path);
}

// The archive with its end record's directory size 16 bytes short.
ByteVector ShortDirectorySize() {
  ByteVector bytes = BuildZip({Entry("one.txt", 1), Entry("two.txt", 2)});
  const std::size_t size_field = bytes.size() - zipformat::kEndRecordSize + 12;
  std::uint32_t size = 0;
  for (int i = 3; i >= 0; --i) size = size << 8 | bytes[size_field + static_cast<std::size_t>(i)];
  size -= 16;
  for (int i = 0; i < 4; ++i)
    bytes[size_field + static_cast<std::size_t>(i)] = (size >> (8 * i)) & 0xFF;
  return bytes;
}

}  // namespace

void PrintTo(const WriterShape& shape, std::ostream* os) {
  *os << shape.label;
}

std::vector<WriterShape> WriterShapes() {
  using zipformat::kZipDeflate;
  using zipformat::kZipXz;
  using zipformat::kZipZstandard;
  const ByteVector empty_final_block = {0x03, 0x00};
  return {
      {"UnicodePathOverAnEscapedName",
       "python3",
       PythonUnicodePath,
       {"Ölfässer.txt"},
       {"Ölfässer.txt"}},
      {"UnicodePathOverACp437Name",
       nullptr,
       [] {
         const std::string stored = "\x84/\xFCzip.zip";  // "ä/ⁿzip.zip" in CP437
         ZipItem item = Entry(stored, 3, kMsDos20);
         item.extra = UnicodePath(NameCrc(stored), "ä/³zip.zip");
         return BuildZip({item});
       },
       {"ä/³zip.zip"},
       {"ä/", "ä/³zip.zip"}},
      {"UnicodePathOfAnotherName",
       nullptr,
       [] {
         // The entry was renamed by a tool that kept the field: its CRC is another name's.
         ZipItem item = Entry("plain.txt", 4);
         item.extra = UnicodePath(NameCrc("old.txt"), "wrong.txt");
         return BuildZip({item});
       },
       {"plain.txt"},
       {"plain.txt"}},
      {"Cp437NamesUnderHost11Version20",
       nullptr,
       [] {
         return BuildZip({Entry("\x99lf\x84sser.txt", 5, kHost11Version20),
                          Entry("caf\x82/men\x81.txt", 6, kHost11Version20),
                          Entry("ascii.txt", 7, kHost11Version20)});
       },
       {"Ölfässer.txt", "café/menü.txt", "ascii.txt"},
       {"Ölfässer.txt", "café/", "café/menü.txt", "ascii.txt"},
       {{"Ölfässer.txt", "\x99lf\x84sser.txt"},
        {"café/", "caf\x82/"},
        {"café/menü.txt", "caf\x82/men\x81.txt"}}},
      {"NameNotUtf8UnderUnix",
       nullptr,
       [] {
         return BuildZip({Entry("\x8E\x84.txt", 8), Entry("UTF-8 \xC3\xA9.txt", 9)});
       },
       {"Ää.txt", "UTF-8 é.txt"},
       {"Ää.txt", "UTF-8 é.txt"},
       {{"Ää.txt", "\x8E\x84.txt"}}},
      {"FlaggedUtf8WithoutBeingSo",
       nullptr,
       [] {
         ZipItem item = Entry("\x82t\x82.txt", 10);
         item.flags = zipformat::kFlagUtf8Names;
         return BuildZip({item});
       },
       {"été.txt"},
       {"été.txt"},
       {{"été.txt", "\x82t\x82.txt"}}},
      {"DeflateEmptyFinalBlockLeftOver",
       nullptr,
       [empty_final_block] {
         return BuildZip({Trailed("a.txt", 11, kZipDeflate, RawDeflate, empty_final_block),
                          Trailed("b.txt", 12, kZipDeflate, RawDeflate, empty_final_block)});
       },
       {"a.txt", "b.txt"},
       {"a.txt", "b.txt"}},
      {"XzStreamPadding",
       nullptr,
       [] {
         return BuildZip({Trailed(
             "x.txt", 13, kZipXz, [](const ByteVector& d) { return Xz(d); }, ByteVector(4, 0))});
       },
       {"x.txt"},
       {"x.txt"}},
      {"ZstandardSkippableFrameAfter",
       nullptr,
       [] {
         const ByteVector skippable = {0x50, 0x2A, 0x4D, 0x18, 3, 0, 0, 0, 'e', 'n', 'd'};
         return BuildZip({Trailed(
             "z.txt", 14, kZipZstandard, [](const ByteVector& d) { return Zstd(d); }, skippable)});
       },
       {"z.txt"},
       {"z.txt"}},
      {"DirectorySize16BytesShort",
       nullptr,
       ShortDirectorySize,
       {"one.txt", "two.txt"},
       {"one.txt", "two.txt"}},
      {"FolderWithMode0177777",
       nullptr,
       [] {
         ZipItem folder{.name = "dir/",
                        .external = (0177777u << 16) | zipformat::kDosAttributeFolder};
         return BuildZip({folder, Entry("dir/a.txt", 15)});
       },
       {"dir/", "dir/a.txt"},
       {"dir/", "dir/a.txt"}},
  };
}

}  // namespace lorvante::test
