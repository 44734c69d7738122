// The open dialog of the Qt front end, driven in-process on the offscreen platform: what it
// offers (title, folder, filters), what each filter lists (the program's file types by content,
// whatever the name), a typed existing file chosen with Return, a missing one not accepted,
// Escape cancelling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <ostream>

#include "tests/support/qt_dialog_support.h"
#include "tests/support/test_support.h"
#include "ui/qt/qt_ui.h"

// Names printed as text when a check fails.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

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

QListView& FileList(QFileDialog& dialog) {
  auto* view = dialog.findChild<QListView*>("listView");
  if (view == nullptr) throw std::logic_error("no file list");
  return *view;
}

// The names the dialog's list shows, once it shows `expected` (or after a while), sorted.
QStringList Listed(QFileDialog& dialog, const QStringList& expected) {
  QListView& view = FileList(dialog);
  const auto names = [&view] {
    QStringList out;
    const QModelIndex root = view.rootIndex();
    for (int row = 0; row < view.model()->rowCount(root); ++row) {
      out << view.model()->index(row, 0, root).data().toString();
    }
    out.sort();
    return out;
  };
  static_cast<void>(QTest::qWaitFor([&] { return names() == expected; }, 5000));
  QTest::qWait(100);  // a file listed late would show here
  return names();
}

// Chooses an entry of the filter list as a user does, with the keyboard.
void PickFilter(QFileDialog& dialog, Qt::Key key) {
  auto* combo = dialog.findChild<QComboBox*>("fileTypeCombo");
  if (combo == nullptr) throw std::logic_error("no filter list");
  QTest::keyClick(combo, key);
}

// The program's file types in the type database of the scratch home, as an install puts them in
// the system's: present before the first dialog looks at a file's type.
class FileTypes : public testing::Environment {
 public:
  void SetUp() override {
    const std::filesystem::path packages =
        std::filesystem::path(qEnvironmentVariable("XDG_DATA_HOME").toStdString()) / "mime" /
        "packages";
    std::filesystem::create_directories(packages);
    std::filesystem::copy_file(LORVANTE_MIME_XML, packages / "org.lorvante.Lorvante.mime.xml",
                               std::filesystem::copy_options::overwrite_existing);
  }
};
const testing::Environment* const kFileTypes = testing::AddGlobalTestEnvironment(new FileTypes);

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

// The first entry lists the encrypted files by their ending and the program's types by their
// content, so that a tagged file without the ending is there and can be chosen from the list;
// "all files" lists the rest too.
TEST_F(QtOpenDialog, FirstEntryListsTheProgramsTypesWhateverTheirNames) {
  request.first_filter_types = {"application/x-lorvante-bare", "application/x-lorvante-tagged"};
  test::WriteText(dir / "negyedeves", std::string("DESM4G!C11") + std::string(22, '\x5a'));
  test::WriteText(dir / "jegyzet.txt", "plain notes\n");
  QStringList first, all, first_again;
  OnDialog([&](QFileDialog& dialog) {
    first = Listed(dialog, {"jelentes.txt.des", "negyedeves"});
    PickFilter(dialog, Qt::Key_Down);
    all = Listed(dialog, {"jegyzet.txt", "jelentes.txt.des", "negyedeves"});
    PickFilter(dialog, Qt::Key_Up);
    first_again = Listed(dialog, {"jelentes.txt.des", "negyedeves"});
    QListView& view = FileList(dialog);
    const QModelIndexList found = view.model()->match(view.model()->index(0, 0, view.rootIndex()),
                                                      Qt::DisplayRole, "negyedeves");
    if (found.isEmpty()) {
      QTest::keyClick(&dialog, Qt::Key_Escape);
      return;
    }
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(found[0]).center());
    auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
    QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
    if (dialog.isVisible()) QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_EQ(ui.OpenDialog(request), dir / "negyedeves");
  EXPECT_EQ(first, (QStringList{"jelentes.txt.des", "negyedeves"}));
  EXPECT_EQ(all, (QStringList{"jegyzet.txt", "jelentes.txt.des", "negyedeves"}));
  EXPECT_EQ(first_again, first);
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
