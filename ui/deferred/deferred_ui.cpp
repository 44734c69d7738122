#include "ui/deferred/deferred_ui.h"

#include <stdexcept>
#include <utility>

#include "ui/message_box.h"

namespace lorvante {
namespace {

[[noreturn]] void Unanswerable(const char* what) {
  throw std::logic_error(std::string("a question reached a deferred front end: ") + what);
}

// The progress of a conversion whose words come later: nothing to show.
class NoProgress : public ProgressDisplay {
 public:
  void SetProgressMax(int) override {}
  void SetProgressPos(int) override {}
  void SetMessage(const std::string&) override {}
  void Show() override {}
  void Hide() override {}
};

}  // namespace

int DeferredUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                      unsigned style) {
  if ((style & MB_TYPEMASK) != MB_OK) Unanswerable("message box");
  said_.push_back([=](UserInterface& target) { target.MessageBox(text, caption, style); });
  return IDOK;
}

int DeferredUserInterface::DetailedMessageBox(const std::string& text, const std::string& details,
                                              const std::string& caption, unsigned style) {
  if ((style & MB_TYPEMASK) != MB_OK) Unanswerable("message box");
  said_.push_back(
      [=](UserInterface& target) { target.DetailedMessageBox(text, details, caption, style); });
  return IDOK;
}

std::string DeferredUserInterface::InputBox(const std::string&, const std::string&,
                                            const std::string&, bool) {
  Unanswerable("input box");
}

std::optional<std::string> DeferredUserInterface::SaveDialog(const SaveDialogRequest&) {
  Unanswerable("save dialog");
}

void DeferredUserInterface::RunFolderDialog(const FolderDialogRequest&, FolderDialogClient&) {
  Unanswerable("folder dialog");
}

std::optional<std::string> DeferredUserInterface::OpenDialog(const OpenDialogRequest&) {
  Unanswerable("open dialog");
}

std::unique_ptr<ProgressDisplay> DeferredUserInterface::CreateProgressDisplay(
    std::function<void()>) {
  return std::make_unique<NoProgress>();
}

void DeferredUserInterface::Notify(const Notification& notification) {
  said_.push_back([=](UserInterface& target) { target.Notify(notification); });
}

void DeferredUserInterface::ReportSkippedEntry(const SkippedEntryNotice& notice) {
  said_.push_back([=](UserInterface& target) { target.ReportSkippedEntry(notice); });
}

void DeferredUserInterface::Replay(UserInterface& target) {
  std::vector<std::function<void(UserInterface&)>> said = std::exchange(said_, {});
  for (const auto& say : said) say(target);
}

}  // namespace lorvante
