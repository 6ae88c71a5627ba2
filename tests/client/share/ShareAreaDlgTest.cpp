#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "EventWait.h"
#include "FWIniDatFile.h"
#include "ShareAreaDlg.h"
#include "ShareTestSupport.h"
#include "ToolTip.h"
#include "XScreen.h"
#include "XWindows.h"
#include "RowName.h"

namespace {

struct ZoneCase {
  const char* name;
  int x, y;
  int zone;
};

// A 300 x 200 window: the tab spans 110..190.
const ZoneCase kZoneCases[] = {
    {"TopLeftCornerBelowTheTopLine", 5, 12, 3},
    {"TopLeftCornerLastRow", 10, 19, 3},
    {"LeftEdge", 10, 20, 5},
    {"BottomLeftCorner", 0, 191, 8},
    {"LeftEdgeAtBottomBound", 0, 190, 5},
    {"TopRightCorner", 291, 0, 4},
    {"RightEdge", 295, 100, 6},
    {"BottomRightCorner", 299, 199, 9},
    {"TabLeftEnd", 110, 14, 1},
    {"TabRightEnd", 190, 0, 1},
    {"TopEdgeLeftOfTab", 109, 5, 2},
    {"TopEdgeRightOfTab", 191, 14, 2},
    {"BottomEdge", 150, 191, 7},
    {"Inside", 150, 15, 0},
    {"InsideAboveBottom", 11, 190, 0},
};

class ZoneTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneTest, Zone) {
  EXPECT_EQ(CShareAreaDlg::hitZone(QPoint(GetParam().x, GetParam().y), QSize(300, 200)), GetParam().zone);
}

INSTANTIATE_TEST_SUITE_P(Frame, ZoneTest, ::testing::ValuesIn(kZoneCases), RowName());

TEST(ShareAreaGeometryTest, FrameAndAreaAreInverse) {
  const QRect area(100, 200, 640, 480);
  EXPECT_EQ(CShareAreaDlg::frameRectForArea(area), QRect(96, 186, 648, 498));
  EXPECT_EQ(CShareAreaDlg::areaRectForFrame(CShareAreaDlg::frameRectForArea(area)), area);
}

constexpr int kSetting = 0;

int ShowShareInfo() { return FWIniDatFile::instance().getInt("showShareInfo", kSetting, "CFG"); }

// The frame at a known place, with the pointer moved by XTest as the drags go.
class ShareAreaDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen_.ok());
    FWIniDatFile::instance().removeKey("showShareInfo", "CFG");
    dialog_.setGeometry(CShareAreaDlg::frameRectForArea(kArea));
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    ASSERT_TRUE(WaitFor([&] { return dialog_.geometry() == CShareAreaDlg::frameRectForArea(kArea); }));
  }

  // Presses at a point of the window, moves the pointer by d, releases.
  void Drag(QPoint local, QPoint d, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint start = dialog_.mapToGlobal(local);
    ASSERT_TRUE(screen_.MoveCursor(start.x(), start.y()));
    QTest::mousePress(&dialog_, button, {}, local);
    const QPoint end = start + d;
    ASSERT_TRUE(screen_.MoveCursor(end.x(), end.y()));
    ASSERT_TRUE(WaitFor([&] { return QCursor::pos() == end; }));
    // The frame reads the pointer from the server; the event only says it moved.
    QMouseEvent move(QEvent::MouseMove, dialog_.mapFromGlobal(end), end, Qt::NoButton, button, Qt::NoModifier);
    QApplication::sendEvent(&dialog_, &move);
    QTest::mouseRelease(&dialog_, button, {}, dialog_.mapFromGlobal(end));
  }

  static constexpr QRect kArea{300, 300, 400, 300};
  XScreen screen_;
  CShareAreaDlg dialog_;
};
constexpr QRect ShareAreaDlgTest::kArea;

struct DragCase {
  const char* name;
  int x, y;  // press point in the window
  int dx, dy;
  QRect expect;  // the window afterwards
};

// The window is (296, 286) 408 x 318.
const DragCase kDragCases[] = {
    {"TabMoves", 204, 5, 30, 40, QRect(326, 326, 408, 318)},
    {"TopEdge", 50, 5, 7, -20, QRect(296, 266, 408, 338)},
    {"TopLeftCorner", 5, 12, -10, 15, QRect(286, 301, 418, 303)},
    {"TopRightCorner", 404, 5, 20, 10, QRect(296, 296, 428, 308)},
    {"LeftEdge", 2, 150, 25, 9, QRect(321, 286, 383, 318)},
    {"RightEdge", 405, 150, -25, 9, QRect(296, 286, 383, 318)},
    {"BottomEdge", 200, 315, 9, 30, QRect(296, 286, 408, 348)},
    {"BottomLeftCorner", 3, 315, -20, -30, QRect(276, 286, 428, 288)},
    {"BottomRightCorner", 405, 316, 12, 14, QRect(296, 286, 420, 332)},
    {"LeftEdgeBelowMinimum", 2, 150, 300, 0, QRect(596, 286, 260, 318)},
};

