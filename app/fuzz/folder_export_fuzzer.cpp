// Feeds arbitrary bytes as the zip payload of a tagged file through the whole conversion as the
// program runs it: the file is encrypted, decrypted again, the folder dialog is answered with a
// scratch folder, and the archive goes through the zip component and the unzip library. Every
// question is answered yes, a password with "password", except that a question asked again
// and again is ended the second time round (a user does so when asked for a disk of a spanned
// archive that will never be in the drive). After each run nothing may exist
// beside the chosen folder, no link and no hidden partial file inside it, and nothing in the
// temporary folder; sanitizers abort on the rest.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>

#include "app/conversion_form.h"
#include "app/messages.h"
#include "format/encrypt.h"
#include "platform/confinement.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/user_interface.h"
#include "zip/unzip_library.h"

namespace {

using namespace lorvante;
namespace fs = std::filesystem;

constexpr char kPassword[] = "password";
// The same question is answered yes this many times in one run; after that it is ended.
constexpr int kSameQuestionAnswered = 2;

class QuietProgress : public ProgressDisplay {
 public:
  void SetProgressMax(int) override {}
  void SetProgressPos(int) override {}
  void SetMessage(const std::string&) override {}
  void Show() override {}
  void Hide() override {}
};

// Chooses the output folder and says yes to everything.
class AnsweringUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string& text, const std::string&, unsigned style) override {
    const bool end = ++asked[text] > kSameQuestionAnswered;
    switch (style & MB_TYPEMASK) {
      case MB_YESNO:
        return end ? IDNO : IDYES;
      case MB_YESNOCANCEL:
        return end ? IDCANCEL : IDYES;
      case MB_OKCANCEL:
        return end ? IDCANCEL : IDOK;
      default:
        return IDOK;
    }
  }
  std::string InputBox(const std::string&, const std::string&, const std::string& default_text,
                       bool masked) override {
    return masked ? kPassword : default_text;
  }
  std::optional<std::string> SaveDialog(const SaveDialogRequest&) override { return {}; }
  void RunFolderDialog(const FolderDialogRequest&, FolderDialogClient& client) override {
    client.DialogShow();
    client.DialogFolderChange(output);
    client.OkButtonRelease(client.FileNameText());
    client.DialogClose();
  }
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(std::function<void()>) override {
    return std::make_unique<QuietProgress>();
  }
  void ProcessMessages() override {}
  std::optional<std::string> OpenDialog(const OpenDialogRequest&) override { return {}; }
  void Notify(const Notification&) override {}
  void ReportSkippedEntry(const SkippedEntryNotice&) override {}

  std::string output;
  std::map<std::string, int> asked;  // how often each question came in this run
};

struct Setup {
  Setup() {
    const char* dir = getenv("TMPDIR");
    root = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/folder-fuzz-XXXXXX";
    if (mkdtemp(root.data()) == nullptr) abort();
    for (const char* folder : {"/in", "/out", "/tmp"}) fs::create_directory(root + folder);
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    // The payload is parsed in this process, where the fuzzer sees the coverage of the parsing
    // code and the sanitizers watch it, not in a confined process of its own.
    setenv(kConfineSetting, "0", 1);
    input = root + "/in/data.zip.des";
    ui.output = root + "/out";
    Application.SetUI(&ui);
    Application.Title = messages::kApplicationTitle;
    Application.SetArguments({"lorvante", input});
    if (chdir(root.c_str()) != 0) abort();
    // The program unloads the unzip library after each run; the fuzzer keeps reading the
    // coverage counters of its code, so the library must stay mapped.
    if (dlopen(unzip_library::PathIn("").c_str(), RTLD_NOW | RTLD_NODELETE) == nullptr) abort();
  }
  ~Setup() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  std::string root;
  std::string input;
  AnsweringUserInterface ui;
};

std::size_t CountEntries(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(folder)) ++count;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  const std::vector<std::uint8_t> file = EncryptPayload(std::span(data, size), true);
  {
    FILE* out = fopen(setup.input.c_str(), "wb");
    if (out == nullptr) abort();
    if (!file.empty() && fwrite(file.data(), 1, file.size(), out) != file.size()) abort();
    fclose(out);
  }
  fs::remove_all(setup.ui.output);
  fs::create_directory(setup.ui.output);
  Application.ResetTerminate();
  setup.ui.asked.clear();
  {
    TForm1 form(nullptr);
    form.Button1->Click();
  }
  if (Application.TerminateRequests() != 1) abort();
  // Beside the chosen folder only the input and the private temporary folder, which is empty.
  if (CountEntries(setup.root) - CountEntries(setup.ui.output) != 5) abort();
  // Inside it only regular files and folders, none of them a hidden partial file.
  for (const auto& entry : fs::recursive_directory_iterator(setup.ui.output)) {
    if (entry.is_symlink() || !(entry.is_regular_file() || entry.is_directory())) abort();
    if (entry.path().filename().string().rfind(".lorvante-", 0) == 0) abort();
  }
  return 0;
}
