// Qt's own file dialog, reading its file-name box as one name. Qt reads a box holding double
// quotes as a list of names ("a" "b"), so that `report "final".txt` would name final.txt, and
// greys its accept button while a quote stands alone (`ab"`); the program's dialogs take one
// name, quotes and all.
#pragma once

#include <QFileDialog>
#include <QString>

namespace lorvante {

class LiteralFileDialog : public QFileDialog {
 public:
  LiteralFileDialog();

  // The file chosen by the last accept: the name typed, read literally, or what Qt selected.
  QString ChosenFile() const;

 protected:
  void accept() override;
  void showEvent(QShowEvent* event) override;

 private:
  // Accepts `path`, the one name the box holds: opens it when it is a folder, asks before
  // replacing a file when the dialog saves, refuses a missing file when it opens one.
  void AcceptTyped(const QString& path);

  // With a quote in the box, the accept button follows only whether the box holds a name.
  void EnableAcceptForQuotes();

  QString typed_;          // the name accepted from a box holding quotes; empty otherwise
  bool watching_ = false;  // the box's changes reach EnableAcceptForQuotes
};

// The path a name typed into the box of a dialog showing `folder` stands for, as Qt reads a name
// without quotes: a name found in the folder, else "~" for the home folder, relative names in the
// folder; `default_suffix` is added to a name without one that is no folder.
QString TypedPath(const QString& typed, const QString& folder, const QString& default_suffix);

}  // namespace lorvante
