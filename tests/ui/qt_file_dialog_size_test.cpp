// The size and place of the file dialogs, as real widgets on the offscreen platform: a dialog
// larger than the screen shrinks to it with its buttons in reach, one that fits keeps its place
// (centred, a third of the free height from the top) unless a panel covers it, and the detail
// view shows a whole date in the user's language.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "tests/support/test_support.h"
#include "ui/qt/literal_file_dialog.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

struct PlaceCase {
  const char* name;
  QRect monitor;
  QRect available;
  QSize size;
  bool fixed;
  QRect expected;
};

TEST(FitAndPlace, ShrinksToTheScreenAndKeepsThePlaceWhereItFits) {
  const PlaceCase cases[] = {
      {"fits", {0, 0, 1280, 1024}, {0, 0, 1280, 1024}, {600, 400}, false, {340, 208, 600, 400}},
      {"second monitor",
       {1280, 0, 1024, 768},
       {1280, 0, 1024, 768},
       {600, 402},
       false,
       {1492, 122, 600, 402}},
      {"small screen", {0, 0, 512, 300}, {0, 0, 512, 300}, {624, 412}, false, {0, 0, 512, 300}},
      {"too wide only", {0, 0, 512, 900}, {0, 0, 512, 900}, {624, 300}, false, {0, 200, 512, 300}},
      {"fixed size", {0, 0, 512, 300}, {0, 0, 512, 300}, {624, 412}, true, {0, 0, 512, 300}},
      // A panel at the top: the third of the free height would put the dialog under it.
      {"under a panel",
       {0, 0, 1280, 1024},
       {0, 100, 1280, 924},
       {600, 900},
       false,
       {340, 100, 600, 900}},
      // A panel at the bottom, on a screen that the dialog fills: it goes above the panel.
      {"above a panel",
       {0, 0, 1024, 600},
       {0, 0, 1024, 560},
       {700, 590},
       false,
       {162, 0, 700, 560}},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    QDialog dialog;
    dialog.resize(c.size);
    if (c.fixed) dialog.setFixedSize(c.size);
    FitAndPlace(dialog, c.monitor, c.available);
    EXPECT_EQ(dialog.geometry(), c.expected);
    EXPECT_LE(dialog.minimumWidth(), c.expected.width());
    EXPECT_LE(dialog.minimumHeight(), c.expected.height());
    if (c.fixed) {
      EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    }
  }
}

// Qt's open dialog, at the size it takes on its own, on a screen half the size (1024x600 at
// scale 2): its buttons and its name box lie on that screen, and can be pressed.
TEST(FitAndPlace, TheFileDialogsButtonsLieOnASmallScreen) {
  LiteralFileDialog dialog;
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const QRect screen(0, 0, 512, 300);
  ASSERT_TRUE(dialog.width() > screen.width() || dialog.height() > screen.height())
      << "the dialog fits already: " << dialog.width() << "x" << dialog.height();
  FitAndPlace(dialog, screen, screen);
  QTest::qWait(50);
  EXPECT_TRUE(screen.contains(dialog.geometry())) << dialog.width() << "x" << dialog.height();
  auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
  ASSERT_NE(buttons, nullptr);
  for (QAbstractButton* button : buttons->buttons()) {
    const QRect on_screen(button->mapTo(&dialog, QPoint(0, 0)) + dialog.pos(), button->size());
    EXPECT_TRUE(button->isVisible()) << button->text().toStdString();
    EXPECT_TRUE(screen.contains(on_screen)) << button->text().toStdString();
    EXPECT_GE(button->height(), button->minimumSizeHint().height()) << button->text().toStdString();
  }
  dialog.hide();
}

// A Hungarian date ("2026. 12. 28. 22:58") is longer than the one the dialog makes its date
// column for: the dialog widens until its detail view shows it whole beside the other columns.
TEST(WidenForTheDetails, TheDateColumnShowsAWholeDate) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
  for (const bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed size" : "resizable");
    LiteralFileDialog dialog;
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(480, 400);
    if (fixed) dialog.setFixedSize(480, 400);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* view = dialog.findChild<QTreeView*>("treeView");
    ASSERT_NE(view, nullptr);
    const QString date =
        QLocale().toString(QDateTime(QDate(2026, 12, 28), QTime(22, 58)), QLocale::ShortFormat);
    const int date_width = view->fontMetrics().horizontalAdvance(date);
    QHeaderView* header = view->header();
    const auto date_end = [&] { return header->sectionPosition(3) + header->sectionSize(3); };
    ASSERT_GT(date_end() - header->sectionSize(3) + date_width, view->viewport()->width())
        << "the date shows whole already";

    WidenForTheDetails(dialog);
    QTest::qWait(50);
    EXPECT_GE(header->sectionSize(3), date_width);
    EXPECT_LE(date_end(), view->viewport()->width());
    EXPECT_GT(dialog.width(), 480);
    if (fixed) {
      EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    }
    dialog.hide();
  }
  QLocale::setDefault(saved);
}

}  // namespace
}  // namespace lorvante
