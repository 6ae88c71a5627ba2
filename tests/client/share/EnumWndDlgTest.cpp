#include <gtest/gtest.h>

#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <platform/User.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <memory>

#include "ChildProcess.h"
#include "EnumWndDlg.h"
#include "EventWait.h"
#include "FakeSdk.h"
#include "MainWnd.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "ShareTestSupport.h"
#include "TitleBar.h"
#include "XWindowManager.h"
#include "XWindows.h"

namespace {

class EnumWndDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(windows_.started());
    ASSERT_NE(listed_ = windows_.Open("listed", 50, 50, 200, 100, 0x336699), 0u);
    ASSERT_TRUE(windows_.Title("listed", "net", "Listed program"));
    ASSERT_TRUE(windows_.NetIcon("listed", "16x16,32x32", 0x00ff00));
    ASSERT_NE(windows_.Open("untitled", 60, 60, 200, 100, 0x222222), 0u);
    ASSERT_NE(windows_.Open("owned", 70, 70, 100, 50, 0x333333, "owner=listed"), 0u);
    ASSERT_TRUE(windows_.Title("owned", "net", "Owned dialog"));
    ASSERT_NE(windows_.Open("tool", 80, 80, 100, 50, 0x444444, "type=utility"), 0u);
    ASSERT_TRUE(windows_.Title("tool", "net", "Tool palette"));
    ASSERT_NE(windows_.Open("classicon", 90, 90, 100, 50, 0x555555), 0u);
    ASSERT_TRUE(windows_.Title("classicon", "wm", "Class icon only"));
    ASSERT_TRUE(windows_.HintIcon("classicon", 24, 24, 0xff0000, false));
    own_.setWindowTitle(QStringLiteral("Corvane main"));
    own_.setGeometry(400, 400, 200, 100);
    own_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own_));
  }

  // Row of the title, -1 when not listed.
  static int RowOf(const CEnumWndDlg& dialog, const QString& title) {
    const auto found = dialog.model()->findItems(title);
    return found.isEmpty() ? -1 : found.first()->row();
  }

  XWindows windows_;
  unsigned long listed_ = 0;
  QWidget own_;
};

TEST_F(EnumWndDlgTest, ListsTitledUnownedWindowsWithIcons) {
  CEnumWndDlg dialog;
  const QStandardItemModel* model = dialog.model();
  EXPECT_EQ(RowOf(dialog, "Owned dialog"), -1);
  EXPECT_EQ(RowOf(dialog, "Tool palette"), -1);
  for (int row = 0; row < model->rowCount(); ++row) EXPECT_FALSE(model->item(row)->text().isEmpty());
  const int listed = RowOf(dialog, "Listed program");
  const int own = RowOf(dialog, "Corvane main");
  const int classIcon = RowOf(dialog, "Class icon only");
  ASSERT_GE(listed, 0);
  ASSERT_GE(own, 0) << "the client's own main window is listed";
  ASSERT_GE(classIcon, 0);
  EXPECT_LT(listed, classIcon) << "bottom of the stacking order first";
  EXPECT_EQ(model->item(listed)->data(CEnumWndDlg::WindowRole).toULongLong(), listed_);
  EXPECT_EQ(model->item(own)->data(CEnumWndDlg::WindowRole).toULongLong(), own_.winId());
  const QImage big = model->item(listed)->icon().pixmap(32, 32).toImage();
  EXPECT_EQ(big.pixel(4, 4) & 0xffffffu, 0x00ff00u);
  const QImage fromHints = model->item(classIcon)->icon().pixmap(24, 24).toImage();
  EXPECT_EQ(fromHints.pixel(4, 4) & 0xffffffu, 0xff0000u);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select the program you want to share"));
  EXPECT_EQ(dialog.size(), QSize(500, 400));
}

TEST_F(EnumWndDlgTest, StartShareWithoutSelectionShowsTheNoticeAndStays) {
  CEnumWndDlg dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  NoticeCatcher notices;
  dialog.findChild<QPushButton*>(QStringLiteral("startAppShare"))->click();
  EXPECT_EQ(notices.texts, QStringList{"Please select a program you want to share!"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
}

TEST_F(EnumWndDlgTest, DoubleClickAcceptsThatRow) {
  CEnumWndDlg dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* list = dialog.findChild<QTableView*>(QStringLiteral("WndList"));
  const int row = RowOf(dialog, "Listed program");
  ASSERT_GE(row, 0);
  const QRect cell = list->visualRect(dialog.model()->index(row, 0));
  // A real double-click: press and release, then the double-click press.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedWnd(), AsHwnd(listed_));
  EXPECT_EQ(dialog.selectedTitle(), QStringLiteral("Listed program"));
}

TEST_F(EnumWndDlgTest, StartShareTakesTheSelectedRow) {
  CEnumWndDlg dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* list = dialog.findChild<QTableView*>(QStringLiteral("WndList"));
  const int row = RowOf(dialog, "Corvane main");
  ASSERT_GE(row, 0);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(dialog.model()->index(row, 0)).center());
  dialog.findChild<QPushButton*>(QStringLiteral("startAppShare"))->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedWnd(), AsHwnd(own_.winId()));
}

