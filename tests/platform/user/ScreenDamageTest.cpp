// The still-screen check: drawing by any client, on the root or in a window
// over it, counts inside the asked rectangle and only there; monitor changes,
// and for a window share every change among the windows, count as layout.
#include <platform/ScreenDamage.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "RowName.h"
#include "XConnection.h"
#include "XScreen.h"

// Last: Xlib's macros break other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

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
  Window Open(Window parent, int x, int y, int w, int h, bool map = true) {
    const Window window = XCreateSimpleWindow(painter_, parent, x, y, w, h, 0, 0, 0x808080);
    if (map) XMapWindow(painter_, window);
    XSync(painter_, False);
    return window;
  }
  void SetCardinal(Window window, const char* name, long value) {
    XChangeProperty(painter_, window, XInternAtom(painter_, name, False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(painter_, False);
  }

  Display* painter_ = nullptr;
  unsigned long shade_ = 0;
};

bool Inside(ScreenDamage& damage, const RECT& rect) { return damage.Take(rect).inside; }
bool Layout(ScreenDamage& damage, const RECT& rect) { return damage.Take(rect).layout; }

TEST_F(ScreenDamageTest, ReportsDrawingInsideTheRectangleOnce) {
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  const RECT area{100, 100, 300, 200};
  const ScreenDamage::Changes first = damage.Take(area);
  EXPECT_TRUE(first.inside && first.layout) << "nothing is known before the first look";
  EXPECT_FALSE(Inside(damage, area));

  Fill(Root(), 150, 150, 1, 1);
  const ScreenDamage::Changes drawn = damage.Take(area);
  EXPECT_TRUE(drawn.inside);
  EXPECT_FALSE(drawn.layout) << "drawing moves no monitor";
  EXPECT_FALSE(Inside(damage, area)) << "a change is reported once";

  Fill(Root(), 0, 0, 50, 50);
  EXPECT_FALSE(Inside(damage, area)) << "outside the rectangle";
  // Touching the edge from outside is still outside; the last pixel inside is in.
  Fill(Root(), 300, 100, 10, 10);
  EXPECT_FALSE(Inside(damage, area));
  Fill(Root(), 299, 199, 1, 1);
  EXPECT_TRUE(Inside(damage, area));
}

TEST_F(ScreenDamageTest, WindowsMappedAndDrawnInCount) {
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  const RECT area{0, 0, 400, 400};
  damage.Take(area);
  const Window window = Open(Root(), 20, 20, 100, 100);
  EXPECT_TRUE(Inside(damage, area)) << "mapped";
  Fill(window, 10, 10, 5, 5);
  EXPECT_TRUE(Inside(damage, area)) << "drawn in a window";
  XMoveWindow(painter_, window, 200, 200);
  XSync(painter_, False);
  const ScreenDamage::Changes moved = damage.Take(area);
  EXPECT_TRUE(moved.inside) << "moved";
  EXPECT_FALSE(moved.layout) << "windows are not watched for a share of the screen";
  XDestroyWindow(painter_, window);
  XSync(painter_, False);
  EXPECT_TRUE(Inside(damage, area)) << "gone";
  EXPECT_FALSE(Inside(damage, area));
}

// RandR announces a monitor added or removed only by a ConfigureNotify of
// the root: a capture that keeps its monitor must hear of it all the same.
TEST_F(ScreenDamageTest, MonitorsAddedAndRemovedCountAsLayout) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  const RECT area{0, 0, 100, 100};
  damage.Take(area);
  ASSERT_FALSE(Layout(damage, area));
  ASSERT_TRUE(screen.SetMonitors({{"DAMAGEA", 0, 0, 640, 480, true}, {"DAMAGEB", 640, 0, 320, 240, false}}));
  EXPECT_TRUE(Layout(damage, area)) << "added";
  EXPECT_FALSE(Layout(damage, area));
  screen.ResetMonitors();
  EXPECT_TRUE(Layout(damage, area)) << "removed";
  EXPECT_FALSE(Layout(damage, area));
}

// Every watcher on a connection hears every report, whoever read it in.
TEST_F(ScreenDamageTest, TwoWatchersOnOneThreadBothHearAChange) {
  ScreenDamage first, second;
  ASSERT_TRUE(first.IsActive() && second.IsActive());
  const RECT area{0, 0, 200, 200};
  first.Take(area);
  second.Take(area);
  Fill(Root(), 10, 10, 4, 4);
  EXPECT_TRUE(Inside(first, area));
  EXPECT_TRUE(Inside(second, area)) << "the first one read the report in";
}

// A top-level window with a client inside, as a reparenting window manager
// lays them out, a window beside them, and one not mapped.
struct Stack {
  Window frame, client, inner, other, hidden;
};

struct LayoutCase {
  const char* name;
  void (*change)(Display* display, const Stack& stack);
};

void Property(Display* display, Window window) {
  const long pid = 777;
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
}

void Shape(Display* display, Window window) {
  XRectangle part{0, 0, 10, 10};
  XShapeCombineRectangles(display, window, ShapeBounding, 0, 0, &part, 1, ShapeSet, Unsorted);
}

