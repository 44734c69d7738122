// The reshaped Qt dialog, driven with real clicks and keys under the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "opendir/OpenDir.h"
#include "platform/paths.h"
#include "tests/opendir/open_directory_fixture.h"
#include "tests/support/test_support.h"
#include "ui/application.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {
namespace {

namespace fs = std::filesystem;

QString Q(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// Processes events until `done` holds; false when it never did. Waiting, not measuring: the
// bound only keeps a broken run from hanging.
bool WaitUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 20000) return false;
    QTest::qWait(5);
  }
  return true;
}

// The parts of the running dialog a user acts on.
struct DialogParts {
  QFileDialog* dialog = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  QLineEdit* file_name = nullptr;
  QAbstractItemView* view = nullptr;  // the list in use

  explicit DialogParts(QFileDialog* d) : dialog(d) {
    auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
    ok = box->button(QDialogButtonBox::Open);
    cancel = box->button(QDialogButtonBox::Cancel);
    file_name = d->findChild<QLineEdit*>("fileNameEdit");
    for (const char* name : {"treeView", "listView"}) {
      auto* v = d->findChild<QAbstractItemView*>(name);
      if (v != nullptr && v->isVisible()) view = v;
    }
  }

  std::string Box() const { return QFile::encodeName(file_name->text()).toStdString(); }

  // The row of `name` in the list, once the dialog has listed the folder.
  QModelIndex Item(const QString& name) const {
    QModelIndex found;
    WaitUntil([&] {
      const QModelIndex root = view->rootIndex();
      for (int row = 0; row < view->model()->rowCount(root); ++row) {
        const QModelIndex index = view->model()->index(row, 0, root);
        if (index.data(QFileSystemModel::FileNameRole).toString() == name &&
            view->visualRect(index).isValid()) {
          found = index;
          return true;
        }
      }
      return false;
    });
    return found;
  }
  QStringList Listed() const {
    QStringList names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row) {
      names << view->model()->index(row, 0, root).data(QFileSystemModel::FileNameRole).toString();
    }
    return names;
  }
  // The selected items of the list (the selection may also hold the folder the list shows).
  QModelIndexList SelectedItems() const {
    QModelIndexList items;
    for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) {
      if (index.parent() == view->rootIndex()) items << index;
    }
    return items;
  }
  void Click(const QString& name, Qt::KeyboardModifiers modifiers = {}) const {
    const QModelIndex index = Item(name);
    ASSERT_TRUE(index.isValid()) << name.toStdString();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualRect(index).center());
  }
  void DoubleClick(const QString& name) const {
    const QModelIndex index = Item(name);
    ASSERT_TRUE(index.isValid()) << name.toStdString();
    // A real double click: press, release, then the second press and release as a double click.
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  }
  // Waits until the file-name box shows `text`.
  bool BoxShows(const std::string& text) const {
    return WaitUntil([&] { return Box() == text; });
  }
};

class FolderDialogTest : public test::OpenDirectoryFixture<QtUserInterface> {
 protected:
  void SetUp() override {
    OpenDirectoryFixture::SetUp();
    for (const char* name : {"Alpha", "Beta", "Gamma"}) fs::create_directories(tmp_ / name);
    test::WriteText(tmp_ / "note.txt", "a file is not listed");
    dialog_.InitialDir = tmp_.path();
    dialog_.OnFolderChange = Logger("folder");
    dialog_.OnClose = Logger("close");
    const TNotifyEvent log_show = Logger("show");
    dialog_.OnShow = [this, log_show](TObject* sender) {
      log_show(sender);
      // The test acts once the dialog's modal loop runs.
      QTimer::singleShot(0, &context_, [this] { RunScript(); });
    };
  }
  // Runs the component; `script` acts on the shown dialog and must end by closing it.
  bool Execute(std::function<void(DialogParts&)> script) {
    script_ = std::move(script);
    return dialog_.Execute();
  }

  void RunScript() {
    auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (shown == nullptr) {
      ADD_FAILURE() << "no dialog is shown";
      return;
    }
    dialog_widget_ = shown;
    DialogParts parts(shown);
    script_(parts);
    if (!WaitUntil([&] { return !shown->isVisible(); })) {
      ADD_FAILURE() << "the dialog is still open";
      shown->reject();
    }
  }

