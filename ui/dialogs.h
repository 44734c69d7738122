// The save-file dialog component: its settings, shown through the front end.
#pragma once

#include <string>

#include "ui/component.h"
#include "ui/user_interface.h"

namespace lorvante {

class TSaveDialog : public TComponent {
 public:
  using TComponent::TComponent;

  // Shows the dialog modally. True when the user chose a file, which is then in FileName.
  bool Execute();

  std::string DefaultExt;   // without the dot
  std::string Filter;       // "text|pattern|text|pattern..."
  int FilterIndex = 1;
  bool OverwritePrompt = false;
  bool EnableSizing = false;
  std::string Title;
  std::string InitialDir;
  std::string FileName;
};

}  // namespace lorvante
