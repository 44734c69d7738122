// The progress window of an extraction: the name of the file being extracted, one bar for the
// whole batch and a Cancel button. It is modeless and stays on top; its controls are laid out in
// code. Enter and Escape press Cancel; closing it with the title bar's close box only hides it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <functional>

#include "ui/user_interface.h"

class QKeyEvent;
class QPaintEvent;
class QProgressBar;
class QPushButton;

namespace lorvante {

// A one-line label that shows a text too wide for it with its middle left out, so that both ends
// of a long path (the file name above all) stay visible. Its text stays the whole text.
class TElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  // What the label shows of its text.
  QString DisplayedText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TProgressForm : public QDialog, public ProgressDisplay {
 public:
  // `cancel_click` is told when Cancel is pressed. The program has no window of its own to centre
  // on, so the window is centred on the work area of the primary screen.
  explicit TProgressForm(std::function<void()> cancel_click);

  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 100;

  void SetProgressMax(int value) override;
  void SetProgressPos(int value) override;
  void SetMessage(const std::string& text) override;
  void Show() override { show(); }
  void Hide() override { hide(); }

  // Sets the owner's Cancel flag, then hides the window.
  void CancelClick();

  TElidedLabel* FMsgLabel;
  QProgressBar* FProgressBar;
  QPushButton* FCancelButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::function<void()> cancel_click_;
};

}  // namespace lorvante
