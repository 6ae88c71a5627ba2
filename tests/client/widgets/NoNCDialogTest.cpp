#include <gtest/gtest.h>

#include <QFrame>
#include <QGuiApplication>
#include <QLayout>
#include <QRegion>
#include <QScreen>

#include "NoNCDialog.h"
#include "ShadowPieces.h"
#include "StandardTitleBar.h"
#include "SystemHelpers.h"
#include "RowName.h"

namespace {

void Settle(QWidget& window) {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  (void)window;
}

TEST(NoNCDialogStyleTest, NamesFollowMaximizeAndRestore) {
  QNoNCDialog dialog;
  auto* bar = new StandardTitleBar(&dialog, 7);
  dialog.setTitleBar(bar, true);
  dialog.resize(300, 200);
  dialog.show();
  Settle(dialog);
  EXPECT_EQ(dialog.frame()->objectName(), "dlgFrameROUND_B");
  EXPECT_EQ(bar->objectName(), "dlgTitleBarROUND");
  EXPECT_EQ(dialog.layout()->contentsMargins(), QMargins(8, 8, 8, 8));
  EXPECT_TRUE(dialog.shadowVisible());

  dialog.showMaximized();
  Settle(dialog);
  EXPECT_EQ(dialog.frame()->objectName(), "dlgFrameRECT");
  EXPECT_EQ(bar->objectName(), "dlgTitleBarRECT");
  EXPECT_EQ(dialog.layout()->contentsMargins(), QMargins());
  EXPECT_FALSE(dialog.shadowVisible());

  dialog.showNormal();
  Settle(dialog);
  EXPECT_EQ(dialog.frame()->objectName(), "dlgFrameROUND_B");
  EXPECT_EQ(bar->objectName(), "dlgTitleBarROUND");
  EXPECT_EQ(dialog.layout()->contentsMargins(), QMargins(8, 8, 8, 8));
  EXPECT_TRUE(dialog.shadowVisible());
}

TEST(NoNCDialogStyleTest, ForeignBarNameIsKept) {
  QNoNCDialog dialog;
  auto* bar = new StandardTitleBar(&dialog, 7);
  bar->setObjectName(QStringLiteral("myOwnBar"));
  dialog.setTitleBar(bar, true);
  dialog.show();
  dialog.showMaximized();
  Settle(dialog);
  EXPECT_EQ(bar->objectName(), "myOwnBar");
  EXPECT_EQ(dialog.frame()->objectName(), "dlgFrameRECT");
  dialog.showNormal();
  Settle(dialog);
  EXPECT_EQ(bar->objectName(), "myOwnBar");
}

TEST(NoNCDialogStyleTest, WithoutTitleBarTheFrameIsSmall) {
  QNoNCDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.frame()->objectName(), "dlgFrameROUND_S");
}

