#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "ClickedLabel.h"
#include "EventWait.h"
#include "ToolTip.h"
#include "RowName.h"

namespace {

QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }

struct QuadrantCase {
  const char* name;
  QPoint offset;  // from the screen's centre
  bool right, down;
};

const QuadrantCase kQuadrants[] = {
    {"TopLeftOpensRightDown", {-200, -150}, true, true},
    {"TopRightOpensLeftDown", {200, -150}, false, true},
    {"BottomLeftOpensRightUp", {-200, 150}, true, false},
    {"BottomRightOpensLeftUp", {200, 150}, false, false},
    {"CentreOpensRightDown", {0, 0}, true, true},
};

class ToolTipPlacementTest : public ::testing::TestWithParam<QuadrantCase> {};

TEST_P(ToolTipPlacementTest, TipSitsOnTheTarget) {
  const QuadrantCase& c = GetParam();
  CToolTip tip(nullptr);
  ToolTipStyle style;
  style.showTime = -1;
  tip.setTipStyle(style);
  const QPoint target = Screen().center() + c.offset;
  tip.showTip(target, QStringLiteral("Here resizable."));
  ASSERT_TRUE(tip.isVisible());
  const QRect box = tip.geometry();
  EXPECT_EQ(tip.pos() + tip.pointer()[0], target);
  EXPECT_EQ(box.left() == target.x(), c.right);
  EXPECT_EQ(box.top() == target.y(), c.down);
  EXPECT_EQ(tip.contentsMargins(), c.down ? QMargins(0, 20, 0, 0) : QMargins(0, 0, 0, 20));
  // The pointer's base is 30 wide and 21 below or above the tip.
  EXPECT_EQ(tip.pointer()[2].x() - tip.pointer()[1].x(), 30);
  EXPECT_EQ(tip.pointer()[1].y() - tip.pointer()[0].y(), c.down ? 21 : -21);
  EXPECT_EQ(tip.pointer()[1].x(), c.right ? 10 : box.width() - 40);
}

INSTANTIATE_TEST_SUITE_P(Quadrants, ToolTipPlacementTest, ::testing::ValuesIn(kQuadrants), RowName());

TEST(ToolTipPlacementTest, WithoutPointerCentredOnTarget) {
  CToolTip tip(nullptr);
  ToolTipStyle style;
  style.pointerOn = 0;
  tip.setTipStyle(style);
  const QPoint target = Screen().center() + QPoint(100, 100);
  tip.showTip(target, QStringLiteral("Here resizable."));
  EXPECT_EQ(tip.pos(), target - QPoint(tip.width() / 2, tip.height() / 2));
}

struct WidthCase {
  int natural;
  int width;
};

class ToolTipWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(ToolTipWidthTest, LabelWidth) { EXPECT_EQ(CToolTip::labelWidthFor(GetParam().natural), GetParam().width); }

INSTANTIATE_TEST_SUITE_P(Naturals, ToolTipWidthTest,
                         ::testing::Values(WidthCase{100, 180}, WidthCase{149, 180}, WidthCase{150, 150},
                                           WidthCase{170, 170}, WidthCase{209, 209}, WidthCase{210, 180},
                                           WidthCase{500, 180}, WidthCase{999, 180}, WidthCase{1000, 250},
                                           WidthCase{1200, 300}),
                         [](const auto& info) { return "Natural" + std::to_string(info.param.natural); });

TEST(ToolTipTextTest, ShortTextCentredLongTextWrapsLeft) {
  CToolTip tip(nullptr);
  tip.showTip(Screen().center(), QStringLiteral("Hi"));
  EXPECT_EQ(tip.label()->width(), 180);
  EXPECT_EQ(tip.label()->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);

  QString text;
  while (tip.label()->fontMetrics().horizontalAdvance(text) < 1200) text += QStringLiteral("resizable area ");
  tip.showTip(Screen().center(), text);
  const int natural = tip.label()->fontMetrics().horizontalAdvance(text);
  EXPECT_NEAR(tip.label()->width(), natural / 4, 2);
  EXPECT_EQ(tip.label()->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
  EXPECT_TRUE(tip.label()->wordWrap());
  EXPECT_GT(tip.label()->height(), 2 * tip.label()->fontMetrics().height());
}

TEST(ToolTipTextTest, TextColourFromStyle) {
  CToolTip tip(nullptr);
  ToolTipStyle style;
  style.textColor = QColor(10, 20, 30, 40);
  tip.setTipStyle(style);
  tip.showTip(Screen().center(), QStringLiteral("Hi"));
  EXPECT_EQ(tip.label()->styleSheet(), "color: rgba(10, 20, 30, 40);");
}

TEST(ToolTipCloseTest, ClickClosesWhenAsked) {
  for (int closeOnClick : {1, 0}) {
    CToolTip tip(nullptr);
    ToolTipStyle style;
    style.showTime = -1;
    style.closeOnClick = closeOnClick;
    tip.setTipStyle(style);
    tip.showTip(Screen().center(), QStringLiteral("Here resizable."));
    QTest::mouseClick(tip.label(), Qt::LeftButton);
    EXPECT_EQ(tip.isVisible(), closeOnClick == 0) << "closeOnClick " << closeOnClick;
  }
}

TEST(ToolTipCloseTest, ClosesWhenTheParentHides) {
  QWidget parent;
  parent.resize(300, 200);
  parent.show();
  CToolTip tip(&parent);
  ToolTipStyle style;
  style.showTime = -1;
  tip.setTipStyle(style);
  tip.showTip(Screen().center(), QStringLiteral("Here resizable."));
  Settle(300);
  EXPECT_TRUE(tip.isVisible());
  parent.hide();
  EXPECT_TRUE(WaitFor([&] { return !tip.isVisible(); }, 1000));
}

TEST(ToolTipCloseTest, ShowTimeEnds) {
  CToolTip tip(nullptr);
  ToolTipStyle style;
  style.showTime = 50;
  tip.setTipStyle(style);
  tip.showTip(Screen().center(), QStringLiteral("Here resizable."));
  EXPECT_TRUE(tip.isVisible());
  EXPECT_TRUE(WaitFor([&] { return !tip.isVisible(); }, 2000));
}

TEST(ToolTipPaintTest, OutlineFilledPointerIncluded) {
  CToolTip tip(nullptr);
  ToolTipStyle style;
  style.showTime = -1;
  style.fillColor = QColor(0, 200, 0);
  tip.setTipStyle(style);
  const QPoint target = Screen().center() - QPoint(200, 150);  // opens right and down
  tip.showTip(target, QStringLiteral("Here resizable."));
  const QImage shot = tip.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(qAlpha(shot.pixel(shot.width() - 2, 5)), 0);                    // beside the pointer
  EXPECT_EQ(shot.pixel(25, 18), qRgba(0, 200, 0, 255));                      // inside the pointer
  EXPECT_EQ(shot.pixel(shot.width() / 2, shot.height() - 5), qRgba(0, 200, 0, 255));  // the body
}

}  // namespace
