// The entry of the Qt front end, built as a module of its own in the program's private folder
// and loaded only when a display is used: a run in the terminal never loads or starts the
// toolkit. The module takes the program's objects (the application object, the platform's
// helpers) from the program that loads it.
#pragma once

#include <functional>

#include "ui/user_interface.h"

namespace lorvante {

// The module's file, found where the program's private libraries are (its RUNPATH).
inline constexpr char kQtFrontEndModule[] = "liblorvante-qt.so";
// Its one entry: int LorvanteRunQtFrontEnd(const QtFrontEndStart&).
inline constexpr char kQtFrontEndEntry[] = "LorvanteRunQtFrontEnd";

struct QtFrontEndStart {
  // For the toolkit's application object: the program's name alone, so that every argument is
  // a file, even one that looks like a toolkit option ("-style").
  int argc = 0;
  char** argv = nullptr;
  // Runs the program's work with the Qt front end `ui`; its result is the program's status.
  std::function<int(UserInterface& ui)> run;
};

using QtFrontEndEntry = int(const QtFrontEndStart& start);

// The module's second entry, for a run that reports in the terminal on a display (--batch): sends
// the word at the end of a conversion to the desktop's notification, as the Qt front end does.
// void LorvanteSendDesktopNotification(const Notification&).
inline constexpr char kDesktopNotifierEntry[] = "LorvanteSendDesktopNotification";
using DesktopNotifierEntry = void(const Notification& notification);

}  // namespace lorvante
