// The progress window of an extraction: the name of the file being extracted, one bar for the
// whole batch and a Cancel button. It is modeless and stays on top; its controls are laid out in
// code. Closing it with the title bar's close box only hides it.
#pragma once

#include <QDialog>
#include <functional>

#include "ui/user_interface.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace lorvante {

class TProgressForm : public QDialog, public ProgressDisplay {
 public:
  // `cancel_click` is told when Cancel is pressed. The window is centred on `main_form` when
  // there is one (hidden or not), otherwise on the work area of the primary screen.
  TProgressForm(std::function<void()> cancel_click, const QWidget* main_form);

  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 100;

  void SetProgressMax(int value) override;
  void SetProgressPos(int value) override;
  void SetMessage(const std::string& text) override;
  void Show() override { show(); }
  void Hide() override { hide(); }

  // Sets the owner's Cancel flag, then hides the window.
  void CancelClick();

  QLabel* FMsgLabel;
  QProgressBar* FProgressBar;
  QPushButton* FCancelButton;

 private:
  std::function<void()> cancel_click_;
};

}  // namespace lorvante
