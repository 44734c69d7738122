// Answers given on the command line, in front of another front end.
//
// `-o PATH` answers the save dialog and the folder dialog with PATH (a folder holding the text
// when several files are converted, or when PATH is a folder); `--batch` asks nothing: the save
// and folder dialogs take the path they offer, every question takes its default button (an
// existing file is kept, an entry without a password or with damaged data is not extracted), an
// input box is cancelled. What the answers leave undone is told through the front end behind.
#pragma once

#include <optional>
#include <string>

#include "ui/user_interface.h"

namespace lorvante {

struct PresetAnswers {
  std::optional<std::string> output;  // -o PATH
  bool output_is_folder = false;      // several files: PATH is the folder of every result
  bool batch = false;                 // --batch
};

class PresetUserInterface : public UserInterface {
 public:
  PresetUserInterface(UserInterface& inner, PresetAnswers answers)
      : inner_(inner), answers_(std::move(answers)) {}

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  int DetailedMessageBox(const std::string& text, const std::string& details,
                         const std::string& caption, unsigned style) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& default_text, bool masked) override;
  std::optional<std::string> SaveDialog(const SaveDialogRequest& request) override;
  void RunFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client) override;
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(
      std::function<void()> cancel_click) override {
    return inner_.CreateProgressDisplay(std::move(cancel_click));
  }
  void ProcessMessages() override { inner_.ProcessMessages(); }
  std::optional<std::string> OpenDialog(const OpenDialogRequest& request) override {
    return inner_.OpenDialog(request);
  }
  void Notify(const Notification& notification) override { inner_.Notify(notification); }
  void ReportSkippedEntry(const SkippedEntryNotice& notice) override {
    inner_.ReportSkippedEntry(notice);
  }
  void ReportInterrupted() override { inner_.ReportInterrupted(); }
  ScreenRect AvailableGeometry() override { return inner_.AvailableGeometry(); }

  const PresetAnswers& Answers() const { return answers_; }
  // The file the answers choose when the save dialog offers the absolute path `offered`.
  std::string ChosenPath(const std::string& offered) const;

 private:
  // The path the save dialog would offer for `request`.
  static std::string OfferedFile(const SaveDialogRequest& request);
  // The file the answers choose for `request`.
  std::string ChosenFile(const SaveDialogRequest& request) const;

  // Makes `folder` with its parents when it is missing; false, and said, when that fails.
  bool MakeOutputFolder(const std::string& folder);

  UserInterface& inner_;
  PresetAnswers answers_;
};

// The texts of the answers, in the program's language.
namespace preset_texts {
// "<file>: the file already exists, it was kept."
inline constexpr char kExistingKept[] = "%s: az állomány már létezik, megtartva.";
// "<file> already exists. Replace it?"
inline constexpr char kReplaceQuestion[] = "%s már létezik. Lecseréli?";
// "<folder>: the folder cannot be made: <reason>"
inline constexpr char kFolderNotMade[] = "%s: a mappa nem hozható létre: %s";
}  // namespace preset_texts

}  // namespace lorvante
