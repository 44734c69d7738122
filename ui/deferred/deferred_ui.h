// A front end that asks nothing and shows nothing yet: it keeps what a conversion says (message
// boxes with the single button OK, notifications, entries not extracted) and says it later, in
// the same order, through another front end. A conversion that runs beside others on a thread of
// its own talks to one of these, so that its words reach the user after those of the files
// before it, never in between.
//
// It stands behind the answers of --batch, which answer every question and dialog: one that
// still reaches it is raised as std::logic_error, which fails that conversion.
#pragma once

#include <functional>
#include <vector>

#include "ui/user_interface.h"

namespace lorvante {

class DeferredUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  int DetailedMessageBox(const std::string& text, const std::string& details,
                         const std::string& caption, unsigned style) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& default_text, bool masked) override;
  std::optional<std::string> SaveDialog(const SaveDialogRequest& request) override;
  void RunFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client) override;
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(
      std::function<void()> cancel_click) override;
  void ProcessMessages() override {}
  std::optional<std::string> OpenDialog(const OpenDialogRequest& request) override;
  void Notify(const Notification& notification) override;
  void ReportSkippedEntry(const SkippedEntryNotice& notice) override;

  // Says what was kept through `target`, in order, and forgets it.
  void Replay(UserInterface& target);

 private:
  std::vector<std::function<void(UserInterface&)>> said_;
};

}  // namespace lorvante
