// Every compression method the library reads, plain and encrypted (ZipCrypto, WinZip AES AE-1
// and AE-2): the output byte for byte, and corrupt entries caught rather than written: a CRC
// that differs, data cut short, and data longer than the declared size (a crafted entry that
// would fill the disk). Payloads come from the real encoders (zlib, 7z, liblzma, libzstd,
// Python's bz2); archives that 7z writes itself are read too, and 7z reads the ones written here.
#include <zlib.h>

#include <cstdio>
#include <map>
#include <ostream>

#include "tests/codecs/legacy_encoders.h"
#include "tests/codecs/zip_codec_support.h"
#include "tests/unzdll/entry_ciphers.h"
#include "tests/unzdll/unzdll_fixture.h"

namespace unzdll::test {
namespace {

using lorvante::test::ReadBytes;
using lorvante::test::TextLike;
using Bytes = std::vector<std::uint8_t>;

constexpr char kAccentedPassword[] = "jelszó";
// 7z takes its password from the command line, where the locale decides on its bytes.
constexpr char kAsciiPassword[] = "secret-7";

using lorvante::test::Which;

bool Have7z() {
  return !Which("7z").empty();
}

Bytes Bzip2(const Bytes& data) {
  const auto run = lorvante::test::Run(
      {Which("python3"), "-c",
       "import bz2,sys; sys.stdout.buffer.write(bz2.compress(sys.stdin.buffer.read()))"},
      std::string(data.begin(), data.end()));
  if (run.status != 0) throw std::runtime_error("python3 bz2: " + run.err);
  return Bytes(run.out.begin(), run.out.end());
}

struct MethodCase {
  const char* label;
  std::uint16_t method;
  std::uint16_t flags;
  Bytes (*compress)(const Bytes&);
  bool needs_7z = false;
  // No end code: the entry's size ends the data, so a smaller declared size may end them at a
  // code's boundary, cleanly; the CRC then refuses the entry.
  bool ends_by_size = false;
  // The data mark their own end (a final block, an end marker, the end of a stream or frame):
  // bytes after it inside the compressed size are unused, not a longer entry.
  bool marks_its_end = true;
};

const MethodCase kMethods[] = {
    {"Stored", 0, 0, [](const Bytes& d) { return d; }, false, false, false},
    {"Deflate", 8, 0, [](const Bytes& d) { return lorvante::test::RawDeflate(d); }},
    {"Deflate64", 9, 0, [](const Bytes& d) { return lorvante::test::SevenZipDeflate64(d); }, true},
    {"Bzip2", 12, 0, Bzip2},
    {"LzmaEndMarker", 14, 2, [](const Bytes& d) { return lorvante::test::ZipLzma(d, true); }},
    {"LzmaNoEndMarker", 14, 0, [](const Bytes& d) { return lorvante::test::ZipLzma(d, false); },
     false, false, false},
    {"Xz", 95, 0, [](const Bytes& d) { return lorvante::test::Xz(d); }},
    {"Zstandard", 93, 0, [](const Bytes& d) { return lorvante::test::Zstd(d); }},
    {"ZstandardOldId", 20, 0, [](const Bytes& d) { return lorvante::test::Zstd(d); }},
    {"Ppmd", 98, 0, [](const Bytes& d) { return lorvante::test::SevenZipPpmd(d); }, true, false,
     false},
    // The methods of PKZIP 1.x, from the tests' own encoders.
    {"Shrink", 1, 0, [](const Bytes& d) { return lorvante::test::Shrink(d); }, false, true, false},
    {"Reduce1", 2, 0, [](const Bytes& d) { return lorvante::test::Reduce(d, 1); }, false, true,
     false},
    {"Reduce4", 5, 0, [](const Bytes& d) { return lorvante::test::Reduce(d, 4); }, false, true,
     false},
    {"Implode4KTwoTrees", 6, 0, [](const Bytes& d) { return lorvante::test::Implode(d, 0); }, false,
     true, false},
    {"Implode8KThreeTrees", 6, 6, [](const Bytes& d) { return lorvante::test::Implode(d, 6); },
     false, true, false},
};

struct CipherCase {
  const char* label;
  Encryption encryption;
};
const CipherCase kCiphers[] = {{"Plain", Encryption::kNone},
                               {"ZipCrypto", Encryption::kZipCrypto},
                               {"Ae1", Encryption::kAe1},
                               {"Ae2", Encryption::kAe2}};

using Param = std::tuple<MethodCase, CipherCase>;

// Cases print as their labels: test names stay the same from run to run.
void PrintTo(const MethodCase& c, std::ostream* out) {
  *out << c.label;
}
void PrintTo(const CipherCase& c, std::ostream* out) {
  *out << c.label;
}

class MethodTest : public UnzTest, public ::testing::WithParamInterface<Param> {
 protected:
  void SetUp() override {
    const MethodCase& method = std::get<0>(GetParam());
    if (method.needs_7z && !Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
    // Over one output buffer, with a tail.
    data_ = TextLike(1024 * 1024 + 12345, 5);
  }

  // The method's payload of the data, made once for all the tests of the method.
  Bytes Compressed() const {
    static std::map<std::string, Bytes> made;
    const MethodCase& method = std::get<0>(GetParam());
    auto it = made.find(method.label);
    if (it == made.end()) it = made.emplace(method.label, method.compress(data_)).first;
    return it->second;
  }

  // The entry as the test bends it: `bend` changes the item before it is encrypted.
  lorvante::test::ZipItem Item(const std::function<void(lorvante::test::ZipItem&)>& bend = {}) {
    const auto& [method, cipher] = GetParam();
    lorvante::test::ZipItem item{.name = "entry.txt", .data = data_, .method = method.method};
    item.flags = method.flags;
    item.stored = Compressed();
    if (bend) bend(item);
    Encrypt(item, cipher.encryption, kAccentedPassword);
    return item;
  }
  bool Encrypted() const { return std::get<1>(GetParam()).encryption != Encryption::kNone; }

  // Runs with the password in the call record; the host, asked, gives the same one again.
  HostRun RunWithPassword() {
    Script script;
    script.password = kAccentedPassword;
    script.passwords = {kAccentedPassword, kAccentedPassword, kAccentedPassword};
    return Run(script);
  }

  // A corrupt entry: skipped with `reason` after at most one question for its password (the
  // same password failing twice is damage, not a wrong password), nothing left in the target.
  void ExpectRefused(const HostRun& run, std::vector<int> reasons) {
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.Skips().size(), 1u) << run.Messages();
    EXPECT_NE(std::find(reasons.begin(), reasons.end(), run.Skips()[0]), reasons.end())
        << "reason " << run.Skips()[0] << ": " << run.Messages();
    EXPECT_EQ(run.Of(UNZ_ACTION_PASSWORD).size(), Encrypted() ? 1u : 0u);
    EXPECT_TRUE(Tree(target()).empty());
  }

