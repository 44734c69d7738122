// The built program without a display: the conversion runs in the terminal, with the same
// texts; a failure box is followed by its details, indented, and the run ends with 1.
#include <gtest/gtest.h>

#include <filesystem>

#include "format/encrypt.h"
#include "tests/codecs/legacy_encoders.h"
#include "tests/codecs/zip_codec_support.h"
#include "tests/e2e/terminal_run.h"
#include "tests/support/zip_builder.h"

namespace lorvante {
namespace {

using test::Bytes;

class Terminal : public testing::Test {
 protected:
  test::Headless machine;
};

TEST_F(Terminal, MissingFileIsReportedOnTheErrorOutput) {
  const std::string missing = machine.dir() / "missing.des";
  const auto run = machine.Run({missing});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "LORVANTE: Cannot open file \"" + missing +
                         "\". No such file or directory\n  Állomány: " + missing + "\n");
}

// Without a file the terminal has nothing to ask with: the usage line, nothing converted. An
// empty file name is still a file, which cannot be opened.
TEST_F(Terminal, NoArgument) {
  const auto run = machine.Run({});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "usage: lorvante [-h | -V] [-o PATH] [--batch] [--] [FILE.des ...]\n");
  const auto empty = machine.Run({""});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err,
            "LORVANTE: Cannot open file \"\". No such file or directory\n  Állomány: \n");
}

TEST_F(Terminal, WrongKeyIsReported) {
  const std::string input = machine.dir() / "noise.txt.des";
  test::WriteBytes(input, test::RandomBytes(4096, 9));
  const auto run = machine.Run({input}, "\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "LORVANTE: Az állomány visszafejtése sikertelen.\n  Állomány: " + input + "\n");
}

// A bare file converted from the terminal: the save prompt is answered with a path, the text
// lands there byte for byte, and nothing is shown but the summary at the end.
TEST_F(Terminal, BareFileIsConvertedToTheAnsweredPath) {
  const std::string text = "első sor\r\nmásodik sor\n";
  const std::string input = machine.dir() / "jelentes.txt.des";
  test::WriteBytes(input, EncryptPayload(GzipPayload(Bytes(text)), false));
  const std::string output = machine.Documents() + "/out.txt";
  const auto run = machine.Run({input}, output + "\n");
  EXPECT_EQ(run.status, 0);
  const std::size_t shown = run.err.find("LORVANTE: ");
  EXPECT_EQ(run.err.substr(shown), "LORVANTE: A szöveg mentve: " + output + "\n") << run.err;
  EXPECT_EQ(test::ReadText(output), text);
}

// Several files: the questions of each come after a line naming its file, so that the answers
// go where they are meant.
TEST_F(Terminal, EachFilesPromptFollowsALineNamingIt) {
  std::vector<std::string> inputs, outputs;
  for (const std::string name : {"elso", "masodik"}) {
    inputs.push_back(machine.dir() / (name + ".txt.des"));
    test::WriteBytes(inputs.back(), EncryptPayload(GzipPayload(Bytes(name + "\n")), false));
    outputs.push_back(machine.Documents() + "/" + name + "-ki.txt");
  }
  const auto run = machine.Run(inputs, outputs[0] + "\n" + outputs[1] + "\n");
  EXPECT_EQ(run.status, 0) << run.err;
  std::size_t at = 0;
  for (const std::string& step :
       {std::string("LORVANTE — elso.txt.des\n"), machine.dir() / "elso.txt]: ",
        std::string("LORVANTE — masodik.txt.des\n"), machine.dir() / "masodik.txt]: "}) {
    const std::size_t found = run.err.find(step, at);
    ASSERT_NE(found, std::string::npos) << step << " after " << at << " in\n" << run.err;
    at = found + step.size();
  }
  EXPECT_EQ(test::ReadText(outputs[0]), "elso\n");
  EXPECT_EQ(test::ReadText(outputs[1]), "masodik\n");
}

// End of input at the save prompt is Cancel: nothing is written and the driver says so.
TEST_F(Terminal, EndOfInputCancelsTheSavePrompt) {
  const std::string input = machine.dir() / "jelentes.txt.des";
  test::WriteBytes(input, EncryptPayload(GzipPayload(Bytes("x")), false));
  const auto run = machine.Run({input}, "");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("LORVANTE: Az állomány kitömörítése sikertelen.\n"), std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(machine.dir() / "jelentes.txt"));
}