TEST_F(EnumWndDlgTest, CancelAndCloseReject) {
  for (int way = 0; way < 3; ++way) {
    CEnumWndDlg dialog;
    dialog.setResult(-1);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    if (way == 0) dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    if (way == 1) dialog.titleBar()->titleButton(1)->click();
    if (way == 2) dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << "way " << way;
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.selectedWnd(), nullptr);
  }
}

// Real Qt windows, the client's own main window and another program's: Qt
// makes every parentless dialog transient for a hidden client leader of its
// program, which owns nothing, while a dialog with a parent is owned by it.
struct ScreenCase {
  const char* name;
  bool managed;
};

class EnumWndDlgQtWindowsTest : public ::testing::TestWithParam<ScreenCase> {};

// Row of the title, -1 when not listed.
int RowIn(const CEnumWndDlg& dialog, const QString& title) {
  const auto found = dialog.model()->findItems(title);
  return found.isEmpty() ? -1 : found.first()->row();
}

unsigned long TransientFor(unsigned long window) {
  std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
  Window owner = None;
  if (display && !XGetTransientForHint(display.get(), window, &owner)) owner = None;
  return owner;
}

TEST_P(EnumWndDlgQtWindowsTest, ListsParentlessDialogsAndLeavesOwnedOnesToTheirOwner) {
  std::unique_ptr<XWindowManager> manager(GetParam().managed ? new XWindowManager : nullptr);
  if (manager) {
    ASSERT_TRUE(manager->running()) << "openbox did not start";
  }
  fakesdk::Reset();
  ScopedTempDir dir("chooser");
  ASSERT_TRUE(dir.ok());
  const std::string output = (dir.path() / "foreign.txt").string();
  ChildProcess foreign;
  ASSERT_TRUE(foreign.start({CORVANE_FOREIGN_DIALOGS, "60"}, output));
  unsigned long long foreignMain = 0, owned = 0, parentless = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        // Qt's own warnings share the file.
        const std::string text = ReadWholeFile(output);
        const size_t ready = text.find("ready ");
        return ready != std::string::npos && std::sscanf(text.c_str() + ready, "ready %llu %llu %llu", &foreignMain,
                                                         &owned, &parentless) == 3;
      },
      20000))
      << ReadWholeFile(output);
  MainWnd own;
  own.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
  // What hid them from the chooser: both dialogs name a window they are transient for.
  EXPECT_NE(TransientFor(own.winId()), 0u);
  EXPECT_NE(TransientFor(parentless), 0u);
  // The owned dialog is there to be listed but for its owner; a window
  // manager frames the windows in its own time.
  ASSERT_TRUE(WaitFor([&] {
    return IsWindowVisible(AsHwnd(owned)) && GetWindowLongW(AsHwnd(owned), GWL_HWNDPARENT) == static_cast<LONG>(foreignMain);
  }, 10000));
  EXPECT_TRUE(WaitFor(
      [&] {
        CEnumWndDlg chooser;
        return RowIn(chooser, "Corvane") >= 0 && RowIn(chooser, "Foreign main") >= 0 &&
               RowIn(chooser, "Foreign dialog") >= 0;
      },
      10000));
  CEnumWndDlg chooser;
  const QStandardItemModel* model = chooser.model();
  const int ownRow = RowIn(chooser, "Corvane");
  const int parentlessRow = RowIn(chooser, "Foreign dialog");
  ASSERT_GE(ownRow, 0) << "the client's own main window";
  ASSERT_GE(parentlessRow, 0) << "another program's parentless dialog";
  ASSERT_GE(RowIn(chooser, "Foreign main"), 0);
  EXPECT_EQ(RowIn(chooser, "Foreign owned"), -1);
  EXPECT_EQ(model->item(ownRow)->data(CEnumWndDlg::WindowRole).toULongLong(), own.winId());
  EXPECT_EQ(model->item(parentlessRow)->data(CEnumWndDlg::WindowRole).toULongLong(), parentless);
  foreign.kill();
}

INSTANTIATE_TEST_SUITE_P(Screens, EnumWndDlgQtWindowsTest,
                         ::testing::Values(ScreenCase{"Bare", false}, ScreenCase{"Framed", true}), RowName());

// No fixture: with nothing on the screen the list is empty, and only Cancel ends it.
TEST(EnumWndDlgEmptyTest, EmptyListCanOnlyBeCancelled) {
  CEnumWndDlg dialog;
  ASSERT_EQ(dialog.model()->rowCount(), 0);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  {
    NoticeCatcher notices;
    dialog.findChild<QPushButton*>(QStringLiteral("startAppShare"))->click();
    EXPECT_EQ(notices.texts.size(), 1);
  }
  EXPECT_TRUE(dialog.isVisible());
  dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

}  // namespace
