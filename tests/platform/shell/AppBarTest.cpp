// The taskbar as the strip outside the X work area, on the Xvfb root.
#include <gtest/gtest.h>

#include <platform/Shell.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class AppBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "no X display; the test runs under with-xvfb.sh";
    root_ = DefaultRootWindow(display_);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display_, root_, &attributes));
    width_ = attributes.width;
    height_ = attributes.height;
    workArea_ = XInternAtom(display_, "_NET_WORKAREA", False);
    currentDesktop_ = XInternAtom(display_, "_NET_CURRENT_DESKTOP", False);
  }
  void TearDown() override {
    if (!display_) return;
    XDeleteProperty(display_, root_, workArea_);
    XDeleteProperty(display_, root_, currentDesktop_);
    XCloseDisplay(display_);
  }

  void SetCardinals(Atom property, const std::vector<long>& values) {
    XDeleteProperty(display_, root_, property);
    if (!values.empty()) {
      XChangeProperty(display_, root_, property, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
    }
    XSync(display_, False);
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  long width_ = 0;
  long height_ = 0;
  Atom workArea_ = 0;
  Atom currentDesktop_ = 0;
};

struct StripCase {
  const char* name;
  std::vector<long> workArea;  // x, y, width, height per desktop; empty: no property
  std::vector<long> currentDesktop;
  bool found;
  UINT edge;
  RECT rc;
};

TEST_F(AppBarTest, TaskbarIsTheStripOutsideTheWorkArea) {
  const long w = width_;
  const long h = height_;
  const RECT none = {0, 0, 0, 0};
  const StripCase cases[] = {
      {"Bottom", {0, 0, w, h - 40}, {}, true, ABE_BOTTOM, {0, int(h - 40), int(w), int(h)}},
      {"Top", {0, 30, w, h - 30}, {}, true, ABE_TOP, {0, 0, int(w), 30}},
      {"Left", {60, 0, w - 60, h}, {}, true, ABE_LEFT, {0, 0, 60, int(h)}},
      {"Right", {0, 0, w - 50, h}, {}, true, ABE_RIGHT, {int(w - 50), 0, int(w), int(h)}},
      {"LargerOfTwoPanels", {0, 27, w, h - 75}, {}, true, ABE_BOTTOM, {0, int(h - 48), int(w), int(h)}},
      {"CurrentDesktopsArea", {0, 0, w, h - 40, 70, 0, w - 70, h}, {1}, true, ABE_LEFT, {0, 0, 70, int(h)}},
      {"CurrentDesktopWithoutArea", {0, 0, w, h - 40}, {3}, true, ABE_BOTTOM, {0, int(h - 40), int(w), int(h)}},
      {"WholeScreen", {0, 0, w, h}, {}, false, ABE_BOTTOM, none},
      {"NoWorkArea", {}, {}, false, ABE_BOTTOM, none},
      {"AreaBeyondTheScreen", {0, 0, w + 10, h - 40}, {}, false, ABE_BOTTOM, none},
      {"EmptyArea", {0, 0, 0, 0}, {}, false, ABE_BOTTOM, none},
      {"ShortProperty", {0, 0, w}, {}, false, ABE_BOTTOM, none},
  };
  for (const StripCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetCardinals(workArea_, c.workArea);
    SetCardinals(currentDesktop_, c.currentDesktop);
    APPBARDATA data = {sizeof(APPBARDATA), nullptr, 0, 99, {-1, -1, -1, -1}, 0};
    EXPECT_EQ(SHAppBarMessage(ABM_GETTASKBARPOS, &data), c.found ? 1u : 0u);
    EXPECT_EQ(data.rc.left, c.rc.left);
    EXPECT_EQ(data.rc.top, c.rc.top);
    EXPECT_EQ(data.rc.right, c.rc.right);
    EXPECT_EQ(data.rc.bottom, c.rc.bottom);
    if (c.found) {
      EXPECT_EQ(data.uEdge, c.edge);
    }
    const UINT_PTR state = SHAppBarMessage(ABM_GETSTATE, &data);
    EXPECT_EQ(state & ABS_AUTOHIDE, 0u);
    EXPECT_EQ(state != 0, c.found);
  }
}

TEST_F(AppBarTest, WorkAreaOfAnotherTypeIsIgnored) {
  const char text[] = "0 0 100 100";
  XChangeProperty(display_, root_, workArea_, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text), sizeof text - 1);
  XSync(display_, False);
  APPBARDATA data = {sizeof(APPBARDATA), nullptr, 0, 0, {-1, -1, -1, -1}, 0};
  EXPECT_EQ(SHAppBarMessage(ABM_GETTASKBARPOS, &data), 0u);
  EXPECT_EQ(data.rc.right, 0);
}

TEST_F(AppBarTest, OtherMessagesAndNoRecordGiveZero) {
  SetCardinals(workArea_, {0, 0, width_, height_ - 40});
  APPBARDATA data = {sizeof(APPBARDATA), nullptr, 0, 0, {-1, -1, -1, -1}, 0};
  EXPECT_EQ(SHAppBarMessage(ABM_GETTASKBARPOS, nullptr), 0u);
  for (DWORD message : {0u, 1u, 2u, 3u, 6u, 7u, 0xFFu}) EXPECT_EQ(SHAppBarMessage(message, &data), 0u) << message;
  EXPECT_EQ(data.rc.left, -1);
}

TEST_F(AppBarTest, NoDisplayGivesNoTaskbar) {
  SetCardinals(workArea_, {0, 0, width_, height_ - 40});
  const std::string display = getenv("DISPLAY");
  // A display that cannot exist: the X server listens on no TCP port here.
  setenv("DISPLAY", "127.0.0.1:99", 1);
  APPBARDATA data = {sizeof(APPBARDATA), nullptr, 0, 0, {-1, -1, -1, -1}, 0};
  const UINT_PTR found = SHAppBarMessage(ABM_GETTASKBARPOS, &data);
  const UINT_PTR state = SHAppBarMessage(ABM_GETSTATE, &data);
  unsetenv("DISPLAY");
  const UINT_PTR foundUnset = SHAppBarMessage(ABM_GETTASKBARPOS, &data);
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(found, 0u);
  EXPECT_EQ(state, 0u);
  EXPECT_EQ(foundUnset, 0u);
  EXPECT_EQ(data.rc.right, 0);
  EXPECT_EQ(data.rc.bottom, 0);
}

}  // namespace
