// The text export with the real Qt save dialog, driven in-process on the offscreen platform:
// keys typed into the dialog, its overwrite question answered, its settings and placement read
// back from the widget.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

#include "app/conversion_form.h"
#include "format/encrypt.h"
#include "app/messages.h"
#include "tests/support/qt_dialog_support.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

using test::Bytes;
using test::ReadBytes;

// Acts on the modal windows as they appear: each step runs once on the next modal window that
// was not handled before. A step that finds what it expects not there fails the test.
class ModalScript {
 public:
  using Step = std::function<void(QWidget&)>;

  explicit ModalScript(std::deque<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }
  bool Done() const { return steps_.empty(); }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_ || !modal->isVisible() || steps_.empty()) return;
    last_ = modal;
    // Run from a timer of its own: a step that opens a nested modal loop would otherwise keep
    // this polling timer from firing again.
    QTimer::singleShot(0, modal, [modal, step = std::move(steps_.front())] { step(*modal); });
    steps_.pop_front();
  }

  QTimer timer_;
  std::deque<Step> steps_;
  QWidget* last_ = nullptr;
};

// Picks the filter entry `filter` when given, types `name` over the offered file name and
// presses Return.
ModalScript::Step TypeName(const QString& name, const QString& filter = {}) {
  return [name, filter](QWidget& dialog) {
    auto* file_dialog = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(file_dialog, nullptr);
    if (!filter.isEmpty()) {
      file_dialog->selectNameFilter(filter);
      ASSERT_EQ(file_dialog->selectedNameFilter(), filter);
    }
    QLineEdit& edit = test::FocusedFileNameBox(dialog);
    edit.selectAll();
    QTest::keyClicks(&edit, name);
    QTest::keyClick(&edit, Qt::Key_Return);
  };
}

// Types `name` and clicks the dialog's Save button, as a user does with the mouse.
ModalScript::Step TypeNameAndClickSave(const QString& name) {
  return [name](QWidget& dialog) {
    QLineEdit& edit = test::FocusedFileNameBox(dialog);
    edit.selectAll();
    QTest::keyClicks(&edit, name);
    auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
    ASSERT_NE(buttons, nullptr);
    QPushButton* save = buttons->button(QDialogButtonBox::Save);
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(save->isEnabled()) << name.toStdString();
    save->click();
  };
}

// Answers the overwrite question with `button`.
ModalScript::Step AnswerQuestion(QMessageBox::StandardButton button, QString* text) {
  return [button, text](QWidget& widget) {
    auto* box = qobject_cast<QMessageBox*>(&widget);
    ASSERT_NE(box, nullptr);
    *text = box->text();
    box->button(button)->click();
  };
}

ModalScript::Step Escape() {
  return [](QWidget& widget) { QTest::keyClick(&widget, Qt::Key_Escape); };
}

// Records the message box text and closes it.
ModalScript::Step CloseMessage(QStringList* texts) {
  return [texts](QWidget& widget) {
    auto* box = qobject_cast<QMessageBox*>(&widget);
    ASSERT_NE(box, nullptr);
    *texts << box->windowTitle() + ": " + box->text();
    box->button(QMessageBox::Ok)->click();
  };
}

class QtTextExport : public testing::Test {
 protected:
  QtTextExport() : tmpdir_("TMPDIR", dir / "tmp") {
    mkdir((dir / "tmp").c_str(), 0755);
    mkdir((dir / "in").c_str(), 0755);
    documents_ = QDir::homePath().toStdString() + "/Documents";
    mkdir(documents_.c_str(), 0755);
    Application.SetUI(&ui_);
    Application.Title = messages::kApplicationTitle;
    Application.ResetTerminate();
  }
  ~QtTextExport() override { Application.SetUI(nullptr); }

  // Converts an encrypted copy of `text` named in/report.txt.des while `steps` act on the
  // dialogs that appear.
  void Convert(const std::vector<std::uint8_t>& text, std::deque<ModalScript::Step> steps) {
    const std::string input = dir / "in/report.txt.des";
    test::WriteBytes(input, EncryptPayload(GzipPayload(text), false));
    Application.SetArguments({"lorvante", input});
    ModalScript script(std::move(steps));
    TForm1 form(nullptr);
    form.Button1->Click();
    EXPECT_TRUE(script.Done());
  }

  test::TempDir dir;
  test::ScopedEnv tmpdir_;
  std::string documents_;
  QtUserInterface ui_;
};