  std::function<void(DialogParts&)> script_;
  QObject context_;
  QFileDialog* dialog_widget_ = nullptr;
};

TEST_F(FolderDialogTest, TheDialogIsReshapedIntoAFolderPicker) {
  dialog_.InitialDir = tmp_ / "";  // with a trailing slash
  const bool chosen = Execute([&](DialogParts& d) {
    EXPECT_TRUE(d.dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(d.dialog->nameFilters(), QStringList{"Directories (*.~#!)"});
    EXPECT_FALSE(d.dialog->findChild<QComboBox*>("fileTypeCombo")->isVisible());
    EXPECT_FALSE(d.dialog->findChild<QLabel*>("fileTypeLabel")->isVisible());
    EXPECT_TRUE(d.file_name->isVisible());
    // The box shows the folder OK would choose; the list shows folders only.
    EXPECT_TRUE(d.BoxShows(tmp_.path())) << d.Box();
    EXPECT_TRUE(d.Item("Gamma").isValid());
    EXPECT_FALSE(d.Listed().contains("note.txt")) << d.Listed().join(",").toStdString();
    EXPECT_EQ(d.dialog->windowTitle(), QFileDialog().windowTitle());  // the standard caption
    // OK looks as it acts: enabled while a folder is known, though the box names a folder.
    EXPECT_TRUE(d.ok->isEnabled());
    // No places bar; the look-in box and the tool buttons stay.
    EXPECT_FALSE(d.dialog->findChild<QWidget*>("sidebar")->isVisible());
    EXPECT_TRUE(d.dialog->findChild<QComboBox*>("lookInCombo")->isVisible());
    for (const char* button : {"backButton", "toParentButton", "newFolderButton"}) {
      EXPECT_TRUE(d.dialog->findChild<QWidget*>(button)->isVisible()) << button;
    }
    EXPECT_NE(d.dialog->minimumSize(), d.dialog->maximumSize());
    // Placed on the primary monitor: centred, a third of the free height from the top.
    const QRect monitor = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = d.dialog->frameGeometry();
    EXPECT_EQ(frame.left(), monitor.left() + (monitor.width() - frame.width()) / 2);
    EXPECT_EQ(frame.top(), monitor.top() + (monitor.height() - frame.height()) / 3);
    QTest::mouseClick(d.cancel, Qt::LeftButton);
  });
  EXPECT_FALSE(chosen);
  ASSERT_GE(events_.size(), 2u);
  EXPECT_EQ(events_[1].directory, tmp_.path());  // opened in the folder without the slash
}

TEST_F(FolderDialogTest, TitleAndFixedSize) {
  dialog_.Title = "Válassza ki a célmappát";
  dialog_.EnableSizing = false;
  Execute([&](DialogParts& d) {
    EXPECT_EQ(d.dialog->windowTitle(), QString::fromUtf8("Válassza ki a célmappát"));
    EXPECT_EQ(d.dialog->minimumSize(), d.dialog->maximumSize());
    QTest::keyClick(d.dialog, Qt::Key_Escape);
  });
}

// Cancel, Escape and the close box give nothing and leave the current directory.
struct CloseWay {
  const char* name;
  std::function<void(DialogParts&)> close;
};

void PrintTo(const CloseWay& way, std::ostream* out) {
  *out << way.name;
}

class FolderDialogCloseTest : public FolderDialogTest,
                              public testing::WithParamInterface<CloseWay> {};

TEST_P(FolderDialogCloseTest, GivesNothing) {
  const bool chosen = Execute([&](DialogParts& d) {
    d.Click("Beta");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Beta"));
    GetParam().close(d);
  });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(dialog_.Directory(), "");
  EXPECT_EQ(dialog_.UNCDirectory(), "");
  EXPECT_EQ(GetCurrentDir(), start_dir_);
  ASSERT_FALSE(events_.empty());
  EXPECT_EQ(events_.back().name, "close");
  EXPECT_EQ(events_.back().directory,
            tmp_ / "Beta");  // OnClose came before the results were cleared
}

INSTANTIATE_TEST_SUITE_P(
    Ways, FolderDialogCloseTest,
    testing::Values(CloseWay{"CancelButton",
                             [](DialogParts& d) { QTest::mouseClick(d.cancel, Qt::LeftButton); }},
                    CloseWay{"Escape",
                             [](DialogParts& d) { QTest::keyClick(d.dialog, Qt::Key_Escape); }},
                    CloseWay{"CloseBox", [](DialogParts& d) { d.dialog->close(); }}),
    [](const testing::TestParamInfo<CloseWay>& param_info) { return param_info.param.name; });

TEST_F(FolderDialogTest, OkChoosesTheShownFolder) {
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_.path());
  EXPECT_EQ(dialog_.UNCDirectory(), "");
  EXPECT_EQ(GetCurrentDir(), tmp_.path());
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"show", "folder", "close"}));
  for (const auto& e : events_) EXPECT_EQ(e.sender, dialog_.Impl()) << e.name;
  EXPECT_EQ(events_.back().unc_directory, tmp_.path());  // before the final adjustment
  ASSERT_NE(dialog_widget_, nullptr);
}

