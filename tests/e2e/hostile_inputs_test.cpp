// Hostile and unusual inputs run through the whole program in the terminal front end, as a new
// user would run them: every one ends with exit code 0 and the expected messages, nothing is
// written outside the chosen place, a file under the chosen name is kept byte for byte when the
// conversion fails, and nothing is left in the temporary folder (no decrypted payload, no run
// folder). One table for every kind of payload: each case brings its input, the answers it
// needs and what the chosen place holds afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/encrypt.h"
#include "app/messages.h"
#include "tests/e2e/terminal_run.h"

namespace lorvante {
namespace {

using test::Bytes;
using ByteVector = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

constexpr char kOldContent[] = "what the user had under this name before";

// Every "LORVANTE: " message in the error output, without the prefix, up to its line end.
std::vector<std::string> MessagesIn(const std::string& err) {
  std::vector<std::string> messages;
  const std::string prefix = "LORVANTE: ";
  for (std::size_t at = err.find(prefix); at != std::string::npos; at = err.find(prefix, at)) {
    at += prefix.size();
    const std::size_t end = err.find('\n', at);
    messages.push_back(err.substr(at, end - at));
  }
  return messages;
}

Names Listing(const std::string& folder) {
  Names names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ByteVector Concat(ByteVector a, const ByteVector& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const ByteVector& Text() {
  static const ByteVector text = test::RandomBytes(60000, 17);
  return text;
}

ByteVector GoodGzip() {
  return GzipPayload(Text());
}

ByteVector Damaged(const std::function<void(ByteVector&)>& damage) {
  ByteVector payload = GoodGzip();
  damage(payload);
  return payload;
}

ByteVector Bare(const ByteVector& payload) {
  return EncryptPayload(payload, false);
}

// Where a conversion puts its result.
enum class Target {
  kTextFile,  // the save prompt: a file name in the chosen folder
};

struct HostileInput {
  std::string name;
  ByteVector input;  // the encrypted file as the user has it
  Target target;
  std::vector<std::string> messages;  // every message shown, in order
  // The chosen place afterwards when the conversion succeeds: the file's content. Nothing: it
  // fails, and the chosen place holds what it held before.
  std::optional<ByteVector> result;
};

void PrintTo(const HostileInput& c, std::ostream* os) {
  *os << c.name;
}

std::vector<HostileInput> Cases() {
  const std::string decrypt_failed = messages::kDecryptFailed;
  const std::string export_failed = messages::kExportFailed;
  ByteVector header_names_a_file = GoodGzip();
  header_names_a_file[3] = 0x08;
  ByteVector bare_zip = Bytes("PK\3\4 an archive, but no gzip stream");
  return {
      // The container.
      {"empty file", {}, Target::kTextFile, {"Stream read error"}, {}},
      {"shorter than the tag", Bytes("DESM4G!"), Target::kTextFile, {"Stream read error"}, {}},
      {"ciphertext not a multiple of 8",
       Concat(Bare(GoodGzip()), Bytes("abc")),
       Target::kTextFile,
       {"CryptDecrypt: ErrorCode: 0x80090005 - Bad Data.", decrypt_failed},
       {}},
      {"junk", test::RandomBytes(65536, 3), Target::kTextFile, {decrypt_failed}, {}},
      {"large junk", test::RandomBytes(2 << 20, 4), Target::kTextFile, {decrypt_failed}, {}},
      {"tag only", Bytes("DESM4G!C11"), Target::kTextFile, {decrypt_failed}, {}},
      {"tag before a gzip payload",
       EncryptPayload(GoodGzip(), true),
       Target::kTextFile,
       {decrypt_failed},
       {}},
      {"zip payload without the tag", Bare(bare_zip), Target::kTextFile, {decrypt_failed}, {}},
      {"gzip header naming a file",
       Bare(header_names_a_file),
       Target::kTextFile,
       {decrypt_failed},
       {}},
      // The gzip payload.
      {"bad CRC",
       Bare(Damaged([](ByteVector& p) { p[p.size() - 8] ^= 0x01; })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"bad length",
       Bare(Damaged([](ByteVector& p) { p[p.size() - 4] ^= 0x01; })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"truncated stream",
       Bare(Damaged([](ByteVector& p) { p.resize(p.size() / 2); })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"trailer missing",
       Bare(Damaged([](ByteVector& p) { p.resize(p.size() - 8); })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"invalid block type",
       Bare(Damaged([](ByteVector& p) { p[10] = 0x07; })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"header only",
       Bare(Damaged([](ByteVector& p) { p.resize(10); })),
       Target::kTextFile,
       {export_failed},
       {}},
      {"junk after the header",
       Bare(Damaged([](ByteVector& p) {
         const ByteVector junk = test::RandomBytes(5000, 8);
         p.resize(10);
         p.insert(p.end(), junk.begin(), junk.end());
       })),
       Target::kTextFile,
       {export_failed},
       {}},
      // Unusual but sound: an empty text is an empty file.
      {"empty text", Bare(GzipPayload({})), Target::kTextFile, {}, ByteVector{}},
  };
}

class HostileInputs : public testing::TestWithParam<HostileInput> {
 protected:
  test::Headless machine;
};

TEST_P(HostileInputs, ExpectedMessagesNothingLostNothingLeftBehind) {
  const HostileInput& c = GetParam();
  const std::string in = machine.dir() / "in";
  const std::string out = machine.dir() / "out";
  std::filesystem::create_directory(in);
  std::filesystem::create_directory(out);
  const std::string input = in + "/report.txt.des";
  test::WriteBytes(input, c.input);

  // Once to a new name, once over an existing file (the overwrite question answered yes).
  for (const bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "existing name" : "new name");
    test::WriteText(out + "/old.txt", kOldContent);
    const std::string chosen = out + (existing ? "/old.txt" : "/new.txt");
    const std::string answers = chosen + (existing ? "\ny\n" : "\n");
    const auto run = machine.Run({input}, answers);
    EXPECT_EQ(run.status, 0);
    Names messages = c.messages;
    // A conversion that worked ends with its summary line.
    if (c.result) messages.push_back("A szöveg mentve: " + chosen);
    EXPECT_EQ(MessagesIn(run.err), messages) << run.err;

    Names expected = {"old.txt"};
    if (c.result && !existing) expected.insert(expected.begin(), "new.txt");
    EXPECT_EQ(Listing(out), expected);
    if (c.result) {
      EXPECT_EQ(test::ReadBytes(chosen), *c.result);
    }
    if (!c.result || !existing) {
      EXPECT_EQ(test::ReadText(out + "/old.txt"), kOldContent);
    }
    EXPECT_EQ(Listing(in), Names{"report.txt.des"});
    EXPECT_EQ(test::ReadBytes(input), c.input);
    EXPECT_EQ(Listing(machine.Documents()), Names{});
    EXPECT_EQ(machine.TempLeftovers(), Names{"lorvante-" + std::to_string(geteuid())});
    std::filesystem::remove(chosen);
  }
}

INSTANTIATE_TEST_SUITE_P(Terminal, HostileInputs, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<HostileInput>& param) {
                           std::string name = param.param.name;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace lorvante