TEST(NoNCDialogRequestTest, RequestsNeedTheirFlags) {
  QNoNCDialog dialog;
  dialog.show();
  dialog.requestReject();
  dialog.requestAccept();
  EXPECT_TRUE(dialog.isVisible());
  dialog.setRequestFlags(true, false);
  dialog.requestAccept();
  EXPECT_TRUE(dialog.isVisible());
  dialog.requestReject();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  dialog.show();
  dialog.setRequestFlags(false, true);
  dialog.requestAccept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// The taskbar record maximizeRect sees; the platform never reports auto-hide.
TaskbarInfo g_taskbar;
void InjectedTaskbar(TaskbarInfo& info) { info = g_taskbar; }

struct EdgeCase {
  const char* name;
  bool autoHide;
  int edge;
  QMargins taken;  // pixels taken off the available geometry, per side
};

const EdgeCase kEdgeCases[] = {
    {"Visible", false, 3, QMargins()},        {"HiddenLeft", true, 0, QMargins(1, 0, 0, 0)},
    {"HiddenTop", true, 1, QMargins(0, 1, 0, 0)}, {"HiddenRight", true, 2, QMargins(0, 0, 1, 0)},
    {"HiddenBottom", true, 3, QMargins(0, 0, 0, 1)},
};

class MaximizeRectTest : public ::testing::TestWithParam<EdgeCase> {
 protected:
  void SetUp() override {
    g_taskbar = TaskbarInfo();
    g_taskbar.autoHide = GetParam().autoHide;
    g_taskbar.edge = GetParam().edge;
    QNoNCDialog::setTaskbarQuery(InjectedTaskbar);
  }
  void TearDown() override { QNoNCDialog::setTaskbarQuery(nullptr); }
  QRect Expected() const {
    return QGuiApplication::primaryScreen()->availableGeometry().marginsRemoved(GetParam().taken);
  }
};

TEST_P(MaximizeRectTest, LeavesAPixelToAHiddenTaskbar) {
  QNoNCDialog dialog;
  dialog.resize(200, 100);
  EXPECT_EQ(dialog.maximizeRect(), Expected());
}

TEST_P(MaximizeRectTest, MaximizedWindowTakesTheRect) {
  QNoNCDialog dialog;
  dialog.setTitleBar(new StandardTitleBar(&dialog, 7), true);
  dialog.resize(200, 100);
  dialog.show();
  dialog.showMaximized();
  Settle(dialog);
  EXPECT_EQ(dialog.geometry(), Expected());
}

INSTANTIATE_TEST_SUITE_P(Edges, MaximizeRectTest, ::testing::ValuesIn(kEdgeCases), RowName());

TEST(MaximizeRectLimitTest, MaximumSizeCapsTheMaximizedWindow) {
  QNoNCDialog dialog;
  dialog.setMaximumSize(300, 250);
  dialog.show();
  dialog.showMaximized();
  Settle(dialog);
  EXPECT_EQ(dialog.geometry().topLeft(), dialog.maximizeRect().topLeft());
  EXPECT_EQ(dialog.size(), QSize(300, 250));
}

// Every pixel of the window's border ring is drawn exactly once, from inside the image.
class ShadowPiecesTest : public ::testing::TestWithParam<QSize> {};

TEST_P(ShadowPiecesTest, CoverTheRingOnce) {
  const QSize window = GetParam();
  const QSize image(64, 64);
  const int c = 12;
  QRegion drawn;
  int area = 0;
  for (const ShadowPiece& piece : shadowPieces(window, image, c)) {
    EXPECT_TRUE(QRect(QPoint(), image).contains(piece.source)) << piece.source.x() << "," << piece.source.y();
    area += piece.target.width() * piece.target.height();
    drawn += piece.target;
  }
  const QRegion ring = QRegion(QRect(QPoint(), window)) - QRegion(QRect(c, c, window.width() - 2 * c, window.height() - 2 * c));
  EXPECT_EQ(drawn, ring);
  int ringArea = 0;
  for (const QRect& r : ring) ringArea += r.width() * r.height();
  EXPECT_EQ(area, ringArea);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShadowPiecesTest,
                         ::testing::Values(QSize(64, 64), QSize(200, 120), QSize(75, 64), QSize(50, 40), QSize(63, 200),
                                           QSize(41, 30)),
                         [](const auto& info) {
                           return "W" + std::to_string(info.param.width()) + "H" + std::to_string(info.param.height());
                         });

// The drawn shadow, read back: corners come from the image's corners, edges
// from the image's edges, so every margin pixel matches the image at the
// point of the same distance from the nearest corner or edge.
class ShadowGrabTest : public ::testing::TestWithParam<QSize> {};

TEST_P(ShadowGrabTest, MarginMatchesTheImage) {
  const QImage image = QImage(QStringLiteral(":/Res/new/shadow_round.png")).convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(image.isNull());
  QNoNCDialog dialog;
  dialog.setMinimumSize(1, 1);
  dialog.resize(GetParam());
  dialog.show();
  Settle(dialog);
  ASSERT_EQ(dialog.size(), GetParam());
  const QImage shot = dialog.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const int w = shot.width(), h = shot.height(), iw = image.width(), ih = image.height(), c = 12;
  auto mapAxis = [c](int v, int length, int imageLength) {
    if (v < c) return v;
    if (v >= length - c) return imageLength - (length - v);
    return imageLength / 2;  // straight edge: every column of the middle is alike
  };
  int mismatches = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (x >= 8 && x < w - 8 && y >= 8 && y < h - 8) continue;  // the frame, not the shadow
      const int expected = qAlpha(image.pixel(mapAxis(x, w, iw), mapAxis(y, h, ih)));
      const int actual = qAlpha(shot.pixel(x, y));
      if (std::abs(expected - actual) > 1 && ++mismatches < 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": alpha " << actual << ", image has " << expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Widths, ShadowGrabTest, ::testing::Values(QSize(200, 150), QSize(50, 40)),
                         [](const auto& info) { return info.param.width() > 64 ? "Wider" : "Narrower"; });

}  // namespace
