// The open dialog of the Qt front end, driven in-process on the offscreen platform: what it
// offers (title, folder, filters), a typed existing file chosen with Return, a missing one not
// accepted, Escape cancelling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "tests/support/qt_dialog_support.h"
#include "tests/support/test_support.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

// Runs `step` on the open dialog as soon as it is shown.
void OnDialog(std::function<void(QFileDialog&)> step) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, step = std::move(step)] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    step(*dialog);
  });
  timer->start(10);
}

class QtOpenDialog : public testing::Test {
 protected:
  QtOpenDialog() {
    test::WriteText(dir / "jelentes.txt.des", "x");
    request.title = "Titkosított állomány megnyitása";
    request.initial_dir = dir.path();
    request.filters = {{"Titkosított állományok (*.des)", "*.des"}, {"Minden állomány (*)", "*"}};
  }

  test::TempDir dir;
  OpenDialogRequest request;
  QtUserInterface ui;
};

TEST_F(QtOpenDialog, OffersTheEncryptedFilesThenAllAndReturnsTheTypedFile) {
  QStringList filters;
  QString title, folder, selected_filter;
  OnDialog([&](QFileDialog& dialog) {
    filters = dialog.nameFilters();
    title = dialog.windowTitle();
    folder = dialog.directory().absolutePath();
    selected_filter = dialog.selectedNameFilter();
    QLineEdit& edit = test::FocusedFileNameBox(dialog);
    QTest::keyClicks(&edit, "jelentes.txt.des");
    QTest::keyClick(&edit, Qt::Key_Return);
  });
  EXPECT_EQ(ui.OpenDialog(request), dir / "jelentes.txt.des");
  EXPECT_EQ(filters, (QStringList{"Titkosított állományok (*.des)", "Minden állomány (*)"}));
  EXPECT_EQ(selected_filter, "Titkosított állományok (*.des)");
  EXPECT_EQ(title, "Titkosított állomány megnyitása");
  EXPECT_EQ(folder.toStdString(), dir.path());
}

// Qt's dialog answers a missing file with a warning box of its own and stays open.
TEST_F(QtOpenDialog, MissingFileIsNotAcceptedAndEscapeCancels) {
  QString warning;
  bool still_open = false;
  OnDialog([&](QFileDialog& dialog) {
    auto* timer = new QTimer(&dialog);
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr || box == &dialog || !box->isVisible()) return;
      timer->stop();
      warning = box->windowTitle();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    timer->start(10);
    QLineEdit& edit = test::FocusedFileNameBox(dialog);
    QTest::keyClicks(&edit, "nincs-ilyen.des");
    QTest::keyClick(&edit, Qt::Key_Return);  // returns once the warning is gone
    still_open = dialog.isVisible();
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(ui.OpenDialog(request), std::nullopt);
  EXPECT_FALSE(warning.isEmpty());
  EXPECT_TRUE(still_open);
}

// A name with double quotes is one name: Qt's dialog would read `"b".des` out of it.
TEST_F(QtOpenDialog, ANameWithQuotesIsTakenLiterally) {
  const std::string quoted = "a \"b\".des";
  test::WriteText(dir / quoted, "x");
  test::WriteText(dir / "b", "x");  // what Qt would choose
  OnDialog([&](QFileDialog& dialog) {
    QLineEdit& edit = test::FocusedFileNameBox(dialog);
    QTest::keyClicks(&edit, QString::fromStdString(quoted));
    QTest::keyClick(&edit, Qt::Key_Return);
  });
  EXPECT_EQ(ui.OpenDialog(request), dir / quoted);
}

}  // namespace
// A quote standing alone is part of the name too, and the Open button stays usable for it.
TEST_F(QtOpenDialog, ANameWithOneQuoteCanBeOpenedWithTheButton) {
  const std::string quoted = "a \"b.des";
  test::WriteText(dir / quoted, "x");
  bool enabled = false;
  OnDialog([&](QFileDialog& dialog) {
    QLineEdit& edit = test::FocusedFileNameBox(dialog);
    QTest::keyClicks(&edit, QString::fromStdString(quoted));
    auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_NE(buttons, nullptr);
    QPushButton* open = buttons->button(QDialogButtonBox::Open);
    ASSERT_NE(open, nullptr);
    enabled = open->isEnabled();
    if (enabled) {
      open->click();
    } else {
      QTest::keyClick(&dialog, Qt::Key_Escape);
    }
  });
  EXPECT_EQ(ui.OpenDialog(request), dir / quoted);
  EXPECT_TRUE(enabled);
}

}  // namespace lorvante
