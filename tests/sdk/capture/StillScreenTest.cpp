// A still screen is not captured again; whatever is drawn after a stretch of
// such ticks must still reach the next pull.
#include <vector>

#include <gtest/gtest.h>

#include "CatchFixture.h"

// Last: Xlib's macros break Qt headers.
#include <X11/Xlib.h>

namespace {

using StillScreenTest = CatchFixture;

// Another client draws, as any program on the screen would.
bool DrawWhitePoint(int x, int y) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const int screen = DefaultScreen(display);
  GC gc = DefaultGC(display, screen);
  XSetForeground(display, gc, WhitePixel(display, screen));
  XDrawPoint(display, RootWindow(display, screen), gc, x, y);
  XSync(display, False);
  XCloseDisplay(display);
  return true;
}

TEST_F(StillScreenTest, OnePixelAfterAStillStretchReachesTheNextPull) {
  constexpr int kW = 640, kH = 480;
  ASSERT_TRUE(UseMonitor(kW, kH));
  ASSERT_TRUE(painter_.PaintPicture(std::vector<uint8_t>(static_cast<size_t>(kW) * kH * 4, 0), kW, kH));
  ASSERT_TRUE(screen_.MoveCursor(10, 10));
  Start(FastCfg());
  Received r;
  ASSERT_TRUE(Request(true, 1, &r));
  for (int i = 0; i < 6; ++i) {
    Settle(40);
    ASSERT_TRUE(Request(true, 0, &r));
  }
  const QPoint at(301, 203);
  const size_t index = static_cast<size_t>(at.y()) * kW + at.x();
  ASSERT_EQ(r.picture.y.size(), static_cast<size_t>(kW) * kH);
  ASSERT_LT(r.picture.y[index], 40);

  ASSERT_TRUE(DrawWhitePoint(at.x(), at.y()));
  // A few ticks at 30 per second; a loaded machine may delay them, so a few
  // more pulls are allowed, but a tick that kept the old picture never shows it.
  Settle(200);
  EXPECT_TRUE(RequestUntil(true, [&](const Received& got) { return got.picture.y[index] > 90; }, &r, 10))
      << "the changed pixel did not reach the pull";

  // The cursor moving over the still screen still gets its record.
  ASSERT_TRUE(screen_.MoveCursor(320, 240));
  Settle(200);
  ASSERT_TRUE(RequestUntil(true, [](const Received& got) { return got.packet.hasCursor; }, &r, 10));
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(320, 240));
}

}  // namespace