TEST_F(FolderDialogTest, AListClickThenOkChoosesTheSubFolder) {
  const bool chosen = Execute([&](DialogParts& d) {
    d.Click("Beta");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Beta")) << d.Box();
    EXPECT_EQ(dialog_.Directory(), tmp_ / "Beta");
    EXPECT_EQ(EventNames(), (std::vector<std::string>{"show", "folder"}));  // a click is no change
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Beta");
  EXPECT_EQ(dialog_.UNCDirectory(), "");
  EXPECT_EQ(GetCurrentDir(), tmp_ / "Beta");
}

TEST_F(FolderDialogTest, AClickThatLeavesNothingSelectedChangesNothing) {
  const bool chosen = Execute([&](DialogParts& d) {
    d.Click("Beta");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Beta"));
    d.Click("Beta", Qt::ControlModifier);  // deselects it
    QTest::qWait(20);
    ASSERT_TRUE(d.SelectedItems().isEmpty());
    EXPECT_EQ(d.Box(), tmp_ / "Beta");
    EXPECT_EQ(dialog_.Directory(), tmp_ / "Beta");
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Beta");
}

TEST_F(FolderDialogTest, OpeningAFolderRaisesAFolderChange) {
  const bool chosen = Execute([&](DialogParts& d) {
    d.DoubleClick("Gamma");
    ASSERT_TRUE(WaitUntil([&] { return events_.size() >= 3; }));
    EXPECT_EQ(events_[2].name, "folder");
    EXPECT_EQ(events_[2].directory, tmp_ / "Gamma");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Gamma")) << d.Box();
    // The way back is a folder change too.
    d.dialog->setDirectory(Q(tmp_.path()));
    ASSERT_TRUE(d.BoxShows(tmp_.path())) << d.Box();
    EXPECT_EQ(dialog_.Directory(), tmp_.path());
    d.Click("Alpha");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Alpha"))
        << d.Box() << " sel=" << d.view->selectionModel()->selectedIndexes().size()
        << " dir=" << dialog_.Directory();
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Alpha");
}

TEST_F(FolderDialogTest, OkDoesNothingWhileNoFolderIsKnown) {
  const bool chosen = Execute([&](DialogParts& d) {
    d.dialog->setDirectory(QString());  // the computer's overview: no file-system path
    ASSERT_TRUE(WaitUntil([&] { return events_.size() >= 3; }));
    EXPECT_EQ(events_[2].directory, "");
    ASSERT_TRUE(d.BoxShows(""));
    EXPECT_FALSE(d.ok->isEnabled());          // looks as it acts: nothing to choose
    d.file_name->setText(Q(tmp_ / "Alpha"));  // typed by the user
    EXPECT_FALSE(d.ok->isEnabled());
    QTest::mouseClick(d.ok, Qt::LeftButton);
    QTest::qWait(20);
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_EQ(dialog_.Directory(), "");
    EXPECT_EQ(events_.size(), 3u);  // the dialog did not open the typed folder
    QTest::keyClick(d.dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(GetCurrentDir(), start_dir_);
}

TEST_F(FolderDialogTest, NoChangeDirKeepsTheCurrentDirectory) {
  dialog_.NoChangeDir = true;
  const bool chosen = Execute([&](DialogParts& d) {
    d.Click("Alpha");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Alpha"))
        << d.Box() << " sel=" << d.view->selectionModel()->selectedIndexes().size()
        << " dir=" << dialog_.Directory();
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Alpha");
  EXPECT_EQ(GetCurrentDir(), start_dir_);
}

TEST_F(FolderDialogTest, AFolderOnASmbShareGivesBothForms) {
  const std::string mount_point = tmp_.path();
  dialog_.ReadMountTable = [mount_point] {
    return MountTable::Parse(
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "50 22 0:77 / " +
        mount_point + " rw - cifs //srv/office rw\n");
  };
  const bool chosen = Execute([&](DialogParts& d) {
    EXPECT_EQ(dialog_.UNCDirectory(), "//srv/office");
    d.Click("Beta");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Beta"));
    EXPECT_EQ(dialog_.UNCDirectory(), "//srv/office/Beta");
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Beta");
  EXPECT_EQ(dialog_.UNCDirectory(), "//srv/office/Beta");
  EXPECT_EQ(GetCurrentDir(), tmp_ / "Beta");
}

TEST_F(FolderDialogTest, ALongNonAsciiFolderPathIsDeliveredExactly) {
  std::string folder = tmp_.path();
  while (folder.size() < 320) folder += "/mappa-árvíztűrő-" + std::to_string(folder.size());
  fs::create_directories(folder + "/Almappa");
  dialog_.InitialDir = folder;
  const bool chosen = Execute([&](DialogParts& d) {
    d.Click("Almappa");
    ASSERT_TRUE(d.BoxShows(folder + "/Almappa")) << d.Box();
    QTest::mouseClick(d.ok, Qt::LeftButton);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), folder + "/Almappa");
  EXPECT_EQ(GetCurrentDir(), folder + "/Almappa");
}

// OK stays enabled through what the dialog does while a folder is known: opening a folder,
// typing, emptying the box; it looks disabled again once no folder is known.
TEST_F(FolderDialogTest, OkIsEnabledWheneverAFolderIsKnown) {
  Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    EXPECT_TRUE(d.ok->isEnabled());
    d.DoubleClick("Gamma");
    ASSERT_TRUE(d.BoxShows(tmp_ / "Gamma"));
    EXPECT_TRUE(d.ok->isEnabled());
    for (const QString& text : {Q(tmp_ / "Alpha"), QString("nowhere"), QString()}) {
      d.file_name->setText(text);
      EXPECT_TRUE(d.ok->isEnabled()) << text.toStdString();
    }
    d.dialog->setDirectory(QString());
    ASSERT_TRUE(WaitUntil([&] { return !d.ok->isEnabled(); }));
    d.dialog->setDirectory(Q(tmp_.path()));
    EXPECT_TRUE(WaitUntil([&] { return d.ok->isEnabled(); }));
    QTest::keyClick(d.dialog, Qt::Key_Escape);
  });
}

// Answers the next message box with `answer` where it has that button (else its first button),
// recording its caption and text.
struct MessageBoxSeen {
  std::string caption;
  std::string text;
};
void AnswerNextMessageBox(MessageBoxSeen& seen, QObject& context,
                          QMessageBox::StandardButton answer = QMessageBox::No) {
  QTimer::singleShot(10, &context, [&seen, &context, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      AnswerNextMessageBox(seen, context, answer);
      return;
    }
    seen = {box->windowTitle().toStdString(), box->text().toStdString()};
    QAbstractButton* button = box->button(answer);
    QTest::mouseClick(button != nullptr ? button : box->buttons().front(), Qt::LeftButton);
  });
}

// Every way of pressing OK acts as the click does: the folder shown or typed is chosen, a typed
// folder that does not exist brings the question, and Yes makes it and chooses it.
struct PressWay {
  const char* name;
  std::function<void(DialogParts&)> press;
};

void PrintTo(const PressWay& way, std::ostream* out) {
  *out << way.name;
}

class FolderDialogPressTest : public FolderDialogTest,
                              public testing::WithParamInterface<PressWay> {};

TEST_P(FolderDialogPressTest, ChoosesTheFolderShown) {
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    GetParam().press(d);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_.path());
  EXPECT_EQ(GetCurrentDir(), tmp_.path());
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"show", "folder", "close"}));
}

TEST_P(FolderDialogPressTest, ChoosesATypedFolder) {
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    d.file_name->setText("Gamma");
    GetParam().press(d);
  });
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Gamma");
  EXPECT_EQ(GetCurrentDir(), tmp_ / "Gamma");
}

TEST_P(FolderDialogPressTest, ATypedMissingFolderIsAskedForAndMadeOnYes) {
  Application.Title = "LORVANTE";
  MessageBoxSeen seen;
  const std::string wanted = tmp_ / "Uj/Mappa";
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    d.file_name->setText(Q(wanted));
    AnswerNextMessageBox(seen, context_, QMessageBox::Yes);
    GetParam().press(d);
  });
  EXPECT_EQ(seen.caption, "LORVANTE");
  EXPECT_EQ(seen.text, wanted + "\nThis folder does not exist.\nCreate it?");
  ASSERT_TRUE(chosen);
  EXPECT_TRUE(fs::is_directory(wanted));
  EXPECT_EQ(dialog_.Directory(), wanted);
  EXPECT_EQ(GetCurrentDir(), wanted);
}

TEST_P(FolderDialogPressTest, NoToTheQuestionKeepsTheDialogOpen) {
  Application.Title = "LORVANTE";
  MessageBoxSeen seen;
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    d.file_name->setText("Missing");
    AnswerNextMessageBox(seen, context_, QMessageBox::No);
    GetParam().press(d);
    ASSERT_TRUE(WaitUntil([&] { return !seen.text.empty(); }));
    QTest::qWait(20);
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_EQ(d.Box(), "Missing");  // the name stays, to be corrected
    QTest::keyClick(d.dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(seen.text, (tmp_ / "Missing") + "\nThis folder does not exist.\nCreate it?");
  EXPECT_FALSE(fs::exists(tmp_ / "Missing"));
  EXPECT_EQ(GetCurrentDir(), start_dir_);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, FolderDialogPressTest,
    testing::Values(PressWay{"Click",
                             [](DialogParts& d) { QTest::mouseClick(d.ok, Qt::LeftButton); }},
                    PressWay{"EnterInTheNameBox",
                             [](DialogParts& d) {
                               d.file_name->setFocus();
                               QTest::keyClick(d.file_name, Qt::Key_Return);
                             }},
                    PressWay{"SpaceOnTheButton",
                             [](DialogParts& d) {
                               d.ok->setFocus();
                               QTest::keyClick(d.ok, Qt::Key_Space);
                             }},
                    PressWay{"Mnemonic",
                             [](DialogParts& d) {
                               const QKeySequence mnemonic = QKeySequence::mnemonic(d.ok->text());
                               ASSERT_FALSE(mnemonic.isEmpty()) << d.ok->text().toStdString();
                               QTest::keySequence(d.dialog->windowHandle(), mnemonic);
                             }}),
    [](const testing::TestParamInfo<PressWay>& param_info) { return param_info.param.name; });

// A typed folder that does not exist: OK asks whether to make it, naming the folder; on No
// the dialog must not choose the folder it shows instead. A typed name relative to the folder
// shown is named in full.
TEST_F(FolderDialogTest, ATypedMissingFolderKeepsTheDialogOpenWithAMessage) {
  Application.Title = "LORVANTE";
  for (const std::string& typed : {std::string(tmp_ / "Missing"), std::string("Missing")}) {
    SCOPED_TRACE(typed);
    events_.clear();
    MessageBoxSeen seen;
    const bool chosen = Execute([&](DialogParts& d) {
      ASSERT_TRUE(d.BoxShows(tmp_.path()));
      d.file_name->setText(Q(typed));
      AnswerNextMessageBox(seen, context_);
      QTest::mouseClick(d.ok, Qt::LeftButton);
      EXPECT_EQ(seen.caption, "LORVANTE");
      EXPECT_EQ(seen.text, (tmp_ / "Missing") + "\nThis folder does not exist.\nCreate it?");
      QTest::qWait(20);
      EXPECT_TRUE(d.dialog->isVisible());
      EXPECT_FALSE(d.ok->isDown());
      EXPECT_EQ(d.Box(), typed);  // the name stays, to be corrected
      QTest::keyClick(d.dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(chosen);
    EXPECT_FALSE(fs::exists(tmp_ / "Missing"));
    EXPECT_EQ(GetCurrentDir(), start_dir_);
  }
}

// A typed folder that exists is chosen with one click on OK, even while the name completion's
// list is open (the click goes through the window, as a user's does).
TEST_F(FolderDialogTest, OneClickOnOkChoosesATypedFolderWithTheCompletionOpen) {
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    d.file_name->setFocus();
    d.file_name->clear();
    QTest::keyClicks(d.file_name, Q(tmp_ / "Alph"));
    QWidget* popup = d.file_name->completer()->popup();
    ASSERT_TRUE(WaitUntil([&] { return popup->isVisible(); }));
    QTest::keyClicks(popup, "a");
    ASSERT_EQ(d.Box(), tmp_ / "Alpha");
    ASSERT_TRUE(popup->isVisible());
    const QPoint at = d.ok->mapTo(d.dialog, d.ok->rect().center());
    QTest::mouseClick(d.dialog->windowHandle(), Qt::LeftButton, {}, at);
  });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog_.Directory(), tmp_ / "Alpha");
  EXPECT_EQ(GetCurrentDir(), tmp_ / "Alpha");
}

// A typed folder whose name holds double quotes is that folder, whether typed in full, relative
// to the folder shown or from the home folder: Qt's dialog would read "Alpha" out of it and
// open the Alpha that the folder shown holds, or choose the folder shown.
TEST_F(FolderDialogTest, ATypedFolderWithQuotesIsChosenLiterally) {
  const std::string quoted = tmp_ / "Project \"Alpha\"";
  fs::create_directories(quoted);
  test::ScopedEnv home("HOME", tmp_.path());
  for (const std::string& typed :
       {quoted, std::string("Project \"Alpha\""), std::string("~/Project \"Alpha\"")}) {
    SCOPED_TRACE(typed);
    events_.clear();
    const bool chosen = Execute([&](DialogParts& d) {
      ASSERT_TRUE(d.BoxShows(tmp_.path()));
      d.file_name->setFocus();
      d.file_name->clear();
      QTest::keyClicks(d.file_name, Q(typed));
      if (QWidget* popup = d.file_name->completer()->popup(); popup->isVisible()) popup->hide();
      QTest::mouseClick(d.ok, Qt::LeftButton);
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(dialog_.Directory(), quoted);
    EXPECT_EQ(GetCurrentDir(), quoted);
    ASSERT_TRUE(fs::exists(start_dir_));
    fs::current_path(start_dir_);
  }
}

// The same with a typed name that names no folder: one click shows the message once, and the
// dialog stays.
TEST_F(FolderDialogTest, OneClickOnOkWithTheCompletionOpenChecksATypedFolder) {
  Application.Title = "LORVANTE";
  int boxes = 0;
  MessageBoxSeen seen;
  const bool chosen = Execute([&](DialogParts& d) {
    ASSERT_TRUE(d.BoxShows(tmp_.path()));
    d.file_name->setFocus();
    d.file_name->clear();
    QTest::keyClicks(d.file_name, Q(tmp_ / "Alph"));
    QWidget* popup = d.file_name->completer()->popup();
    ASSERT_TRUE(WaitUntil([&] { return popup->isVisible(); }));
    ASSERT_EQ(d.Box(), tmp_ / "Alph");  // no such folder, though the list offers Alpha
    AnswerNextMessageBox(seen, context_);
    const QPoint at = d.ok->mapTo(d.dialog, d.ok->rect().center());
    QTest::mouseClick(d.dialog->windowHandle(), Qt::LeftButton, {}, at);
    if (!seen.text.empty()) ++boxes;
    QTest::qWait(50);
    EXPECT_TRUE(d.dialog->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), d.dialog);  // no second box
    QTest::keyClick(d.dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(seen.text, (tmp_ / "Alph") + "\nThis folder does not exist.\nCreate it?");
}

TEST_F(FolderDialogTest, AnErrorInAnEventHandlerClosesTheDialogAndIsPassedOn) {
  dialog_.OnFolderChange = [](TObject*) { throw std::runtime_error("handler failed"); };
  dialog_.OnShow = Logger("show");  // no script: the error alone closes the dialog
  EXPECT_THROW(dialog_.Execute(), std::runtime_error);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(EventNames(), (std::vector<std::string>{"show", "close"}));
  EXPECT_EQ(dialog_.Directory(), "");
  EXPECT_EQ(GetCurrentDir(), start_dir_);
}

}  // namespace
}  // namespace lorvante
