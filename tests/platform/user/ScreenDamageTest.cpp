// The still-screen check: drawing by any client, on the root or in a window
// over it, counts inside the asked rectangle and only there.
#include <platform/ScreenDamage.h>

#include <gtest/gtest.h>

#include <X11/Xlib.h>

namespace {

class ScreenDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    painter_ = XOpenDisplay(nullptr);
    ASSERT_NE(painter_, nullptr);
  }
  void TearDown() override {
    if (painter_ != nullptr) XCloseDisplay(painter_);
  }
  void Fill(Drawable target, int x, int y, int w, int h) {
    const int screen = DefaultScreen(painter_);
    GC gc = DefaultGC(painter_, screen);
    XSetForeground(painter_, gc, (++shade_ * 0x10203) & 0xFFFFFF);
    XFillRectangle(painter_, target, gc, x, y, w, h);
    XSync(painter_, False);
  }
  Window Root() const { return DefaultRootWindow(painter_); }

  Display* painter_ = nullptr;
  unsigned long shade_ = 0;
};

TEST_F(ScreenDamageTest, ReportsDrawingInsideTheRectangleOnce) {
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  const RECT area{100, 100, 300, 200};
  EXPECT_TRUE(damage.ChangedSince(area)) << "nothing is known before the first look";
  EXPECT_FALSE(damage.ChangedSince(area));

  Fill(Root(), 150, 150, 1, 1);
  EXPECT_TRUE(damage.ChangedSince(area));
  EXPECT_FALSE(damage.ChangedSince(area)) << "a change is reported once";

  Fill(Root(), 0, 0, 50, 50);
  EXPECT_FALSE(damage.ChangedSince(area)) << "outside the rectangle";
  // Touching the edge from outside is still outside; the last pixel inside is in.
  Fill(Root(), 300, 100, 10, 10);
  EXPECT_FALSE(damage.ChangedSince(area));
  Fill(Root(), 299, 199, 1, 1);
  EXPECT_TRUE(damage.ChangedSince(area));
}

TEST_F(ScreenDamageTest, WindowsMappedAndDrawnInCount) {
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  const RECT area{0, 0, 400, 400};
  damage.ChangedSince(area);
  const int screen = DefaultScreen(painter_);
  const Window window = XCreateSimpleWindow(painter_, Root(), 20, 20, 100, 100, 0, BlackPixel(painter_, screen),
                                            WhitePixel(painter_, screen));
  XMapWindow(painter_, window);
  XSync(painter_, False);
  EXPECT_TRUE(damage.ChangedSince(area)) << "mapped";
  Fill(window, 10, 10, 5, 5);
  EXPECT_TRUE(damage.ChangedSince(area)) << "drawn in a window";
  XMoveWindow(painter_, window, 200, 200);
  XSync(painter_, False);
  EXPECT_TRUE(damage.ChangedSince(area)) << "moved";
  XDestroyWindow(painter_, window);
  XSync(painter_, False);
  EXPECT_TRUE(damage.ChangedSince(area)) << "gone";
  EXPECT_FALSE(damage.ChangedSince(area));
}

}  // namespace