  Bytes data_;
};

TEST_P(MethodTest, ExtractsByteForByte) {
  WriteZip({Item()});
  const HostRun run = RunWithPassword();
  EXPECT_EQ(run.result, 1) << run.Messages();
  EXPECT_TRUE(run.Skips().empty());
  EXPECT_TRUE(run.Of(UNZ_ACTION_PASSWORD).empty());
  EXPECT_EQ(ReadBytes(In("entry.txt")), data_);
}

TEST_P(MethodTest, CrcMismatchIsCaught) {
  const bool ae2 = std::get<1>(GetParam()).encryption == Encryption::kAe2;
  WriteZip({Item([&](lorvante::test::ZipItem& item) {
    // The low byte only: ZipCrypto's check byte is the high one. AE-2 keeps no CRC; there the
    // authentication code must catch a changed byte of the data instead.
    item.crc = crc32(0, data_.data(), static_cast<uInt>(data_.size())) ^ 0x5A;
  })});
  if (ae2) {
    auto bytes = ReadBytes(archive());
    bytes[200] ^= 0x01;  // inside the encrypted data of the only entry
    lorvante::test::WriteBytes(archive(), bytes);
  }
  const HostRun run = RunWithPassword();
  if (ae2) {
    ExpectRefused(run, {UNZ_SKIP_DAMAGED});
    return;
  }
  ExpectRefused(run, {UNZ_SKIP_CRC_ERROR});
  // The damaged-file question was asked (and declined by the host).
  EXPECT_EQ(run.Of(UNZ_ACTION_CRC_ERROR).size(), 1u);
}

TEST_P(MethodTest, TruncatedDataAreCaught) {
  WriteZip(
      {Item([](lorvante::test::ZipItem& item) { item.stored->resize(item.stored->size() / 2); })});
  const HostRun run = RunWithPassword();
  ExpectRefused(run, {UNZ_SKIP_DAMAGED});
}

TEST_P(MethodTest, DataLongerThanDeclaredAreCaught) {
  lorvante::test::ZipItem item = Item();
  item.declared_size = static_cast<std::uint32_t>(data_.size() - 1000);
  WriteZip({item});
  if (std::get<0>(GetParam()).ends_by_size) {
    ExpectRefused(RunWithPassword(), {UNZ_SKIP_DAMAGED, UNZ_SKIP_CRC_ERROR});
    return;
  }
  ExpectRefused(RunWithPassword(), {UNZ_SKIP_DAMAGED});
}

// Fault: an entry whose stream ended before its compressed size (a writer's empty final block
// "03 00" left behind, XZ stream padding, a skippable Zstandard frame) was refused as damaged,
// though its size and CRC (or its authentication code) vouch for it. Where the data mark their
// own end, the bytes after it are unused; where the entry's size ends them, bytes after it still
// make a longer entry than declared.
TEST_P(MethodTest, UnusedBytesAfterTheStreamsEnd) {
  const MethodCase& method = std::get<0>(GetParam());
  WriteZip({Item([](lorvante::test::ZipItem& item) {
    const Bytes unused = {0x03, 0x00, 0x00, 0x00};
    item.stored->insert(item.stored->end(), unused.begin(), unused.end());
  })});
  const HostRun run = RunWithPassword();
  if (!method.marks_its_end) {
    ExpectRefused(run, {UNZ_SKIP_DAMAGED, UNZ_SKIP_CRC_ERROR});
    return;
  }
  EXPECT_EQ(run.result, 1) << run.Messages();
  EXPECT_TRUE(run.Skips().empty()) << run.Messages();
  EXPECT_EQ(ReadBytes(In("entry.txt")), data_);
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodTest,
                         ::testing::Combine(::testing::ValuesIn(kMethods),
                                            ::testing::ValuesIn(kCiphers)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).label) +
                                  std::get<1>(param_info.param).label;
                         });

