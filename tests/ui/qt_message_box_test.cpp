// The message boxes of the Qt front end, as real widgets on the offscreen platform: the text is
// the box's main text, the details sit in Qt's details section, the caption fits the box, and
// with several files the caption names the file at hand.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/progress_form.h"
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

// A folder picker's client that chooses nothing.
class IdleClient : public FolderDialogClient {
 public:
  void DialogShow() override {}
  void DialogFolderChange(const std::string&) override {}
  bool FolderListClick(const std::string&) override { return false; }
  bool CanChoose() const override { return false; }
  bool OkButtonRelease(const std::string&) override { return false; }
  std::string FileNameText() const override { return {}; }
  void DialogClose() override {}
};

// The title of the window that `open` shows and waits on, closed with Escape once read.
QString TitleOfModal(const std::function<void()>& open) {
  QString title;
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, &title] {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr || !window->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    title = window->windowTitle();
    window->close();
  });
  timer->start(10);
  open();
  return title;
}

// With several files, every window of a conversion names the file at hand in its title: the
// password box, the save dialog, the folder picker and the progress window, as the message box.
TEST(QtMessageBox, EveryWindowOfAConversionNamesTheFileAtHand) {
  const std::string saved_title = Application.Title;
  Application.Title = "LORVANTE";
  Application.Subject = "adatok.zip.des";
  QtUserInterface ui;
  SaveDialogRequest save;
  save.title = "Mentés másként";
  FolderDialogRequest folder;
  folder.title = "Mappa kiválasztása";
  IdleClient client;
  const QString password =
      TitleOfModal([&] { static_cast<void>(ui.InputBox("LORVANTE", "Jelszó", "", true)); });
  const QString save_title = TitleOfModal([&] { EXPECT_EQ(ui.SaveDialog(save), std::nullopt); });
  const QString folder_title = TitleOfModal([&] { ui.RunFolderDialog(folder, client); });
  const QString progress = TProgressForm([] {}).windowTitle();
  Application.Subject.clear();
  const QString single = TProgressForm([] {}).windowTitle();
  Application.Title = saved_title;
  EXPECT_EQ(password, "LORVANTE — adatok.zip.des");
  EXPECT_EQ(save_title, "Mentés másként — adatok.zip.des");
  EXPECT_EQ(folder_title, "Mappa kiválasztása — adatok.zip.des");
  EXPECT_EQ(progress, "LORVANTE — adatok.zip.des");
  EXPECT_EQ(single, "LORVANTE");
}

TEST(QtMessageBox, WithoutDetailsThereIsNoDetailsSection) {
  const Seen seen = ShowBox("A forrás állomány nem található.", "", "LORVANTE");
  EXPECT_EQ(seen.details, "");
  EXPECT_EQ(seen.text, "A forrás állomány nem található.");
}

}  // namespace
}  // namespace lorvante
