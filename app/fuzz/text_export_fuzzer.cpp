// Feeds arbitrary bytes through the decryption and the text export, the whole conversion as the
// program runs it, with the save dialog answered by a fixed name. The first byte chooses what
// the rest is: the encrypted file itself (the container and the decryption), a payload that is
// encrypted first, or deflate data that get a gzip header and are encrypted (so that they reach
// the export). Every run must leave either the complete output or nothing under the chosen name,
// no scratch file beside it and nothing in the temporary folder; sanitizers abort on the rest. A
// tagged file reaches the folder dialog instead, which is cancelled: silently, by design (the
// folder export has a fuzzer of its own).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "format/encrypt.h"
#include "platform/confinement.h"
#include "ui/application.h"
#include "ui/user_interface.h"

namespace {

using namespace lorvante;

// Answers the save dialog with the output name and counts the message boxes.
class AnsweringUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string&, const std::string&, unsigned) override {
    ++messages;
    return 1;  // OK
  }
  std::string InputBox(const std::string&, const std::string&, const std::string& default_text,
                       bool) override {
    return default_text;
  }
  std::optional<std::string> SaveDialog(const SaveDialogRequest&) override { return output; }
  void RunFolderDialog(const FolderDialogRequest&, FolderDialogClient& client) override {
    ++folder_dialogs;
    client.DialogShow();
    client.DialogClose();  // cancelled: the zip path is not this target's
  }
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(std::function<void()>) override {
    return nullptr;
  }
  void ProcessMessages() override {}
  std::optional<std::string> OpenDialog(const OpenDialogRequest&) override { return {}; }
  void Notify(const Notification&) override {}
  void ReportSkippedEntry(const SkippedEntryNotice&) override {}

  std::string output;
  int messages = 0;
  int folder_dialogs = 0;
};

struct Setup {
  Setup() {
    const char* dir = getenv("TMPDIR");
    root = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/text-fuzz-XXXXXX";
    if (mkdtemp(root.data()) == nullptr) abort();
    for (const char* folder : {"/in", "/out", "/tmp"})
      std::filesystem::create_directory(root + folder);
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    // The payload is parsed in this process, where the fuzzer sees the coverage of the parsing
    // code and the sanitizers watch it, not in a confined process of its own.
    setenv(kConfineSetting, "0", 1);
    input = root + "/in/report.txt.des";
    ui.output = root + "/out/report.txt";
    Application.SetUI(&ui);
    Application.Title = messages::kApplicationTitle;
    Application.SetArguments({"lorvante", input});
  }
  ~Setup() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  std::string root;
  std::string input;
  AnsweringUserInterface ui;
};

std::size_t CountEntries(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  if (size == 0) return 0;
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  std::vector<std::uint8_t> file;
  switch (data[0] % 3) {
    case 0:  // the encrypted file as it stands
      file.assign(rest.begin(), rest.end());
      break;
    case 1:  // a payload, encrypted
      file = EncryptPayload(rest, false);
      break;
    default: {  // deflate data behind a header that passes the payload check, encrypted
      std::vector<std::uint8_t> payload = {0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0x00, 0x03};
      payload.insert(payload.end(), rest.begin(), rest.end());
      file = EncryptPayload(payload, false);
      break;
    }
  }
  {
    FILE* out = fopen(setup.input.c_str(), "wb");
    if (out == nullptr) abort();
    if (!file.empty() && fwrite(file.data(), 1, file.size(), out) != file.size()) abort();
    fclose(out);
  }
  std::filesystem::remove(setup.ui.output);
  setup.ui.messages = 0;
  setup.ui.folder_dialogs = 0;
  Application.ResetTerminate();
  {
    TForm1 form(nullptr);
    form.Button1->Click();
  }
  if (Application.TerminateRequests() != 1) abort();
  // Success leaves the output and says nothing; a failure says so and leaves nothing; a
  // cancelled folder dialog leaves nothing and says nothing.
  const bool written = std::filesystem::exists(setup.ui.output);
  if (setup.ui.folder_dialogs != 0) {
    if (written || setup.ui.messages != 0 || setup.ui.folder_dialogs != 1) abort();
  } else if (written == (setup.ui.messages != 0)) {
    abort();
  }
  if (CountEntries(setup.root + "/out") != (written ? 1u : 0u)) abort();
  // Only the private temporary folder, empty: no payload and no run folder remain.
  if (CountEntries(setup.root + "/tmp") != 1) abort();
  return 0;
}