// An existing output is replaced only after the overwrite question is answered yes.
TEST_F(Terminal, OverwriteQuestionIsAnswered) {
  const std::string input = machine.dir() / "a.des";
  test::WriteBytes(input, EncryptPayload(GzipPayload(Bytes("new")), false));
  const std::string output = machine.Documents() + "/out.txt";
  test::WriteText(output, "old");
  auto run = machine.Run({input}, output + "\nn\n");
  EXPECT_EQ(test::ReadText(output), "old");
  run = machine.Run({input}, output + "\ny\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(test::ReadText(output), "new");
}

// A tagged file extracted into a folder given at the prompt; a damaged entry's question is
// answered on the terminal, and the export then ends with the driver's message.
TEST_F(Terminal, TaggedFileIsExtractedWithAQuestionAnswered) {
  auto archive = test::MakeStoredArchive(
      {{"adatok/jó.txt", "rendben", 1700000000}, {"adatok/rossz.txt", "SERULT ADAT", 1700000000}});
  test::DamageAt(archive, "SERULT");
  const std::string input = machine.dir() / "adatok.zip.des";
  test::WriteBytes(input, EncryptPayload(archive, true));
  const std::string target = machine.dir() / "cel";
  std::filesystem::create_directory(target);
  const auto run = machine.Run({input}, target + "\nn\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("\"adatok/rossz.txt\" may be corrupted (CRC error)."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("LORVANTE: Az állomány kitömörítése sikertelen.\n"), std::string::npos)
      << run.err;
  EXPECT_EQ(test::ReadText(target + "/adatok/jó.txt"), "rendben");
  EXPECT_FALSE(std::filesystem::exists(target + "/adatok/rossz.txt"));
}

// An entry in a method that the unzip library cannot read is named on the error output with
// its method; the other entries are extracted, and the export ends with the driver's message.
TEST_F(Terminal, EntryInAnUnsupportedMethodIsNamedWithItsMethod) {
  std::vector<test::ZipItem> items(2);
  items[0].name = "adatok/jó.txt";
  items[0].data = Bytes("rendben");
  items[0].method = 8;
  items[1].name = "adatok/régi.wv";
  items[1].data = Bytes("arbitrary bytes standing for WavPack data");
  items[1].method = 97;
  const std::string input = machine.dir() / "adatok.zip.des";
  test::WriteBytes(input, EncryptPayload(test::BuildZip(items), true));
  const std::string target = machine.dir() / "cel";
  std::filesystem::create_directory(target);
  const auto run = machine.Run({input}, target + "\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("LORVANTE: \"adatok/régi.wv\": not extracted: compression method 97 "
                         "(WavPack) is not supported\n"),
            std::string::npos)
      << run.err;
  // The box names the file and, again, the entry left out and why.
  EXPECT_NE(run.err.find("LORVANTE: Az állomány kitömörítése sikertelen.\n  Állomány: " + input +
                         "\n  \"adatok/régi.wv\": not extracted: compression method 97 "
                         "(WavPack) is not supported\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(test::ReadText(target + "/adatok/jó.txt"), "rendben");
  EXPECT_FALSE(std::filesystem::exists(target + "/adatok/régi.wv"));
}

// A tagged file whose zip holds one entry in each method the program reads: stored, deflated,
// Deflate64, bzip2, LZMA (with and without its end marker), XZ, Zstandard, PPMd, and those of
// PKZIP 1.x (Shrink, Reduce with each factor, Implode with each window and number of trees):
// every file extracted byte for byte through the whole program, and counted in the summary.
TEST_F(Terminal, TaggedFileWithEntriesOfEveryMethodIsExtracted) {
  if (test::FindProgram("7z").empty()) GTEST_SKIP() << "7z writes the Deflate64 and PPMd entries";
  struct Entry {
    std::string name;
    std::uint16_t method;
    std::uint16_t flags;
    std::vector<std::uint8_t> (*encode)(std::span<const std::uint8_t>);
  };
  const std::vector<Entry> entries = {
      {"stored.txt", 0, 0, nullptr},
      {"deflate.txt", 8, 0, nullptr},
      {"deflate64.txt", 9, 0, test::SevenZipDeflate64},
      {"bzip2.txt", 12, 0, test::Bzip2},
      {"lzma.txt", 14, 0, [](std::span<const std::uint8_t> d) { return test::ZipLzma(d, false); }},
      {"lzma-eos.txt", 14, 2,
       [](std::span<const std::uint8_t> d) { return test::ZipLzma(d, true); }},
      {"xz.txt", 95, 0, test::Xz},
      {"zstd.txt", 93, 0, test::Zstd},
      {"ppmd.txt", 98, 0, [](std::span<const std::uint8_t> d) { return test::SevenZipPpmd(d); }},
      {"shrink.txt", 1, 0, test::Shrink},
      {"reduce1.txt", 2, 0, [](std::span<const std::uint8_t> d) { return test::Reduce(d, 1); }},
      {"reduce2.txt", 3, 0, [](std::span<const std::uint8_t> d) { return test::Reduce(d, 2); }},
      {"reduce3.txt", 4, 0, [](std::span<const std::uint8_t> d) { return test::Reduce(d, 3); }},
      {"reduce4.txt", 5, 0, [](std::span<const std::uint8_t> d) { return test::Reduce(d, 4); }},
      {"implode-4k-2.txt", 6, 0,
       [](std::span<const std::uint8_t> d) { return test::Implode(d, 0); }},
      {"implode-4k-3.txt", 6, 4,
       [](std::span<const std::uint8_t> d) { return test::Implode(d, 4); }},
      {"implode-8k-2.txt", 6, 2,
       [](std::span<const std::uint8_t> d) { return test::Implode(d, 2); }},
      {"implode-8k-3.txt", 6, 6,
       [](std::span<const std::uint8_t> d) { return test::Implode(d, 6); }},
  };
  std::string text;
  for (int i = 0; text.size() < 60000; ++i) {
    text += "sor " + std::to_string(i % 977) + ": árvíztűrő tükörfúrógép, kivonat " +
            std::to_string(i * 7919 % 1000) + "\n";
  }
  const auto content = [&](std::size_t i) {
    return Bytes(text.substr(i * 97) + std::to_string(i));
  };
  std::vector<test::ZipItem> items;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    test::ZipItem item;
    item.name = "regi/" + entries[i].name;
    item.data = content(i);
    item.method = entries[i].method;
    item.flags = entries[i].flags;
    if (entries[i].encode != nullptr) item.stored = entries[i].encode(item.data);
    items.push_back(item);
  }
  const std::string input = machine.dir() / "regi.zip.des";
  test::WriteBytes(input, EncryptPayload(test::BuildZip(items), true));
  const std::string target = machine.dir() / "cel";
  std::filesystem::create_directory(target);
  const auto run = machine.Run({input}, target + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(
      run.err.find("LORVANTE: " + std::to_string(entries.size()) + " állomány kibontva ide: "),
      std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("not extracted"), std::string::npos) << run.err;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(test::ReadBytes(target + "/regi/" + entries[i].name) == content(i))
        << entries[i].name;
  }
}

// A tagged file whose zip has LZMA entries, as Python's zipfile writes them (with the end
// marker): every file extracted byte for byte through the whole program.
TEST_F(Terminal, TaggedFileWithLzmaEntriesIsExtracted) {
  const std::string zip = machine.dir() / "lzma.zip";
  const auto made =
      test::Run({"/usr/bin/env", "python3", "-c",
                 "import sys, zipfile\n"
                 "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_LZMA) as z:\n"
                 "    z.writestr('adatok/szöveg.txt', 'árvíztűrő tükörfúrógép\\n' * 40000)\n"
                 "    z.writestr('adatok/üres.txt', '')\n"
                 "    z.writestr('kicsi.bin', bytes(range(256)))\n",
                 zip});
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string input = machine.dir() / "lzma.zip.des";
  test::WriteBytes(input, EncryptPayload(test::ReadBytes(zip), true));
  const std::string target = machine.dir() / "cel";
  std::filesystem::create_directory(target);
  const auto run = machine.Run({input}, target + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err.find("sikertelen"), std::string::npos) << run.err;
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "árvíztűrő tükörfúrógép\n";
  EXPECT_EQ(test::ReadText(target + "/adatok/szöveg.txt"), text);
  EXPECT_EQ(test::ReadText(target + "/adatok/üres.txt"), "");
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(test::ReadBytes(target + "/kicsi.bin"), all);
}

// Whatever display or platform the environment names, a program that cannot reach one runs in
// the terminal instead of aborting.
TEST_F(Terminal, UnreachableDisplaysFallBackToTheTerminal) {
  const std::string missing = machine.dir() / "missing.des";
  const std::vector<std::vector<std::string>> environments = {
      {"DISPLAY=" + (machine.dir() / "no-server") + ":0"},
      {"DISPLAY=:"},
      {"QT_QPA_PLATFORM=no-such-platform"},
      {"QT_QPA_PLATFORM=xcb"},
      {"WAYLAND_DISPLAY=wayland-7", "XDG_SESSION_TYPE=wayland"},
  };
  for (const auto& environment : environments) {
    const auto run = machine.Run({missing}, "", environment);
    EXPECT_EQ(run.status, 1) << environment.front();
    EXPECT_EQ(run.err, "LORVANTE: Cannot open file \"" + missing +
                           "\". No such file or directory\n  Állomány: " + missing + "\n")
        << environment.front();
  }
}

}  // namespace
}  // namespace lorvante
