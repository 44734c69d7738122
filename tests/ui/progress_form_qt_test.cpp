// The progress window of the Qt front end, as a real widget on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include "ui/application.h"
#include "ui/qt/progress_form.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

// The title is set before the window is built.
struct TitleSet {
  TitleSet() { Application.Title = "LORVANTE"; }
};

class ProgressFormTest : public ::testing::Test {
 protected:
  TitleSet title_;
  int cancelled_ = 0;
  TProgressForm form_{[this] { ++cancelled_; }};
};

TEST_F(ProgressFormTest, Layout) {
  EXPECT_EQ(form_.size(), QSize(300, 100));
  EXPECT_EQ(form_.minimumSize(), QSize(300, 100));
  EXPECT_EQ(form_.maximumSize(), QSize(300, 100));
  EXPECT_EQ(form_.windowTitle(), "LORVANTE");
  EXPECT_TRUE(form_.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(form_.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form_.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(form_.isVisible());
  EXPECT_FALSE(form_.isModal());

  EXPECT_EQ(form_.FMsgLabel->text(), "wait ...");
  EXPECT_EQ(form_.FMsgLabel->geometry().topLeft(), QPoint(10, 15));
  EXPECT_EQ(form_.FMsgLabel->width(), 280);
  EXPECT_FALSE(form_.FMsgLabel->wordWrap());

  EXPECT_EQ(form_.FProgressBar->geometry(),
            QRect(10, 35, 280, form_.style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
  EXPECT_EQ(form_.FProgressBar->minimum(), 0);
  EXPECT_EQ(form_.FProgressBar->maximum(), 100);
  EXPECT_EQ(form_.FProgressBar->value(), 0);
  EXPECT_EQ(form_.FProgressBar->orientation(), Qt::Horizontal);

  EXPECT_EQ(form_.FCancelButton->text(), "&Cancel");
  EXPECT_EQ(form_.FCancelButton->geometry(), QRect(112, 60, 75, 25));
  EXPECT_TRUE(form_.FCancelButton->isDefault());
  EXPECT_EQ(form_.FCancelButton->parentWidget(), &form_);
}

TEST_F(ProgressFormTest, CentredOnTheWorkAreaWithoutMainForm) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect outer = form_.frameGeometry();
  EXPECT_EQ(outer.left(), area.left() + (area.width() - outer.width()) / 2);
  EXPECT_EQ(outer.top(), area.top() + (area.height() - outer.height()) / 2);
}

TEST_F(ProgressFormTest, CloseBoxOnlyHides) {
  form_.Show();
  ASSERT_TRUE(form_.isVisible());
  EXPECT_TRUE(form_.close());
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(cancelled_, 0);
  // Still usable: shown again by the next update.
  form_.Show();
  EXPECT_TRUE(form_.isVisible());
}

TEST_F(ProgressFormTest, EnterPressesCancel) {
  form_.Show();
  QTest::keyClick(&form_, Qt::Key_Return);
  EXPECT_EQ(cancelled_, 1);
  EXPECT_FALSE(form_.isVisible());
}

TEST_F(ProgressFormTest, ClickOnCancelTellsTheOwnerAndHides) {
  form_.Show();
  QTest::mouseClick(form_.FCancelButton, Qt::LeftButton);
  EXPECT_EQ(cancelled_, 1);
  EXPECT_FALSE(form_.isVisible());
}

// Escape presses Cancel: hiding the window alone would let the extraction go on unseen.
TEST_F(ProgressFormTest, EscapePressesCancel) {
  form_.Show();
  QTest::keyClick(&form_, Qt::Key_Escape);
  EXPECT_EQ(cancelled_, 1);
  EXPECT_FALSE(form_.isVisible());
}

// A path wider than the label keeps its file name in sight: the middle is left out on display,
// while the label's text stays the whole path, and the label neither grows nor wraps.
TEST_F(ProgressFormTest, LongPathShowsItsFileName) {
  const QRect before = form_.FMsgLabel->geometry();
  const std::string folders = "a/very/long/folder/" + std::string(300, 'n') + "/";
  const std::string name = folders + "kimutatas-2024.txt";
  form_.SetMessage(name);
  EXPECT_EQ(form_.FMsgLabel->text().toStdString(), name);
  EXPECT_EQ(form_.FMsgLabel->geometry(), before);
  EXPECT_FALSE(form_.FMsgLabel->wordWrap());
  EXPECT_EQ(form_.size(), QSize(300, 100));

  const QString shown = form_.FMsgLabel->DisplayedText();
  EXPECT_TRUE(shown.endsWith("kimutatas-2024.txt")) << shown.toStdString();
  EXPECT_TRUE(shown.startsWith("a/very")) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
  EXPECT_LE(form_.FMsgLabel->fontMetrics().horizontalAdvance(shown), 280);

  // A short one is shown whole.
  form_.SetMessage("docs/a.txt");
  EXPECT_EQ(form_.FMsgLabel->DisplayedText(), "docs/a.txt");
}

// What the label paints is what it reports to show: rendered, the long path and its elided form
// give the same pixels.
TEST_F(ProgressFormTest, TheLabelPaintsTheElidedText) {
  form_.SetMessage("folder/" + std::string(200, 'x') + "/last-file.dat");
  const QImage painted = form_.FMsgLabel->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QLabel plain(form_.FMsgLabel->DisplayedText());
  plain.setFont(form_.FMsgLabel->font());
  plain.setAlignment(form_.FMsgLabel->alignment());
  plain.resize(form_.FMsgLabel->size());
  const QImage expected = plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(painted, expected);
  // and not what the whole path would give
  plain.setText(form_.FMsgLabel->text());
  EXPECT_NE(painted, plain.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(ProgressFormTest, PositionsAndMaximum) {
  form_.SetProgressMax(65535);
  EXPECT_EQ(form_.FProgressBar->maximum(), 65535);
  EXPECT_EQ(form_.FProgressBar->minimum(), 0);
  form_.SetProgressPos(30000);
  EXPECT_EQ(form_.FProgressBar->value(), 30000);
  // Past the maximum the bar shows full, it does not keep the old position.
  form_.SetProgressPos(70000);
  EXPECT_EQ(form_.FProgressBar->value(), 65535);
}

TEST(ProgressFormSeam, QtFrontEndCreatesAHiddenProgressForm) {
  QtUserInterface ui;
  int cancelled = 0;
  std::unique_ptr<ProgressDisplay> display = ui.CreateProgressDisplay([&] { ++cancelled; });
  auto* form = dynamic_cast<TProgressForm*>(display.get());
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->FMsgLabel->text(), "wait ...");
  display->Show();
  EXPECT_TRUE(form->isVisible());
  form->FCancelButton->click();
  EXPECT_EQ(cancelled, 1);
}

}  // namespace
}  // namespace lorvante
