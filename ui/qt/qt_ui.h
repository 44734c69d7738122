// The Qt front end: real message boxes and dialogs of Qt Widgets.
#pragma once

#include <QStringList>

#include "ui/user_interface.h"

class QFileDialog;
class QMessageBox;
class QRect;
class QWidget;

namespace lorvante {

class LiteralFileDialog;

class QtUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  // The details in Qt's details section, shown by its button.
  int DetailedMessageBox(const std::string& text, const std::string& details,
                         const std::string& caption, unsigned style) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& default_text, bool masked) override;
  std::optional<std::string> SaveDialog(const SaveDialogRequest& request) override;
  void RunFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client) override;
  std::unique_ptr<ProgressDisplay> CreateProgressDisplay(
      std::function<void()> cancel_click) override;
  std::optional<std::string> OpenDialog(const OpenDialogRequest& request) override;
  // A desktop notification through the session bus; nothing when no service answers at once.
  void Notify(const Notification& notification) override;
  // Nothing per entry: the window keeps its flow; the end of the run tells what failed.
  void ReportSkippedEntry(const SkippedEntryNotice&) override {}
  void ProcessMessages() override;
  ScreenRect AvailableGeometry() override;
};

// The desktop notification of `notification` through the session bus; nothing when no service
// answers at once. Needs a Qt application object, not a display.
void SendDesktopNotification(const Notification& notification);

// A window's title: `title`, followed by the file at hand when several are converted.
QString WindowTitle(const std::string& title);

// Makes `box` wide enough for its whole caption in the title bar.
void FitCaption(QMessageBox& box);

// Places a file dialog as the program's dialogs are placed: centred horizontally on the monitor
// of the active window (of `main_window` when none is active; the primary monitor when there is
// neither), its top edge a third of (monitor height - window height) below the monitor's top.
// A file dialog is first made wide enough for its detail view's date column, and any dialog is
// fitted to the monitor (FitAndPlace).
void PlaceFileDialog(QWidget& dialog, const QWidget* main_window);

// Places `dialog` as above on `monitor`, first shrinking it, and its minimum size, to the part
// `available` that windows may use when it is larger (a small screen, a large scale factor); a
// dialog that would then reach outside that part is moved inside it.
void FitAndPlace(QWidget& dialog, const QRect& monitor, const QRect& available);

// Widens a file dialog so that its detail view shows a date in the user's short format whole,
// beside the other columns at the widths the dialog gives them.
void WidenForTheDetails(QFileDialog& dialog);

// The name filters of a file dialog: "text (patterns)" for each (text, patterns) pair.
QStringList NameFilters(const std::vector<std::pair<std::string, std::string>>& filters);

// Runs a file dialog, placed as above when it appears. The file chosen, or nothing on Cancel.
std::optional<std::string> RunFileDialog(LiteralFileDialog& dialog);

}  // namespace lorvante
