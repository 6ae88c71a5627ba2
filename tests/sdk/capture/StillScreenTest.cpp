// A still screen is not captured again; whatever is drawn after a stretch of
// such ticks must still reach the next pull.
#include <vector>

#include <gtest/gtest.h>

#include "CatchFixture.h"
#include "XWindows.h"

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

// Luma of the pulled picture at (x, y).
int LumaAt(const Received& r, int x, int y) {
  return r.picture.y[static_cast<size_t>(y) * static_cast<size_t>(r.picture.width) + static_cast<size_t>(x)];
}

// A window share keeps its picture and its region on a still screen; a
// window moved, raised or mapped, a pixel drawn in the shared window and the
// cursor moving each reach the next pulls.
TEST_F(StillScreenTest, WindowShareFollowsEveryChangeAfterAStillStretch) {
  constexpr int kW = 640, kH = 480;
  ASSERT_TRUE(UseMonitor(kW, kH));
  ASSERT_TRUE(painter_.PaintPicture(std::vector<uint8_t>(static_cast<size_t>(kW) * kH * 4, 0), kW, kH));
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const unsigned long shared = windows.Open("shared", 96, 64, 320, 240, 0x202020, "pid=4242");
  ASSERT_NE(shared, 0u);
  ASSERT_NE(windows.Open("stranger", 500, 400, 64, 48, 0xFFFFFF, "pid=5353"), 0u);
  ASSERT_TRUE(screen_.MoveCursor(136, 94));
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.catchWndPro.insert(reinterpret_cast<HWND>(static_cast<uintptr_t>(shared)));
  Start(cfg);
  Received r;
  ASSERT_TRUE(Request(true, 1, &r));
  ASSERT_EQ(QSize(r.picture.width, r.picture.height), QSize(320, 240));
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(40, 30));
  const auto stillStretch = [&] {
    for (int i = 0; i < 4; ++i) {
      Settle(40);
      if (!Request(true, 0, &r)) return false;
    }
    return true;
  };
  ASSERT_TRUE(stillStretch());
  ASSERT_LT(LumaAt(r, 150, 100), 60);

  // Drawn in the shared window.
  const QPoint at(150, 100);
  {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    GC gc = XCreateGC(display, shared, 0, nullptr);
    XSetForeground(display, gc, 0xFFFFFF);
    XFillRectangle(display, shared, gc, at.x(), at.y(), 2, 2);
    XFreeGC(display, gc);
    XSync(display, False);
    XCloseDisplay(display);
  }
  EXPECT_TRUE(RequestUntil(true, [&](const Received& got) { return LumaAt(got, at.x(), at.y()) > 150; }, &r, 10))
      << "the drawn pixels did not reach the pull";
  ASSERT_TRUE(stillStretch());

  // Moved with the cursor left where it was: the cursor record follows the
  // window's corner.
  ASSERT_TRUE(windows.Move("shared", 16, 24));
  EXPECT_TRUE(RequestUntil(true, [](const Received& got) { return got.packet.hasCursor; }, &r, 10));
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(120, 70));
  ASSERT_TRUE(stillStretch());

  // The stranger's window covers a corner: the covered part is filled.
  ASSERT_TRUE(windows.Move("stranger", 16, 24));
  EXPECT_TRUE(RequestUntil(true, [](const Received& got) { return LumaAt(got, 8, 8) > 150; }, &r, 10))
      << "the covering window did not reach the pull";
  ASSERT_TRUE(stillStretch());
  // Raised over it again.
  ASSERT_TRUE(windows.Raise("shared"));
  EXPECT_TRUE(RequestUntil(true, [](const Received& got) { return LumaAt(got, 8, 8) < 60; }, &r, 10))
      << "the raised window did not reach the pull";
  ASSERT_TRUE(stillStretch());

  // Another window of the shared program mapped: the picture grows to both.
  ASSERT_NE(windows.Open("second", 400, 360, 80, 48, 0x202020, "pid=4242"), 0u);
  EXPECT_TRUE(RequestUntil(true, [](const Received& got) { return got.picture.width == 464; }, &r, 10))
      << "the mapped window did not reach the pull";
  ASSERT_TRUE(stillStretch());

  // The cursor moving over the still screen still gets its record.
  ASSERT_TRUE(screen_.MoveCursor(116, 124));
  EXPECT_TRUE(RequestUntil(true, [](const Received& got) { return got.packet.hasCursor; }, &r, 10));
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(100, 100));
}

}  // namespace
