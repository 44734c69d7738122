// The message boxes of the Qt front end, as real widgets on the offscreen platform: the text is
// the box's main text, the details sit in Qt's details section, the caption fits the box, and
// with several files the caption names the file at hand.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

// What a title bar's buttons take at least, beside the caption.
constexpr int kTitleBarButtonsRoom = 100;

struct Seen {
  QString title;
  QString text;
  QString details;
  int width = 0;
  int caption_width = 0;
};

// Shows a box through the front end and reads it once it is on screen; OK closes it.
Seen ShowBox(const std::string& text, const std::string& details, const std::string& caption) {
  Seen seen;
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    seen = {box->windowTitle(), box->text(), box->detailedText(), box->width(),
            box->fontMetrics().horizontalAdvance(box->windowTitle())};
    box->button(QMessageBox::Ok)->click();
  });
  timer->start(10);
  QtUserInterface ui;
  EXPECT_EQ(ui.DetailedMessageBox(text, details, caption, MB_OK), IDOK);
  return seen;
}

TEST(QtMessageBox, DetailsGoToTheDetailsSectionBehindTheText) {
  const Seen seen = ShowBox(
      "Az állomány kitömörítése sikertelen.",
      "Állomány: /tmp/adatok.zip.des\n\"a.txt\": not extracted: wrong password", "LORVANTE");
  EXPECT_EQ(seen.text, "Az állomány kitömörítése sikertelen.");
  EXPECT_EQ(seen.details,
            "Állomány: /tmp/adatok.zip.des\n\"a.txt\": not extracted: wrong password");
  EXPECT_EQ(seen.title, "LORVANTE");
}

// A short text must not make a box narrower than its caption ("Stream read error" under a
// caption that also names the file).
TEST(QtMessageBox, TheBoxIsWiderThanItsCaption) {
  for (const std::string subject : {"", "egy nagyon hosszú nevű titkosított állomány.txt.des"}) {
    Application.Subject = subject;
    const Seen seen = ShowBox("Stream read error", "", "LORVANTE");
    Application.Subject.clear();
    // The title bar shows the caption beside its buttons (close, at least).
    EXPECT_GE(seen.width, seen.caption_width + kTitleBarButtonsRoom) << subject;
    if (!subject.empty()) {
      EXPECT_EQ(seen.title, QString::fromStdString("LORVANTE — " + subject));
    }
  }
}

TEST(QtMessageBox, WithoutDetailsThereIsNoDetailsSection) {
  const Seen seen = ShowBox("A forrás állomány nem található.", "", "LORVANTE");
  EXPECT_EQ(seen.details, "");
  EXPECT_EQ(seen.text, "A forrás állomány nem található.");
}

}  // namespace
}  // namespace lorvante
