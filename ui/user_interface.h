// The one seam through which the program talks to the user.
//
// The conversion code and the components never show a window themselves: message boxes, the input
// box, the save dialog, the folder dialog, the progress window and the processing of pending
// events all go through a UserInterface. The program uses the Qt front end; tests use the
// scripted one, which records what was shown and answers from a script; a terminal front end
// serves machines without a display.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lorvante {

// What the save dialog is asked to show.
struct SaveDialogRequest {
  std::string title;           // empty: the platform's default title
  std::string initial_dir;     // folder the dialog opens in
  std::string file_name;       // file name offered (may be a full path)
  std::string default_suffix;  // appended to a name typed without extension ("txt")
  // Filter entries as (display text, pattern), e.g. ("Egyszerű szöveg (*.txt)", "*.txt").
  std::vector<std::pair<std::string, std::string>> filters;
  int filter_index = 1;           // 1-based entry selected at first
  bool overwrite_prompt = false;  // ask before an existing file is chosen
  bool resizable = false;
};

// What the open dialog is asked to show: the program started without a file asks for one.
struct OpenDialogRequest {
  std::string title;        // empty: the platform's default title
  std::string initial_dir;  // folder the dialog opens in
  // Filter entries as (display text, pattern), the first selected at first.
  std::vector<std::pair<std::string, std::string>> filters;
  // File types (MIME names) whose files the first entry shows too, whatever their names: a type
  // known by its content has files without the pattern's ending.
  std::vector<std::string> first_filter_types;
};

// The word to the user at the end of a conversion that worked. It is no question: the front end
// shows it without waiting for the user (a desktop notification, a line in the terminal).
struct Notification {
  std::string summary;  // the application title
  std::string body;     // what was made and where
  std::string folder;   // the folder that holds the result, offered to be opened
};

// An entry of an archive that was not extracted, and why, in plain words. It is no question:
// the terminal names it on a line of its own, a window front end keeps its flow and shows nothing.
struct SkippedEntryNotice {
  std::string caption;  // the application title
  std::string entry;    // the entry as the unzip library names it
  std::string reason;   // "not extracted: wrong password"
};

// What the folder dialog is asked to show.
struct FolderDialogRequest {
  std::string title;        // empty: the dialog's standard caption
  std::string initial_dir;  // folder the dialog opens in
  bool enable_sizing = true;
  // Filter entries as (display text, pattern); a pattern that no file name matches leaves only
  // folders in the list.
  std::vector<std::pair<std::string, std::string>> filters;
};

// The component's side of one run of the folder dialog: the front end reports what happens in
// the dialog, and the component decides what it means. Within a run the front end calls
// DialogShow once, DialogFolderChange for the initial folder and every folder opened later, any
// number of FolderListClick and OkButtonRelease, and DialogClose once when the dialog has gone.
class FolderDialogClient {
 public:
  virtual ~FolderDialogClient() = default;
  // The dialog has finished initialising: the file-type row is hidden and OK is watched. The
  // front end places the dialog after this call.
  virtual void DialogShow() = 0;
  // The dialog now shows `folder` (empty when it has no file-system path). The front end then
  // posts FileNameText() into the file-name box.
  virtual void DialogFolderChange(const std::string& folder) = 0;
  // The left button went down in the list and the list has updated its selection; `name` is the
  // first selected item in index order, empty when nothing is selected. True: the front end
  // posts FileNameText() into the file-name box; false: nothing changed.
  virtual bool FolderListClick(const std::string& name) = 0;
  // True while a folder is known, so that OK can choose: the front end shows OK enabled exactly
  // then.
  virtual bool CanChoose() const = 0;
  // OK was pressed, by any way the dialog offers (a click, Enter in the file-name box, Space on
  // the button, its mnemonic); `name_box` is the text the file-name box holds. True: the folder
  // is chosen and the dialog closes; false: the dialog stays open.
  virtual bool OkButtonRelease(const std::string& name_box) = 0;
  // The text the file-name box is to show, read when the posted text is applied.
  virtual std::string FileNameText() const = 0;
  // The dialog window has gone (by any means).
  virtual void DialogClose() = 0;
};

// A rectangle on the screen, in pixels.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The progress window of an extraction.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void SetProgressMax(int value) = 0;
  virtual void SetProgressPos(int value) = 0;
  virtual void SetMessage(const std::string& text) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message box; `style` is a MessageBoxStyle combination. Returns a MessageBoxResult.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;

  // The same box with `details`, lines that say more about it (the file it is about, what was
  // not done and why) behind the text: a details section in a window, the following lines in
  // the terminal. A front end without such a place shows the text alone.
  virtual int DetailedMessageBox(const std::string& text, const std::string& details,
                                 const std::string& caption, unsigned style) {
    static_cast<void>(details);
    return MessageBox(text, caption, style);
  }

  // A modal input box. Returns the answer, or `default_text` when cancelled. `masked` hides
  // what is typed (passwords).
  virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                               const std::string& default_text, bool masked) = 0;

  // The modal save dialog. Returns the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> SaveDialog(const SaveDialogRequest& request) = 0;

  // Runs the modal folder dialog, reporting what happens to `client`; returns when it closed.
  virtual void RunFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client) = 0;

  // A progress window, hidden until shown; `cancel_click` runs when its Cancel button is pressed.
  virtual std::unique_ptr<ProgressDisplay> CreateProgressDisplay(
      std::function<void()> cancel_click) = 0;

  // Lets the front end handle what is pending (repaints, a click on Cancel).
  virtual void ProcessMessages() = 0;

  // The modal open dialog for an existing file. Returns the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> OpenDialog(const OpenDialogRequest& request) = 0;

  // Tells the user that a conversion worked. Never waits for the user, never more than a moment
  // for anything else; a front end that cannot show it drops it silently.
  virtual void Notify(const Notification& notification) = 0;

  // Tells the user that an entry was not extracted. Never waits for the user.
  virtual void ReportSkippedEntry(const SkippedEntryNotice& notice) = 0;

  // Tells the user that Ctrl+C cancelled the work at hand (an extraction, a text export). Never
  // waits for the user; a front end that Ctrl+C does not reach shows nothing.
  virtual void ReportInterrupted() {}

  // The part of the primary screen that windows may use (without panels and docks); an empty
  // rectangle from a front end without screens.
  virtual ScreenRect AvailableGeometry() { return {}; }
};

}  // namespace lorvante
