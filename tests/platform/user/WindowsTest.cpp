#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/User.h>

#include <vector>

#include "RowName.h"
#include "WindowLayerCalls.h"
#include "XWindows.h"

namespace {

HWND AsHwnd(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(windows_.started()); }
  XWindows windows_;
};

TEST_F(WindowsTest, WalkIsTopFirst) {
  const HWND a = AsHwnd(windows_.Open("a", 0, 0, 10, 10, 0x111111));
  const HWND b = AsHwnd(windows_.Open("b", 0, 0, 10, 10, 0x222222));
  const HWND c = AsHwnd(windows_.Open("c", 0, 0, 10, 10, 0x333333));
  ASSERT_TRUE(windows_.Lower("c"));
  std::vector<HWND> ours;
  int steps = 0;
  for (HWND w = GetTopWindow(nullptr); w != nullptr && steps < 1000; w = GetWindow(w, GW_HWNDNEXT), ++steps) {
    if (w == a || w == b || w == c) ours.push_back(w);
  }
  EXPECT_EQ(ours, (std::vector<HWND>{b, a, c}));
  EXPECT_EQ(GetWindow(a, 4 /* GW_OWNER: not offered */), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

struct StyleCase {
  const char* name;
  const char* options;
  LONG style;
};

const StyleCase kStyleCases[] = {
    {"Plain", "", 0},
    {"Alpha", "argb", WS_EX_LAYERED},
    {"Utility", "type=utility", WS_EX_TOOLWINDOW},
    {"Tooltip", "type=tooltip", WS_EX_TOOLWINDOW},
    {"Dock", "type=dock", WS_EX_TOOLWINDOW},
    {"Normal", "type=normal", 0},
    {"AlphaUtility", "argb type=utility", WS_EX_LAYERED | WS_EX_TOOLWINDOW},
};

class StyleTest : public WindowsTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(StyleTest, ExtendedStyle) {
  const HWND w = AsHwnd(windows_.Open("w", 5, 5, 10, 10, 0x123456, GetParam().options));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetWindowLongW(w, GWL_EXSTYLE), GetParam().style);
}

INSTANTIATE_TEST_SUITE_P(Windows, StyleTest, ::testing::ValuesIn(kStyleCases), RowName());

TEST_F(WindowsTest, ProcessOwnerRectAndVisibility) {
  const HWND owner = AsHwnd(windows_.Open("owner", 40, 50, 300, 200, 0x111111, "pid=4242"));
  const HWND dialog = AsHwnd(windows_.Open("dialog", 60, 70, 100, 80, 0x222222, "owner=owner"));
  DWORD pid = 99;
  EXPECT_EQ(GetWindowThreadProcessId(owner, &pid), 4242u);
  EXPECT_EQ(pid, 4242u);
  GetWindowThreadProcessId(dialog, &pid);
  EXPECT_EQ(pid, 0u) << "a window without _NET_WM_PID names no process";
  EXPECT_EQ(GetParent(dialog), owner);
  EXPECT_EQ(GetParent(owner), nullptr);
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(dialog, &rect));
  EXPECT_EQ(rect.left, 60);
  EXPECT_EQ(rect.top, 70);
  EXPECT_EQ(rect.right, 160);
  EXPECT_EQ(rect.bottom, 150);
  EXPECT_TRUE(IsWindowVisible(owner));
  ASSERT_TRUE(windows_.Close("dialog"));
  // A window that is gone fails cleanly; X errors do not end the process.
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_FALSE(GetWindowRect(dialog, &rect));
  EXPECT_EQ(GetWindowThreadProcessId(dialog, &pid), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(GetWindowLongW(dialog, GWL_EXSTYLE), 0);
  EXPECT_EQ(GetParent(dialog), nullptr);
}

TEST_F(WindowsTest, ShapeIsWindowRelative) {
  const HWND shaped = AsHwnd(windows_.Open("shaped", 200, 100, 100, 100, 0x111111, "shape=0,0,50,50+50,50,50,50"));
  const HWND plain = AsHwnd(windows_.Open("plain", 200, 100, 100, 100, 0x111111));
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(shaped, region), COMPLEXREGION);
  RECT box{};
  GetRgnBox(region, &box);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 100);
  EXPECT_EQ(box.bottom, 100);
  EXPECT_EQ(GetWindowRgn(plain, region), RGN_ERROR) << "an unshaped window has no region";
  EXPECT_EQ(GetWindowRgn(AsHwnd(0x7fffffff), region), RGN_ERROR);
  DeleteObject(region);
}

// A program without the updater's window layer (the client) never made a
// handle of the layer's kind: one that reaches it answers as a window that is
// gone, and never acts on the X window whose id its low bits carry.
TEST_F(WindowsTest, LayerHandleWithoutTheLayerIsGone) {
  const unsigned long id = windows_.Open("w", 20, 20, 60, 40, 0x445566, "pid=4242");
  ASSERT_NE(id, 0u);
  const HWND real = AsHwnd(id);
  const HWND layer = reinterpret_cast<HWND>(kLayerHandleTag | id);
  const auto failsAsGone = [](const char* call) {
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << call;
    SetLastError(ERROR_SUCCESS);
  };
  EXPECT_FALSE(IsWindow(layer));
  EXPECT_FALSE(IsWindowVisible(layer));
  wchar_t text[8] = L"x";
  EXPECT_EQ(GetWindowTextW(layer, text, 8), 0);
  failsAsGone("GetWindowTextW");
  EXPECT_EQ(GetWindowLongW(layer, GWL_EXSTYLE), 0);
  failsAsGone("GetWindowLongW");
  DWORD pid = 99;
  EXPECT_EQ(GetWindowThreadProcessId(layer, &pid), 0u);
  EXPECT_EQ(pid, 0u);
  failsAsGone("GetWindowThreadProcessId");
  EXPECT_EQ(GetParent(layer), nullptr);
  failsAsGone("GetParent");
  RECT rect{};
  EXPECT_FALSE(GetWindowRect(layer, &rect));
  failsAsGone("GetWindowRect");
  HRGN region = CreateRectRgn(0, 0, 10, 10);
  EXPECT_EQ(GetWindowRgn(layer, region), RGN_ERROR);
  EXPECT_EQ(SetWindowRgn(layer, region, TRUE), 0);
  failsAsGone("SetWindowRgn");
  DeleteObject(region);
  EXPECT_FALSE(SetWindowPos(layer, real, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  failsAsGone("SetWindowPos");
  EXPECT_FALSE(ShowWindow(layer, SW_HIDE));
  failsAsGone("ShowWindow");
  EXPECT_TRUE(IsWindowVisible(real)) << "the X window with the same low bits was hidden";
}

TEST(MonitorsTest, PlainScreenIsOnePrimaryMonitor) {
  std::vector<HMONITOR> monitors;
  ASSERT_TRUE(EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR m, HDC, LPRECT, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(m);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&monitors)));
  ASSERT_EQ(monitors.size(), 1u);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoW(monitors[0], &info));
  EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY) << "Xvfb names no primary: the monitor at (0, 0) is";
  EXPECT_EQ(info.rcMonitor.left, 0);
  EXPECT_GT(info.rcMonitor.right, 0);
  info.cbSize = 20;
  EXPECT_FALSE(GetMonitorInfoW(monitors[0], &info));
  info.cbSize = sizeof(info);
  EXPECT_FALSE(GetMonitorInfoW(reinterpret_cast<HMONITOR>(uintptr_t{12345}), &info));
}

}  // namespace