// An entry written with a data descriptor (flag bit 3) may have no CRC when its header is
// encrypted: ZipCrypto's check byte is then the high byte of its MS-DOS time.
TEST_F(UnzTest, ZipCryptoWithDataDescriptorChecksTheTime) {
  const auto data = TextLike(5000, 8);
  lorvante::test::ZipItem item{.name = "d.txt", .data = data, .method = 8, .flags = 0x0008};
  const auto time_check = static_cast<std::uint8_t>(item.dos_time >> 8);
  const auto crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
  ASSERT_NE(time_check, static_cast<std::uint8_t>(crc >> 24));
  item.stored = ZipCryptoEncrypt(lorvante::test::RawDeflate(data), "pw", time_check);
  item.flags |= 1;
  WriteZip({item});
  Script script;
  script.password = "pw";
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 1) << run.Messages();
  EXPECT_EQ(ReadBytes(In("d.txt")), data);
}

// An entry whose writer asked for a larger history than a decoder takes is left out as beyond
// what is read, not as damaged; the entries beside it are extracted.
TEST_F(UnzTest, EntryOverTheMemoryBoundIsNamedAsSuch) {
  const auto data = TextLike(5000, 9);
  Bytes stream = lorvante::test::ZipLzma(data, true);
  stream[5] = stream[6] = stream[7] = stream[8] = 0xFF;  // a dictionary of 4 GiB - 1
  lorvante::test::ZipItem huge{.name = "huge.txt", .data = data, .method = 14, .flags = 2};
  huge.stored = stream;
  huge.declared_size = 0xF0000000u;  // so large that the dictionary cannot shrink to it
  WriteZip({huge, {.name = "beside.txt", .data = data, .method = 8}});
  const HostRun run = Run();
  EXPECT_EQ(run.Skips(), std::vector<int>{UNZ_SKIP_UNSUPPORTED});
  EXPECT_NE(run.Messages().find("needs more memory than the 256 MiB"), std::string::npos)
      << run.Messages();
  EXPECT_EQ(ReadBytes(In("beside.txt")), data);
  EXPECT_FALSE(std::filesystem::exists(In("huge.txt")));
}