TEST_F(QtTextExport, NameTypedWithoutExtensionIsSavedWithTxt) {
  const auto text = Bytes("Jelent\xE9s az \xFCl\xE9sr\xF5l\r\n");
  QFileDialog* seen = nullptr;
  QString offered, directory, title;
  QStringList filters;
  QString selected_filter;
  bool fixed = false, native = true, confirms = false;
  QPoint position;
  QSize size;
  QRect monitor;
  auto look_and_type = [&](QWidget& widget) {
    seen = qobject_cast<QFileDialog*>(&widget);
    ASSERT_NE(seen, nullptr);
    offered = test::FocusedFileNameBox(widget).text();
    directory = seen->directory().absolutePath();
    title = seen->windowTitle();
    filters = seen->nameFilters();
    selected_filter = seen->selectedNameFilter();
    fixed = seen->minimumSize() == seen->maximumSize();
    native = !seen->testOption(QFileDialog::DontUseNativeDialog);
    confirms = !seen->testOption(QFileDialog::DontConfirmOverwrite);
    position = seen->frameGeometry().topLeft();
    size = seen->frameGeometry().size();
    monitor = seen->screen()->geometry();
    TypeName("kimenet")(widget);
  };
  Convert(text, {look_and_type});
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(ReadBytes(dir / "in/kimenet.txt"), text);
  // The offered name carries the input's folder, so the dialog opens there.
  EXPECT_EQ(offered, "report.txt");
  EXPECT_EQ(directory.toStdString(), dir / "in");
  EXPECT_EQ(title, "Save As");
  EXPECT_EQ(filters, (QStringList{"Egyszerű szöveg (*.txt)", "MS-DOS szöveg (*.txt)"}));
  EXPECT_EQ(selected_filter, "Egyszerű szöveg (*.txt)");
  EXPECT_TRUE(fixed);
  EXPECT_FALSE(native);
  EXPECT_TRUE(confirms);
  EXPECT_EQ(position.x(), monitor.left() + (monitor.width() - size.width()) / 2);
  EXPECT_EQ(position.y(), monitor.top() + (monitor.height() - size.height()) / 3);
}

// A name with double quotes is saved under that name, in the folder typed or the one shown: Qt's
// dialog would read `"final".txt` out of it and save final.txt in the starting folder.
TEST_F(QtTextExport, ANameWithQuotesIsTakenLiterally) {
  const auto text = Bytes("v\xE9gleges\r\n");
  mkdir((dir / "reports").c_str(), 0755);
  struct Case {
    std::string typed;
    std::string saved;
  };
  const Case cases[] = {
      {dir / "reports/report \"final\".txt", dir / "reports/report \"final\".txt"},
      {"summary \"final\" (2).txt", dir / "in/summary \"final\" (2).txt"},
      {"\"final\"", dir / "in/\"final\".txt"},  // no extension: .txt is added
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Convert(text, {TypeName(QString::fromStdString(c.typed))});
    EXPECT_EQ(ReadBytes(c.saved), text);
    for (const char* elsewhere : {"in/final.txt", "in/final", "reports/final.txt"}) {
      EXPECT_FALSE(std::filesystem::exists(dir / elsewhere)) << elsewhere;
    }
  }
  // A quote standing alone is a name too: Qt greys Save for a name it cannot split into a list.
  for (const std::string typed : {"ab\"", "report \"final.txt"}) {
    SCOPED_TRACE(typed);
    Convert(text, {TypeNameAndClickSave(QString::fromStdString(typed))});
    const std::string saved = dir / ("in/" + typed + (typed.ends_with(".txt") ? "" : ".txt"));
    EXPECT_EQ(ReadBytes(saved), text);
  }
  // An existing name with quotes is replaced only after the question.
  const std::string existing = dir / "reports/report \"final\".txt";
  test::WriteText(existing, "older");
  QString question;
  Convert(text, {TypeName(QString::fromStdString(existing)),
                 AnswerQuestion(QMessageBox::Yes, &question)});
  EXPECT_TRUE(question.contains("report \"final\".txt")) << question.toStdString();
  EXPECT_EQ(ReadBytes(existing), text);
}

// The offered name already exists: No keeps the dialog open (cancelled afterwards, the file
// untouched, the driver's message); Yes replaces the file.
TEST_F(QtTextExport, OverwriteQuestionIsAnswered) {
  const auto text = Bytes("\xE1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p\r\n");
  const std::string existing = dir / "in/report.txt";
  test::WriteText(existing, "older and longer content of the file");

  QString question;
  QStringList messages_shown;
  Convert(text, {TypeName("report.txt"), AnswerQuestion(QMessageBox::No, &question), Escape(),
                 CloseMessage(&messages_shown)});
  EXPECT_TRUE(question.contains("report.txt")) << question.toStdString();
  EXPECT_EQ(test::ReadText(existing), "older and longer content of the file");
  EXPECT_EQ(messages_shown, QStringList{QString("LORVANTE: ") + messages::kExportFailed});

  // The second filter entry makes no difference to the bytes.
  Convert(text, {TypeName("report.txt", "MS-DOS szöveg (*.txt)"),
                 AnswerQuestion(QMessageBox::Yes, &question)});
  EXPECT_EQ(ReadBytes(existing), text);
}

}  // namespace
}  // namespace lorvante
