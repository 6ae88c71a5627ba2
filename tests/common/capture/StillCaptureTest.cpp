// A window share on a still screen keeps its picture without walking the
// windows again; whatever changes among the windows or inside them is
// captured at the next tick, the same as a capture that works it all out anew.
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "CaptureFixture.h"
#include "RowName.h"

// Last: Xlib's macros break Qt headers.
#include <X11/Xlib.h>

namespace {

constexpr unsigned kGreen = 0x30C040;
constexpr unsigned kRed = 0xC03030;
constexpr unsigned kBlue = 0x3050D0;

// Another client draws into a window, as the program that owns it would.
bool DrawIn(unsigned long window, int x, int y, int w, int h) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  GC gc = XCreateGC(display, window, 0, nullptr);
  XSetForeground(display, gc, 0xF0F0F0);
  XFillRectangle(display, window, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XFreeGC(display, gc);
  XSync(display, False);
  XCloseDisplay(display);
  return true;
}

class StillCaptureTest : public CaptureFixture {
 protected:
  // A shared window, a stranger's overlapping it, and a second shared
  // window not shown yet.
  void SetUp() override {
    CaptureFixture::SetUp();
    shared_ = windows_.Open("shared", 100, 100, 300, 200, kGreen, "pid=4242");
    ASSERT_NE(shared_, 0u);
    ASSERT_NE(windows_.Open("stranger", 300, 200, 200, 150, kRed, "pid=5353"), 0u);
    ASSERT_NE(windows_.Open("later", 600, 400, 120, 80, kBlue, "pid=4242"), 0u);
    ASSERT_TRUE(windows_.Unmap("later"));
    still_.SetSkipUnchanged(true);
    still_.GetCatchAreaCfg().AddProcessIds({kSharedPid});
  }

  // The picture of the shared windows as a capture without the still-screen
  // skip takes it now.
  ::testing::AssertionResult SameAsFresh() {
    CScreenInfo fresh(0);
    fresh.GetCatchAreaCfg().AddProcessIds({kSharedPid});
    const int result = fresh.CatchScreenDIB();
    if (result != CScreenInfo::kCaptured) return ::testing::AssertionFailure() << "fresh capture: " << result;
    if (fresh.GetDIBSize() != still_.GetDIBSize())
      return ::testing::AssertionFailure() << "size " << still_.GetDIBSize().width() << "x"
                                           << still_.GetDIBSize().height() << ", fresh "
                                           << fresh.GetDIBSize().width() << "x" << fresh.GetDIBSize().height();
    const RECT kept = still_.GetCatchAreaCfg().GetBoundRect();
    const RECT now = fresh.GetCatchAreaCfg().GetBoundRect();
    if (std::memcmp(&kept, &now, sizeof(RECT)) != 0) return ::testing::AssertionFailure() << "another place";
    for (int y = 0; y < fresh.GetDIBSize().height(); ++y) {
      for (int x = 0; x < fresh.GetDIBSize().width(); ++x) {
        if (At(still_, x, y) != At(fresh, x, y))
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") " << std::hex << At(still_, x, y)
                                               << ", fresh " << At(fresh, x, y);
      }
    }
    return ::testing::AssertionSuccess();
  }

  CScreenInfo still_{0};
  unsigned long shared_ = 0;
};

TEST_F(StillCaptureTest, StillScreenKeepsThePicture) {
  ASSERT_EQ(still_.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(still_.CatchScreenDIB(), CScreenInfo::kUnchanged);
  EXPECT_EQ(still_.CatchScreenDIB(), CScreenInfo::kUnchanged);
  EXPECT_TRUE(SameAsFresh());
  EXPECT_EQ(At(still_, 10, 10), kGreen);
  EXPECT_EQ(At(still_, 250, 150), kDefaultFill) << "under the stranger's window";
}

struct ChangeCase {
  const char* name;
  std::function<bool(XWindows& windows, unsigned long shared)> change;
};

const ChangeCase kChangeCases[] = {
    {"SharedMoved", [](XWindows& w, unsigned long) { return w.Move("shared", 140, 60); }},
    {"StrangerMovedAway", [](XWindows& w, unsigned long) { return w.Move("stranger", 900, 600); }},
    {"SharedRaised", [](XWindows& w, unsigned long) { return w.Raise("shared"); }},
    {"StrangerLowered", [](XWindows& w, unsigned long) { return w.Lower("stranger"); }},
    {"SecondSharedMapped", [](XWindows& w, unsigned long) { return w.Map("later"); }},
    {"StrangerUnmapped", [](XWindows& w, unsigned long) { return w.Unmap("stranger"); }},
    {"StrangerClosed", [](XWindows& w, unsigned long) { return w.Close("stranger"); }},
    {"NewSharedWindowOpened",
     [](XWindows& w, unsigned long) { return w.Open("new", 50, 500, 100, 100, kBlue, "pid=4242") != 0; }},
    {"PixelsDrawnInShared", [](XWindows&, unsigned long shared) { return DrawIn(shared, 20, 20, 1, 1); }},
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class StillCaptureChangeTest : public StillCaptureTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(StillCaptureChangeTest, NextTickCapturesAsAFreshCapture) {
  ASSERT_EQ(still_.CatchScreenDIB(), CScreenInfo::kCaptured);
  ASSERT_EQ(still_.CatchScreenDIB(), CScreenInfo::kUnchanged);
  ASSERT_TRUE(GetParam().change(windows_, shared_));
  EXPECT_EQ(still_.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_TRUE(SameAsFresh());
  EXPECT_EQ(still_.CatchScreenDIB(), CScreenInfo::kUnchanged) << "still again";
}

INSTANTIATE_TEST_SUITE_P(Windows, StillCaptureChangeTest, ::testing::ValuesIn(kChangeCases), RowName());

// The kept region is the monitor's: a monitor that moves under a still
// screen moves the capture with it.
TEST_F(StillCaptureTest, MonitorChangedUnderAStillScreenIsFollowed) {
  ASSERT_TRUE(screen_.SetMonitors({{"STILLA", 0, 0, 350, 250, true}}));
  ASSERT_EQ(still_.CatchScreenDIB(), CScreenInfo::kCaptured);
  ASSERT_EQ(still_.CatchScreenDIB(), CScreenInfo::kUnchanged);
  EXPECT_EQ(still_.GetDIBSize(), QSize(250, 150)) << "cut at the monitor's edge";
  screen_.ResetMonitors();
  ASSERT_TRUE(screen_.SetMonitors({{"STILLB", 0, 0, 1000, 700, true}}));
  EXPECT_EQ(still_.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(still_.GetDIBSize(), QSize(300, 200));
  EXPECT_TRUE(SameAsFresh());
  screen_.ResetMonitors();
}

}  // namespace