const LayoutCase kLayoutCases[] = {
    {"FrameMoved", [](Display* d, const Stack& s) { XMoveWindow(d, s.frame, 30, 40); }},
    {"FrameResized", [](Display* d, const Stack& s) { XResizeWindow(d, s.frame, 150, 90); }},
    {"FrameRaised", [](Display* d, const Stack& s) { XRaiseWindow(d, s.frame); }},
    {"OtherLowered", [](Display* d, const Stack& s) { XLowerWindow(d, s.other); }},
    {"FrameUnmapped", [](Display* d, const Stack& s) { XUnmapWindow(d, s.frame); }},
    {"HiddenMapped", [](Display* d, const Stack& s) { XMapWindow(d, s.hidden); }},
    {"OtherDestroyed", [](Display* d, const Stack& s) { XDestroyWindow(d, s.other); }},
    {"WindowMade", [](Display* d, const Stack&) { XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 5, 5, 0, 0, 0); }},
    {"ClientMovedInFrame", [](Display* d, const Stack& s) { XMoveWindow(d, s.client, 3, 3); }},
    {"ClientUnmapped", [](Display* d, const Stack& s) { XUnmapWindow(d, s.client); }},
    {"ClientPropertyChanged", [](Display* d, const Stack& s) { Property(d, s.client); }},
    {"InnerPropertyChanged", [](Display* d, const Stack& s) { Property(d, s.inner); }},
    {"FramePropertyChanged", [](Display* d, const Stack& s) { Property(d, s.frame); }},
    {"ClientShaped", [](Display* d, const Stack& s) { Shape(d, s.client); }},
    {"ClientReparentedToRoot", [](Display* d, const Stack& s) { XReparentWindow(d, s.client, DefaultRootWindow(d), 0, 0); }},
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class WindowLayoutTest : public ScreenDamageTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(WindowLayoutTest, ChangeAmongTheWindowsCountsOnce) {
  Stack s{};
  s.frame = Open(Root(), 10, 10, 120, 80);
  s.client = Open(s.frame, 0, 0, 100, 60);
  s.inner = Open(s.client, 0, 0, 50, 30);
  s.other = Open(Root(), 50, 50, 60, 60);
  s.hidden = Open(Root(), 200, 10, 60, 60, false);
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  damage.WatchWindows();
  // Far from the windows: only the layout is asked about.
  const RECT area{900, 700, 901, 701};
  ASSERT_TRUE(Layout(damage, area)) << "nothing is known before the first look";
  ASSERT_FALSE(Layout(damage, area)) << "still";
  GetParam().change(painter_, s);
  XSync(painter_, False);
  EXPECT_TRUE(Layout(damage, area));
  EXPECT_FALSE(Layout(damage, area)) << "a change is reported once";
  // The windows go with the painter's connection.
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowLayoutTest, ::testing::ValuesIn(kLayoutCases), RowName());

// A window manager frames a new window after the first look; what happens
// inside the new frame afterwards is heard too.
TEST_F(ScreenDamageTest, WindowsMadeAfterTheFirstLookAreWatchedToo) {
  ScreenDamage damage;
  ASSERT_TRUE(damage.IsActive());
  damage.WatchWindows();
  const RECT area{900, 700, 901, 701};
  damage.Take(area);
  const Window frame = Open(Root(), 10, 10, 120, 80);
  EXPECT_TRUE(Layout(damage, area)) << "frame made";
  const Window client = Open(frame, 0, 0, 100, 60);
  EXPECT_TRUE(Layout(damage, area)) << "client made in it";
  const Window inner = Open(client, 0, 0, 50, 30);
  EXPECT_TRUE(Layout(damage, area)) << "window made in the client";
  ASSERT_FALSE(Layout(damage, area));
  SetCardinal(inner, "WM_STATE", 1);
  EXPECT_TRUE(Layout(damage, area)) << "property of the deepest watched window";
  XDestroyWindow(painter_, frame);
  XSync(painter_, False);
}

// The watch goes when its last watcher does: nothing keeps arriving for a
// connection that no one reads any more.
TEST_F(ScreenDamageTest, NothingPilesUpOnceTheWatchEnds) {
  const Window window = Open(Root(), 10, 10, 50, 50);
  {
    ScreenDamage damage;
    ASSERT_TRUE(damage.IsActive());
    damage.WatchWindows();
    damage.Take(RECT{0, 0, 100, 100});
  }
  for (int i = 0; i < 5; ++i) {
    XMoveWindow(painter_, window, 10 + i, 10);
    SetCardinal(window, "_NET_WM_PID", i);
    Fill(window, 0, 0, 5, 5);
  }
  XDestroyWindow(painter_, window);
  XSync(painter_, False);
  Display* own = ThreadDisplay();
  ASSERT_NE(own, nullptr);
  XSync(own, False);
  EXPECT_EQ(XEventsQueued(own, QueuedAlready), 0);
}

}  // namespace
