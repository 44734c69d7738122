// A front end for tests: records everything shown and answers from a script.
//
// Answers are queued per kind and used in order. A message box with the single button OK needs no
// answer; any other question without a queued answer raises std::logic_error, which fails the test.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace lorvante {

struct ShownItem {
  enum class Kind { kMessageBox, kInputBox, kSaveDialog, kFolderDialog, kOpenDialog };
  Kind kind;
  std::string caption{};
  std::string text{};  // message, prompt
  unsigned style = 0;
  bool masked = false;
  SaveDialogRequest save{};
  FolderDialogRequest folder{};
  OpenDialogRequest open{};
  std::string details{};  // of a message box with details
};

class ScriptedUserInterface : public UserInterface {
 public:
  using FolderScript = std::function<void(FolderDialogClient&)>;

  void AnswerMessageBox(int result) { message_answers_.push_back(result); }
  // Nothing: the input box is cancelled (it returns its default text).
  void AnswerInputBox(std::optional<std::string> answer) { input_answers_.push_back(answer); }
  // Nothing: the save dialog is cancelled.
  void AnswerSaveDialog(std::optional<std::string> path) { save_answers_.push_back(path); }
  void AnswerFolderDialog(FolderScript script) { folder_answers_.push_back(std::move(script)); }
  // Nothing: the open dialog is cancelled.
  void AnswerOpenDialog(std::optional<std::string> path) { open_answers_.push_back(path); }

  // A folder dialog run that shows `folder`, releases the left button over OK and closes.
  static FolderScript ChooseFolder(const std::string& folder);
  // A folder dialog run that is cancelled as soon as it is shown.
  static FolderScript CancelFolder();

  // What was shown, in order.
  std::vector<ShownItem> shown;
  // The texts of the message boxes shown, in order.
  std::vector<std::string> MessageTexts() const;

  // The notifications sent, in order (they ask nothing, so they are kept apart from `shown`).
  std::vector<Notification> notifications;

  // The entries reported as not extracted, in order (kept apart from `shown` as well).
  std::vector<SkippedEntryNotice> skipped_entries;

  // How often a cancel by Ctrl+C was reported.
  int interrupts_reported = 0;

  // What the progress displays were told, one line a call: "max 65535", "pos 12",
  // "message name", "show", "hide", "free".
  std::vector<std::string> progress_log;
  // Presses Cancel on the newest progress display (no effect when there is none).
  void PressProgressCancel();
  // Runs at every ProcessMessages, e.g. to press Cancel after some progress.
  std::function<void()> on_process_messages;
  int process_messages_calls = 0;
  // What AvailableGeometry reports.
  ScreenRect available_geometry{0, 0, 1024, 768};

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  int DetailedMessageBox(const std::string& text, const std::string& details,
                         const std::string& caption, unsigned style) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& default_text, bool masked) override;
  std::optional<std::string> SaveDialog(const SaveDialogRequest& request) override;
  void RunFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client) override;
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(
      std::function<void()> cancel_click) override;
  std::optional<std::string> OpenDialog(const OpenDialogRequest& request) override;
  void Notify(const Notification& notification) override { notifications.push_back(notification); }
  void ReportSkippedEntry(const SkippedEntryNotice& notice) override {
    skipped_entries.push_back(notice);
  }
  void ReportInterrupted() override { ++interrupts_reported; }
  void ProcessMessages() override;
  ScreenRect AvailableGeometry() override { return available_geometry; }

 private:
  std::deque<int> message_answers_;
  std::deque<std::optional<std::string>> input_answers_;
  std::deque<std::optional<std::string>> save_answers_;
  std::deque<FolderScript> folder_answers_;
  std::deque<std::optional<std::string>> open_answers_;
  std::function<void()> cancel_click_;
};

}  // namespace lorvante
