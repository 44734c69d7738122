// Feeds arbitrary bytes as an archive to the directory reader. Every outcome but a
// ZipException or an error of the file layer is a finding (sanitizers abort on the rest).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/drives.h"
#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/message_box.h"
#include "zip/Zip.h"

namespace {

using namespace lorvante;

// Answers every question with Cancel, as a user who gives up on a spanned archive would.
class CancellingUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string&, const std::string&, unsigned) override { return IDCANCEL; }
  std::string InputBox(const std::string&, const std::string&, const std::string& default_text,
                       bool) override {
    return default_text;
  }
  std::optional<std::string> SaveDialog(const SaveDialogRequest&) override { return {}; }
  void RunFolderDialog(const FolderDialogRequest&, FolderDialogClient&) override {}
  std::optional<std::string> OpenDialog(const OpenDialogRequest&) override { return {}; }
  void Notify(const Notification&) override {}
  void ReportSkippedEntry(const SkippedEntryNotice&) override {}
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(std::function<void()>) override {
    return nullptr;
  }
  void ProcessMessages() override {}
};

struct Setup {
  Setup() {
    Application.SetUI(&ui);
    const char* dir = getenv("TMPDIR");
    path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/zip-fuzz-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) abort();
    close(fd);
  }
  ~Setup() { unlink(path.c_str()); }

  CancellingUserInterface ui;
  // The mount table is read once; the queries still go through the real drive code.
  SystemDriveInfo drives{MountTable::Current(), "/sys", "/dev/disk/by-label"};
  ScopedDrives scoped{drives};
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  {
    FILE* out = fopen(setup.path.c_str(), "wb");
    if (out == nullptr) abort();
    if (size != 0 && fwrite(data, 1, size, out) != size) abort();
    fclose(out);
  }
  TZip zip(nullptr);
  try {
    zip.SetZipFileName(setup.path);
  } catch (const Exception&) {
    if (!zip.FileList.empty()) {
      // Only an open error on a reopen may leave entries behind; a plain file never needs one.
      abort();
    }
  }
  // What was listed must be consistent with the end record.
  if (!zip.FileList.empty() && zip.FileList.size() != zip.EOCH.TotalEntries64) abort();
  for (const auto& entry : zip.FileList) {
    if (entry->ExtraField.size() != entry->ExtraLength) abort();
  }
  return 0;
}
