// The conversion of a bare file as the program runs it (decryption into the private temporary
// folder, then the text export), with the save dialog answered by a script, for the text export
// benchmark. Also makes the benchmark's text and prints the key for the reference pipeline.
//
//   bench_text_export convert INPUT OUTPUT   exit 0 when nothing was shown (success)
//   bench_text_export text MIB FILE          MIB mebibytes of code page 1250 text
//   bench_text_export key                    the DES key in hexadecimal
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "format/key.h"
#include "platform/file_stream.h"
#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/scripted/scripted_ui.h"

namespace lorvante {
namespace {

int Convert(const std::string& input, const std::string& output) {
  ScriptedUserInterface ui;
  Application.SetUI(&ui);
  Application.Title = messages::kApplicationTitle;
  Application.SetArguments({"lorvante", input});
  ui.AnswerSaveDialog(output);
  {
    TForm1 form(nullptr);
    form.Button1->Click();
  }
  Application.SetUI(nullptr);
  for (const auto& text : ui.MessageTexts()) std::fprintf(stderr, "shown: %s\n", text.c_str());
  return ui.shown.size() == 1 ? 0 : 1;  // only the save dialog
}

// Lines of words drawn from a small Hungarian vocabulary (code page 1250), CR LF line ends: it
// compresses about as well as office text does.
int MakeText(long mebibytes, const std::string& path) {
  static const char* const kWords[] = {
      "a", "az", "\xE9s", "nem", "hogy", "jelent\xE9s", "rakt\xE1r", "k\xE9szlet", "\xF6sszesen",
      "t\xE9tel", "\xE1r", "forint", "sz\xE1ml\xE1", "hat\xE1rid\xF5", "\xFCgyint\xE9z\xF5",
      "ellen\xF5rz\xE9s",
      // One word, in two pieces: \xF6 ends before the d.
      ("m\xFBk\xF6"
       "d\xE9s"),
      "\xE1tad\xE1s", "megrendel\xE9s", "sz\xE1ll\xEDt\xF3", "besz\xE1mol\xF3", "negyed\xE9v",
      "iroda", "\xFCzem", "t\xFBr\xE9s", "sor", "oszlop", "d\xE1tum", "al\xE1\xEDr\xE1s",
      "mell\xE9klet", "1", "2", "15", "230", "4500", "2024."};
  constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
  FileStream out = OrRaise<EFCreateError>(FileStream::Create(path), path);
  std::string block;
  std::uint64_t state = 88172645463325252ull;
  const std::uint64_t total = static_cast<std::uint64_t>(mebibytes) << 20;
  std::uint64_t written = 0;
  std::size_t line = 0;
  while (written < total) {
    block.clear();
    while (block.size() < (1u << 20)) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      block += kWords[state % kWordCount];
      line += 1;
      block += (line % 12 == 0) ? "\r\n" : " ";
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), total - written));
    OrRaise<EWriteError>(out.WriteBuffer(block.data(), n));
    written += n;
  }
  OrRaise<EWriteError>(out.Close());
  return 0;
}

int PrintKey() {
  for (const unsigned char c : BuildKey()) std::printf("%02X", c);
  std::printf("\n");
  return 0;
}

}  // namespace
}  // namespace lorvante

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 3 && args[0] == "convert") return lorvante::Convert(args[1], args[2]);
    if (args.size() == 3 && args[0] == "text") {
      return lorvante::MakeText(std::strtol(args[1].c_str(), nullptr, 10), args[2]);
    }
    if (args.size() == 1 && args[0] == "key") return lorvante::PrintKey();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  std::fputs("usage: bench_text_export convert INPUT OUTPUT | text MIB FILE | key\n", stderr);
  return 2;
}
