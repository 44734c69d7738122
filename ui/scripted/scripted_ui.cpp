#include "ui/scripted/scripted_ui.h"

#include <stdexcept>

#include "ui/message_box.h"

namespace lorvante {
namespace {

class ScriptedProgress : public ProgressDisplay {
 public:
  explicit ScriptedProgress(std::vector<std::string>& log) : log_(log) {}
  ~ScriptedProgress() override { log_.push_back("free"); }
  void SetProgressMax(int value) override { log_.push_back("max " + std::to_string(value)); }
  void SetProgressPos(int value) override { log_.push_back("pos " + std::to_string(value)); }
  void SetMessage(const std::string& text) override { log_.push_back("message " + text); }
  void Show() override { log_.push_back("show"); }
  void Hide() override { log_.push_back("hide"); }

 private:
  std::vector<std::string>& log_;
};

}  // namespace

ScriptedUserInterface::FolderScript ScriptedUserInterface::ChooseFolder(const std::string& folder) {
  return [folder](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogFolderChange(folder);
    client.OkButtonRelease(client.FileNameText());
    client.DialogClose();
  };
}

ScriptedUserInterface::FolderScript ScriptedUserInterface::CancelFolder() {
  return [](FolderDialogClient& client) {
    client.DialogShow();
    client.DialogClose();
  };
}

std::vector<std::string> ScriptedUserInterface::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& item : shown) {
    if (item.kind == ShownItem::Kind::kMessageBox) texts.push_back(item.text);
  }
  return texts;
}

int ScriptedUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                      unsigned style) {
  shown.push_back(
      {.kind = ShownItem::Kind::kMessageBox, .caption = caption, .text = text, .style = style});
  if (message_answers_.empty()) {
    if ((style & MB_TYPEMASK) == MB_OK) return IDOK;
    throw std::logic_error("unanswered message box: " + text);
  }
  const int answer = message_answers_.front();
  message_answers_.pop_front();
  return answer;
}

int ScriptedUserInterface::DetailedMessageBox(const std::string& text, const std::string& details,
                                              const std::string& caption, unsigned style) {
  const int answer = MessageBox(text, caption, style);
  shown.back().details = details;
  return answer;
}

std::string ScriptedUserInterface::InputBox(const std::string& caption, const std::string& prompt,
                                            const std::string& default_text, bool masked) {
  shown.push_back(
      {.kind = ShownItem::Kind::kInputBox, .caption = caption, .text = prompt, .masked = masked});
  if (input_answers_.empty()) throw std::logic_error("unanswered input box: " + prompt);
  const auto answer = input_answers_.front();
  input_answers_.pop_front();
  return answer ? *answer : default_text;
}

std::optional<std::string> ScriptedUserInterface::SaveDialog(const SaveDialogRequest& request) {
  shown.push_back({.kind = ShownItem::Kind::kSaveDialog,
                   .caption = request.title,
                   .text = request.file_name,
                   .save = request});
  if (save_answers_.empty()) throw std::logic_error("unanswered save dialog");
  const auto answer = save_answers_.front();
  save_answers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedUserInterface::OpenDialog(const OpenDialogRequest& request) {
  shown.push_back({.kind = ShownItem::Kind::kOpenDialog,
                   .caption = request.title,
                   .text = request.initial_dir,
                   .open = request});
  if (open_answers_.empty()) throw std::logic_error("unanswered open dialog");
  const auto answer = open_answers_.front();
  open_answers_.pop_front();
  return answer;
}

void ScriptedUserInterface::RunFolderDialog(const FolderDialogRequest& request,
                                            FolderDialogClient& client) {
  shown.push_back({.kind = ShownItem::Kind::kFolderDialog,
                   .caption = request.title,
                   .text = request.initial_dir,
                   .folder = request});
  if (folder_answers_.empty()) throw std::logic_error("unanswered folder dialog");
  const FolderScript script = std::move(folder_answers_.front());
  folder_answers_.pop_front();
  script(client);
}

std::unique_ptr<ProgressDisplay> ScriptedUserInterface::CreateProgressDisplay(
    std::function<void()> cancel_click) {
  cancel_click_ = std::move(cancel_click);
  return std::make_unique<ScriptedProgress>(progress_log);
}

void ScriptedUserInterface::PressProgressCancel() {
  if (cancel_click_) cancel_click_();
}

void ScriptedUserInterface::ProcessMessages() {
  ++process_messages_calls;
  if (on_process_messages) on_process_messages();
}

}  // namespace lorvante