// Some writers store an empty file as a compressed entry with no compressed bytes at all.
TEST_F(UnzTest, EmptyEntryWithoutCompressedBytesIsAnEmptyFile) {
  std::vector<lorvante::test::ZipItem> items;
  for (const std::uint16_t method : {8, 9, 14, 93, 95, 98}) {
    items.push_back({.name = "empty" + std::to_string(method), .data = {}, .method = method});
    items.back().stored = Bytes{};
  }
  WriteZip(items);
  const HostRun run = Run();
  EXPECT_EQ(run.result, static_cast<int>(items.size())) << run.Messages();
  for (const auto& item : items) EXPECT_TRUE(ReadBytes(In(item.name)).empty()) << item.name;
}

// Archives that 7z writes: its AES entries are AE-2 (CRC 0), its LZMA entries carry the end
// marker, its Deflate64 and PPMd are the real thing.
struct SevenZipCase {
  const char* method;
  const char* encryption;  // nullptr: none
};
void PrintTo(const SevenZipCase& c, std::ostream* out) {
  *out << c.method << (c.encryption != nullptr ? c.encryption : "");
}

class SevenZipTest : public UnzTest, public ::testing::WithParamInterface<SevenZipCase> {};

TEST_P(SevenZipTest, ItsArchivesExtractByteForByte) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  const SevenZipCase& c = GetParam();
  const auto small = Data(10, 3);  // AE-2 entries under 20 bytes as well
  const auto text = TextLike(700 * 1024, 9);
  lorvante::test::WriteBytes(dir_ / "small.bin", small);
  lorvante::test::WriteBytes(dir_ / "text.txt", text);
  std::vector<std::string> argv = {Which("7z"), "a", "-tzip", std::string("-mm=") + c.method};
  if (c.encryption != nullptr) {
    argv.push_back(std::string("-mem=") + c.encryption);
    argv.push_back(std::string("-p") + kAsciiPassword);
  }
  argv.insert(argv.end(), {archive(), dir_ / "small.bin", dir_ / "text.txt"});
  const auto made = lorvante::test::Run(argv);
  ASSERT_EQ(made.status, 0) << made.err;
  Script script;
  script.password = kAsciiPassword;
  const HostRun run = Run(script);
  EXPECT_EQ(run.result, 2) << run.Messages();
  EXPECT_EQ(ReadBytes(In("small.bin")), small);
  EXPECT_EQ(ReadBytes(In("text.txt")), text);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, SevenZipTest,
    ::testing::Values(SevenZipCase{"Copy", nullptr}, SevenZipCase{"Deflate", nullptr},
                      SevenZipCase{"Deflate64", nullptr}, SevenZipCase{"LZMA", nullptr},
                      SevenZipCase{"BZip2", nullptr}, SevenZipCase{"Copy", "AES256"},
                      SevenZipCase{"Deflate", "AES256"}, SevenZipCase{"Deflate64", "AES256"},
                      SevenZipCase{"LZMA", "AES256"}, SevenZipCase{"BZip2", "AES256"},
                      SevenZipCase{"Deflate", "ZipCrypto"}, SevenZipCase{"LZMA", "ZipCrypto"},
                      SevenZipCase{"BZip2", "ZipCrypto"}, SevenZipCase{"PPMd", nullptr},
                      SevenZipCase{"PPMd", "AES256"}, SevenZipCase{"PPMd", "ZipCrypto"}),
    [](const auto& param_info) {
      return std::string(param_info.param.method) +
             (param_info.param.encryption != nullptr ? param_info.param.encryption : "Plain");
    });

// The test's own encryptors against 7z: what they write, 7z reads and checks.
TEST_F(UnzTest, SevenZipReadsTheEntriesEncryptedHere) {
  if (!Have7z()) GTEST_SKIP() << "7z is missing (scripts/setup installs it)";
  const auto data = TextLike(100000, 4);
  std::vector<lorvante::test::ZipItem> items;
  for (const Encryption how : {Encryption::kZipCrypto, Encryption::kAe1, Encryption::kAe2}) {
    lorvante::test::ZipItem item{
        .name = "e" + std::to_string(items.size()), .data = data, .method = 8};
    item.stored = lorvante::test::RawDeflate(data);
    Encrypt(item, how, "pw");
    items.push_back(item);
  }
  WriteZip(items);
  const auto checked = lorvante::test::Run({Which("7z"), "t", "-ppw", archive()});
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
  EXPECT_NE(checked.out.find("Everything is Ok"), std::string::npos) << checked.out;
}

}  // namespace
}  // namespace unzdll::test
