// CenterWindow with the Qt front end: a real window is centred on the primary screen's
// available area.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/application.h"
#include "ui/qt/qt_ui.h"
#include "zip/zip_drives.h"

namespace lorvante {
namespace {

class WidgetWindow : public TopLevelWindow {
 public:
  explicit WidgetWindow(QWidget& widget) : widget_(widget) {}
  ScreenRect OuterRect() const override {
    const QRect r = widget_.frameGeometry();
    return {r.left(), r.top(), r.width(), r.height()};
  }
  void MoveTo(int left, int top) override { widget_.move(left, top); }

 private:
  QWidget& widget_;
};

TEST(CenterWindowQt, CentresARealWindowOnTheAvailableArea) {
  QtUserInterface ui;
  Application.SetUI(&ui);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const ScreenRect reported = ui.AvailableGeometry();
  EXPECT_EQ(reported.left, area.left());
  EXPECT_EQ(reported.top, area.top());
  EXPECT_EQ(reported.width, area.width());
  EXPECT_EQ(reported.height, area.height());
  ASSERT_GT(area.width(), 300);

  QWidget widget;
  widget.resize(300, 100);
  widget.move(0, 0);
  widget.show();
  WidgetWindow window(widget);
  CenterWindow(window);
  const QRect frame = widget.frameGeometry();
  EXPECT_EQ(frame.left(), area.left() + (area.width() - frame.width()) / 2);
  EXPECT_EQ(frame.top(), area.top() + (area.height() - frame.height()) / 2);
  EXPECT_EQ(widget.size(), QSize(300, 100));
  Application.SetUI(nullptr);
}

}  // namespace
}  // namespace lorvante
