// The folder dialog of the Qt front end: Qt's own (non-native) open dialog, reshaped into a
// folder picker while it is open.
#pragma once

#include "ui/user_interface.h"

class QWidget;

namespace lorvante {

// Runs the dialog modally to the application and reports to `client` what happens in it. The
// dialog is placed as the program's file dialogs are, relative to `main_window` when no window is
// active. An exception raised by the client ends the run and is passed on when the dialog has
// closed.
void RunQtFolderDialog(const FolderDialogRequest& request, FolderDialogClient& client,
                       const QWidget* main_window);

}  // namespace lorvante
