#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFrame>
#include <QLayout>
#include <QMouseEvent>
#include <QTest>

#include "EventWait.h"
#include "NoNCDialog.h"
#include "StandardTitleBar.h"
#include "RowName.h"

namespace {

enum class State { Normal, Maximized, Minimized };

struct ButtonCase {
  const char* name;
  int flags;
  State state;
  bool minimize, restore, maximize, close;
};

const ButtonCase kButtonCases[] = {
    {"CloseOnlyNormal", 1, State::Normal, false, false, false, true},
    {"CloseOnlyMaximized", 1, State::Maximized, false, false, false, true},
    {"CloseOnlyMinimized", 1, State::Minimized, false, false, false, true},
    {"AllNormal", 7, State::Normal, true, false, true, true},
    {"AllMaximized", 7, State::Maximized, true, true, false, true},
    {"AllMinimized", 7, State::Minimized, false, true, true, true},
};

void SetState(QWidget& window, State state) {
  if (state == State::Maximized) window.showMaximized();
  if (state == State::Minimized) window.showMinimized();
  if (state == State::Normal) window.showNormal();
  QCoreApplication::processEvents();
}

struct Dialog {
  explicit Dialog(int flags) : bar(new StandardTitleBar(&dialog, flags)) {
    dialog.setTitleBar(bar, true);
    dialog.resize(300, 200);
    dialog.move(100, 100);
  }
  bool Shown(int kind) const { return bar->titleButton(kind) && !bar->titleButton(kind)->isHidden(); }
  QAbstractButton* Restore() const { return bar->findChild<QAbstractButton*>(QStringLiteral("titleRestoreBtn")); }
  QNoNCDialog dialog;
  StandardTitleBar* bar;
};

class TitleBarButtonsTest : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(TitleBarButtonsTest, VisibleButtonsFollowState) {
  const ButtonCase& c = GetParam();
  Dialog d(c.flags);
  d.dialog.show();
  SetState(d.dialog, c.state);
  EXPECT_EQ(d.Shown(TitleBar::MinimizeFlag), c.minimize);
  EXPECT_EQ(!d.Restore()->isHidden(), c.restore);
  EXPECT_EQ(d.Shown(TitleBar::MaximizeFlag), c.maximize);
  EXPECT_EQ(d.Shown(TitleBar::CloseFlag), c.close);
}

INSTANTIATE_TEST_SUITE_P(FlagsAndStates, TitleBarButtonsTest, ::testing::ValuesIn(kButtonCases), RowName());

TEST(TitleBarTest, TitleButtonKinds) {
  Dialog d(7);
  EXPECT_EQ(d.bar->titleButton(1)->objectName(), "titleCloseBtn");
  EXPECT_EQ(d.bar->titleButton(2)->objectName(), "titleMaxBtn");
  EXPECT_EQ(d.bar->titleButton(4)->objectName(), "titleMinBtn");
  EXPECT_EQ(d.bar->titleButton(0), nullptr);
  EXPECT_EQ(d.bar->titleButton(3), nullptr);
}

TEST(TitleBarTest, FormKeepsBarNameAndHeight) {
  Dialog d(1);
  d.dialog.show();
  EXPECT_EQ(d.bar->objectName(), "dlgTitleBarROUND");
  EXPECT_EQ(d.bar->height(), 40);
  EXPECT_EQ(d.bar->titleButton(1)->toolTip(), "Close");
  EXPECT_EQ(d.bar->titleButton(1)->focusPolicy(), Qt::NoFocus);
}

TEST(TitleBarTest, WindowFlagsFollowButtons) {
  Dialog closeOnly(1);
  EXPECT_TRUE(closeOnly.dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(closeOnly.dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(closeOnly.dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  Dialog all(7);
  EXPECT_TRUE(all.dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(all.dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(all.dialog.windowFlags() & Qt::FramelessWindowHint);
}

TEST(TitleBarTest, DoubleClickMaximizesAndRestoresOnlyWithTheButtons) {
  Dialog closeOnly(1);
  closeOnly.dialog.show();
  QTest::mouseDClick(closeOnly.bar, Qt::LeftButton, {}, QPoint(50, 20));
  EXPECT_FALSE(closeOnly.dialog.isMaximized());

  Dialog all(7);
  all.dialog.show();
  QTest::mouseDClick(all.bar, Qt::RightButton, {}, QPoint(50, 20));
  QCoreApplication::processEvents();
  EXPECT_FALSE(all.dialog.isMaximized());
  QTest::mouseDClick(all.bar, Qt::LeftButton, {}, QPoint(50, 20));
  QCoreApplication::processEvents();
  EXPECT_TRUE(all.dialog.isMaximized());
  QTest::mouseDClick(all.bar, Qt::LeftButton, {}, QPoint(50, 20));
  QCoreApplication::processEvents();
  EXPECT_FALSE(all.dialog.isMaximized());
}

TEST(TitleBarTest, CloseButtonRejects) {
  Dialog d(1);
  d.dialog.show();
  d.bar->titleButton(1)->click();
  EXPECT_FALSE(d.dialog.isVisible());
  EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
}

class DragTest : public ::testing::TestWithParam<Qt::MouseButton> {
 protected:
  void Move(const QPoint& pos) {
    QMouseEvent event(QEvent::MouseMove, pos, d.bar->mapToGlobal(pos), Qt::NoButton, GetParam(), Qt::NoModifier);
    QCoreApplication::sendEvent(d.bar, &event);
  }
  Dialog d{1};
};

TEST_P(DragTest, BarDragsTheWindow) {
  d.dialog.show();
  const QPoint start = d.dialog.pos();
  QTest::mousePress(d.bar, GetParam(), {}, QPoint(50, 20));
  Move(QPoint(80, 35));
  EXPECT_EQ(d.dialog.pos(), start + QPoint(30, 15));
  Move(QPoint(60, 25));  // measured against the same point of the moved window
  EXPECT_EQ(d.dialog.pos(), start + QPoint(40, 20));
  QTest::mouseRelease(d.bar, GetParam(), {}, QPoint(60, 25));
  Move(QPoint(90, 90));
  EXPECT_EQ(d.dialog.pos(), start + QPoint(40, 20));
}

TEST_P(DragTest, MaximizedWindowStays) {
  d.dialog.show();
  d.dialog.showMaximized();
  QCoreApplication::processEvents();
  const QRect maximized = d.dialog.geometry();
  QTest::mousePress(d.bar, GetParam(), {}, QPoint(50, 20));
  Move(QPoint(80, 35));
  QTest::mouseRelease(d.bar, GetParam(), {}, QPoint(80, 35));
  EXPECT_EQ(d.dialog.geometry(), maximized);
}

INSTANTIATE_TEST_SUITE_P(Buttons, DragTest, ::testing::Values(Qt::LeftButton, Qt::RightButton),
                         [](const auto& info) { return info.param == Qt::LeftButton ? "Left" : "Right"; });

}  // namespace
