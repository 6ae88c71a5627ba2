// The kit's windows on a real X server, read back from the screen: over a
// coloured window, with and without a compositing manager.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include <platform/Dwm.h>

#include "EventWait.h"
#include "NoNCDialog.h"
#include "ScreenScale.h"
#include "StandardTitleBar.h"
#include "ToolTip.h"
#include "XScreen.h"
#include "XWindows.h"

namespace {

constexpr unsigned kBelow = 0x30a050;

bool Composited() {
  BOOL enabled = FALSE;
  return DwmIsCompositionEnabled(&enabled) == S_OK && enabled;
}

bool NearBelowColour(unsigned rgb) {
  // A faint shadow may darken the window below a little; black would be 0.
  const int r = (rgb >> 16) & 0xff, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
  return r >= 0x30 * 7 / 10 && r <= 0x30 && g >= 0xa0 * 7 / 10 && g <= 0xa0 && b >= 0x50 * 7 / 10 && b <= 0x50;
}

class TranslucencyTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen.ok());
    ASSERT_TRUE(windows.started());
    below = windows.Open("below", 100, 100, 700, 500, kBelow);
    ASSERT_NE(below, 0u);
    if (GetParam()) {
      compositor.start(QStringLiteral("xcompmgr"), QStringList());
      ASSERT_TRUE(compositor.waitForStarted(5000)) << "xcompmgr did not start";
      ASSERT_TRUE(WaitFor(Composited, 5000)) << "xcompmgr took no selection";
    }
    ASSERT_EQ(Composited(), GetParam());
  }
  void TearDown() override {
    if (compositor.state() != QProcess::NotRunning) {
      compositor.terminate();
      if (!compositor.waitForFinished(5000)) compositor.kill();
      compositor.waitForFinished(2000);
      WaitFor([] { return !Composited(); }, 5000);
    }
  }
  static void Show(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 5000));
    Settle(400);
  }
  unsigned Pixel(int x, int y) { return screen.Grab(x, y, 1, 1).at(0) & 0xffffff; }

  XScreen screen;
  XWindows windows;
  QProcess compositor;
  unsigned long below = 0;
};

TEST_P(TranslucencyTest, DialogMarginShowsTheWindowBelow) {
  QNoNCDialog dialog;
  dialog.setTitleBar(new StandardTitleBar(&dialog, 1), true);
  dialog.resize(300, 200);
  dialog.move(200, 200);
  Show(dialog);
  const QRect box = dialog.geometry();
  ASSERT_EQ(box.topLeft(), QPoint(200, 200));
  for (const QPoint& margin : {QPoint(2, 100), QPoint(150, 2), QPoint(297, 100), QPoint(150, 197), QPoint(1, 1)}) {
    const unsigned rgb = Pixel(box.x() + margin.x(), box.y() + margin.y());
    EXPECT_TRUE(NearBelowColour(rgb)) << "margin " << margin.x() << "," << margin.y() << " shows 0x" << std::hex << rgb;
  }
  EXPECT_EQ(Pixel(box.x() + 150, box.y() + 150), 0xffffffu);  // the frame's own background
  EXPECT_EQ(screen.WindowAt(box.x() + 150, box.y() + 150), dialog.winId());
  if (!GetParam()) {
    // The cut-out margin takes no clicks: they reach the window below.
    EXPECT_EQ(screen.WindowAt(box.x() + 4, box.y() + 100), below);
    EXPECT_EQ(screen.WindowAt(box.x() + 150, box.y() + 4), below);
  }
}

TEST_P(TranslucencyTest, BalloonCornersShowTheWindowBelow) {
  CToolTip tip(nullptr);
  ToolTipStyle style;
  style.showTime = -1;
  tip.setTipStyle(style);
  tip.showTip(QPoint(300, 250), QStringLiteral("Here resizable."));  // opens right and down
  Show(tip);
  const QRect box = tip.geometry();
  ASSERT_EQ(box.topLeft(), QPoint(300, 250));
  // Above the body and beside the pointer: outside the outline.
  const QPoint outside(box.right() - 3, box.top() + 5);
  EXPECT_TRUE(NearBelowColour(Pixel(outside.x(), outside.y())));
  EXPECT_EQ(Pixel(box.center().x(), box.bottom() - 5), 0xffffc8u);  // the fill
  if (!GetParam()) {
    EXPECT_EQ(screen.WindowAt(outside.x(), outside.y()), below);
  }
}

INSTANTIATE_TEST_SUITE_P(Compositor, TranslucencyTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Composited" : "Plain"; });

class ScreenDpiTest : public ::testing::Test {
 protected:
  void TearDown() override { setScreenScaleForTest(1.0f); }
};

// Run on a server started with -dpi 120.
TEST_F(ScreenDpiTest, ServerDpi) {
  initScreenScale(true);
  EXPECT_EQ(screenScale(), 1.25f);
}

TEST_F(ScreenDpiTest, XftDpiResourceWins) {
  auto xrdb = [](const QStringList& args, const QByteArray& input) {
    QProcess process;
    process.start(QStringLiteral("xrdb"), args);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(5000) && process.exitCode() == 0;
  };
  ASSERT_TRUE(xrdb({"-nocpp", "-merge"}, "Xft.dpi:\t144\n"));
  initScreenScale(true);
  EXPECT_EQ(screenScale(), 1.5f);
  ASSERT_TRUE(xrdb({"-nocpp", "-remove"}, ""));
}

}  // namespace
