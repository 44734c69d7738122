// Helpers of the tests that drive Qt's file dialog in-process on the offscreen platform.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <stdexcept>

namespace lorvante::test {

// The dialog's file-name box, holding the keyboard focus as it does for a user who types into
// it. On the offscreen platform the focus arrives late: typed before it, a name can be replaced
// by what Qt's dialog selects for the part after a quote.
inline QLineEdit& FocusedFileNameBox(QWidget& dialog) {
  constexpr int kFocusWaitMs = 2000;
  auto* box = dialog.findChild<QLineEdit*>("fileNameEdit");
  if (box == nullptr) throw std::logic_error("no file name box");
  dialog.activateWindow();
  box->setFocus(Qt::OtherFocusReason);
  if (!QTest::qWaitFor([box] { return box->hasFocus(); }, kFocusWaitMs)) {
    throw std::logic_error("the file name box does not take the focus");
  }
  return *box;
}

}  // namespace lorvante::test