class ShareAreaDragTest : public ShareAreaDlgTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(ShareAreaDragTest, Drag) {
  const DragCase& row = GetParam();
  QSignalSpy areas(&dialog_, &CShareAreaDlg::s_updateShareRt);
  Drag(QPoint(row.x, row.y), QPoint(row.dx, row.dy));
  EXPECT_EQ(dialog_.geometry(), row.expect);
  ASSERT_FALSE(areas.isEmpty());
  EXPECT_EQ(areas.last().at(0).toRect(), CShareAreaDlg::areaRectForFrame(row.expect));
}

INSTANTIATE_TEST_SUITE_P(Frame, ShareAreaDragTest, ::testing::ValuesIn(kDragCases), RowName());

TEST_F(ShareAreaDlgTest, RightButtonAndInsideDoNothing) {
  QSignalSpy areas(&dialog_, &CShareAreaDlg::s_updateShareRt);
  const QRect before = dialog_.geometry();
  Drag(QPoint(204, 5), QPoint(30, 30), Qt::RightButton);
  Drag(QPoint(200, 150), QPoint(30, 30));
  EXPECT_EQ(dialog_.geometry(), before);
  EXPECT_TRUE(areas.isEmpty());
}

TEST_F(ShareAreaDlgTest, BalloonStaysForMovesAndGoesForGoodWithTheFirstResize) {
  ASSERT_TRUE(WaitFor([&] { return dialog_.tip()->isVisible(); }));
  Drag(QPoint(204, 5), QPoint(10, 10));
  EXPECT_TRUE(dialog_.tip()->isVisible()) << "a move keeps the balloon";
  EXPECT_EQ(ShowShareInfo(), 0);
  Drag(QPoint(405, 150), QPoint(10, 0));
  EXPECT_FALSE(dialog_.tip()->isVisible());
  EXPECT_EQ(ShowShareInfo(), 1);
  dialog_.hide();
  dialog_.show();
  QTest::qWait(50);
  EXPECT_FALSE(dialog_.tip()->isVisible()) << "never shown again once the setting is written";
  FWIniDatFile::instance().removeKey("showShareInfo", "CFG");
}

TEST_F(ShareAreaDlgTest, HidingTheFrameHidesTheBalloonAndEscapeDoesNot) {
  ASSERT_TRUE(WaitFor([&] { return dialog_.tip()->isVisible(); }));
  QTest::keyClick(&dialog_, Qt::Key_Escape);
  EXPECT_TRUE(dialog_.isVisible());
  dialog_.hide();
  EXPECT_FALSE(dialog_.tip()->isVisible());
}

TEST_F(ShareAreaDlgTest, LinesAroundTheAreaWhichShowsAndTakesItsClicks) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const unsigned long below = windows.Open("below", kArea.x() - 20, kArea.y() - 30, 440, 360, 0x00ff00);
  ASSERT_NE(below, 0u);
  dialog_.raise();
  dialog_.tip()->hide();
  QTest::qWait(100);
  const QRect frame = dialog_.geometry();
  const auto pixel = [&](int x, int y) { return screen_.Grab(frame.x() + x, frame.y() + y, 1, 1).at(0); };
  ASSERT_TRUE(WaitFor([&] { return pixel(3, 150) == 0xff0000u; }));
  EXPECT_EQ(pixel(frame.width() - 4, 150), 0xff0000u) << "right line";
  EXPECT_EQ(pixel(200, frame.height() - 4), 0xff0000u) << "bottom line";
  EXPECT_EQ(pixel(50, 13), 0xff0000u) << "line under the tab";
  EXPECT_EQ(pixel((frame.width() - 80) / 2 + 1, 1), 0xff0000u) << "the tab";
  EXPECT_EQ(pixel(2, frame.height() - 20), 0xff0000u) << "corner mark";
  EXPECT_EQ(pixel(50, 5), 0x00ff00u) << "beside the tab";
  EXPECT_EQ(pixel(200, 150), 0x00ff00u) << "the shared area shows through";
  EXPECT_EQ(pixel(4, 14), 0x00ff00u) << "the area's first pixel";
  EXPECT_EQ(screen_.WindowAt(frame.x() + 200, frame.y() + 150), below) << "a click inside reaches the window below";
  EXPECT_EQ(screen_.WindowAt(frame.x() + 3, frame.y() + 150), dialog_.winId());
}

}  // namespace
