// The owner-drawn button and the round-topped window on a real X server:
// the pointer moves and clicks through XTest, and what the screen shows is
// read back from the root window.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/User.h>

#include <functional>

#include "ButtonST.h"
#include "Canvas.h"
#include "MessagePump.h"
#include "SetTopRoundWndRgn.h"
#include "XPointer.h"
#include "XScreen.h"

namespace {

constexpr unsigned kHost = 0xC8C800;    // the parent's background
constexpr unsigned kHover = 0x00FF00;   // icon 210
constexpr unsigned kNormal = 0x0000FF;  // icon 211
constexpr int kTopX = 100, kTopY = 100;
constexpr int kButtonX = 80, kButtonY = 30, kButtonSize = 40, kIconSize = 16;
constexpr int kButtonId = 1004;

int g_clicks = 0;

LRESULT HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      atl::CDCHandle(dc).FillSolidRect(&paint.rcPaint, RGB(0xC8, 0xC8, 0x00));
      EndPaint(window, &paint);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) ++g_clicks;
      [[fallthrough]];
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN: {
      BOOL handled = TRUE;
      const LRESULT result = atl::ReflectNotification(window, message, wParam, lParam, handled);
      if (handled) return result;
      return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

class ButtonSTTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterPlainIcon(210, kIconSize, QColor(0, 255, 0));
    RegisterPlainIcon(211, kIconSize, QColor(0, 0, 255));
    WNDCLASSEXW host{};
    host.cbSize = sizeof(host);
    host.lpfnWndProc = HostProc;
    host.lpszClassName = L"ButtonHost";
    RegisterClassExW(&host);
  }

  void SetUp() override {
    ASSERT_TRUE(screen_.ok());
    screen_.MoveCursor(5, 5);
    g_clicks = 0;
    top_ = CreateWindowExW(0, L"ButtonHost", L"", WS_POPUP, kTopX, kTopY, 200, 100, nullptr, nullptr, nullptr, nullptr);
    control_ = CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, kButtonX, kButtonY,
                               kButtonSize, kButtonSize, top_, reinterpret_cast<HANDLE>(kButtonId), nullptr, nullptr);
    ASSERT_NE(control_, nullptr);
    ASSERT_TRUE(button_.SubclassButton(control_));
    ASSERT_EQ(button_.SetIcons(210, 211), 0u);
    button_.SetFlatStyle(true);
    button_.SetTransparent(true);
    button_.SetBorderOnHover(false);
    ShowWindow(top_, SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kNormal; })) << "the normal icon, centred";
  }

  void TearDown() override {
    PressLeftButton(false);
    DestroyWindow(top_);
  }

  // The screen pixel at (x, y) of the icon's place in the button at rest.
  unsigned Icon(int x, int y) {
    const int left = kTopX + kButtonX + (kButtonSize - kIconSize) / 2;
    const int top = kTopY + kButtonY + (kButtonSize - kIconSize) / 2;
    return screen_.Grab(left + x, top + y, 1, 1).at(0);
  }
  void MoveOnto() { screen_.MoveCursor(kTopX + kButtonX + 20, kTopY + kButtonY + 20); }

  XScreen screen_;
  CButtonST button_;
  HWND top_ = nullptr;
  HWND control_ = nullptr;
};

TEST_F(ButtonSTTest, NormalIconCentredOverTheParentsBackground) {
  EXPECT_EQ(Icon(kIconSize - 1, kIconSize - 1), kNormal);
  EXPECT_EQ(Icon(-1, -1), kHost) << "the snapshot of the parent, no face of its own";
  EXPECT_EQ(Icon(kIconSize, 0), kHost);
  EXPECT_FALSE(button_.IsHovering());
}

TEST_F(ButtonSTTest, HoverOnEntryRestoredOnLeaving) {
  MoveOnto();
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kHover; })) << "the hover icon at once";
  EXPECT_EQ(GetCapture(), control_);
  screen_.MoveCursor(kTopX + 10, kTopY + 10);  // still inside the top-level window
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kNormal && GetCapture() == nullptr; }));
  MoveOnto();
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kHover; }));
  screen_.MoveCursor(kTopX + 600, kTopY + 500);  // past the top-level window's edge
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kNormal && GetCapture() == nullptr; }))
      << "the capture brings the move from outside";
}

TEST_F(ButtonSTTest, PressShowsTheHoverIconMovedAndClicks) {
  MoveOnto();
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kHover; }));
  ASSERT_TRUE(PressLeftButton(true));
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kHost && Icon(1, 1) == kHover; })) << "moved by (1, 1)";
  EXPECT_EQ(Icon(kIconSize, kIconSize), kHover);
  PressLeftButton(false);
  ASSERT_TRUE(PumpUntil([&] { return g_clicks == 1 && Icon(0, 0) == kHover; }));
  // A double click is two clicks.
  PressLeftButton(true);
  PressLeftButton(false);
  PressLeftButton(true);
  PressLeftButton(false);
  EXPECT_TRUE(PumpUntil([&] { return g_clicks == 3; })) << g_clicks;
}

TEST_F(ButtonSTTest, DisabledIsGreyAndNeverHovers) {
  EnableWindow(control_, FALSE);
  ASSERT_TRUE(PumpUntil([&] {
    const unsigned p = Icon(4, 4);
    return p != kNormal && (p >> 16) == (p & 0xFF) && ((p >> 8) & 0xFF) == (p & 0xFF);
  })) << "greyed";
  const unsigned grey = Icon(4, 4);
  MoveOnto();
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(Icon(4, 4), grey);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(button_.IsHovering());
}

TEST_F(ButtonSTTest, OnlyTheHoverIconShowsInEveryState) {
  HICON hover = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(210), IMAGE_ICON, 0, 0, 0));
  ASSERT_EQ(button_.SetIcons(hover, nullptr), 0u);
  ASSERT_TRUE(PumpUntil([&] { return Icon(0, 0) == kHover; })) << "at rest";
  EXPECT_EQ(button_.SetIcons(nullptr, nullptr), 1u) << "no usable icon";
}

TEST(TopRoundRegionTest, CornersOutsideShowTheRoot) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  constexpr int x = 400, y = 300, w = 200, h = 80;
  const std::vector<unsigned> root = screen.Grab(x, y, w, h);
  WNDCLASSEXW red{};
  red.cbSize = sizeof(red);
  red.lpfnWndProc = DefWindowProcW;
  red.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
  red.lpszClassName = L"RedWindow";
  RegisterClassExW(&red);
  HWND window = CreateWindowExW(0, L"RedWindow", L"", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
  SetTopRoundWndRgn(window);
  ShowWindow(window, SW_SHOW);
  auto at = [&](int dx, int dy) { return screen.Grab(x + dx, y + dy, 1, 1).at(0); };
  ASSERT_TRUE(PumpUntil([&] { return at(w / 2, 1) == 0xFF0000u; }));
  EXPECT_EQ(at(0, 0), root[0]) << "the top left corner is cut";
  EXPECT_EQ(at(w - 1, 0), root[w - 1]) << "the top right corner is cut";
  EXPECT_EQ(at(0, 15), 0xFF0000u) << "below the rounded band the sides are straight";
  EXPECT_EQ(at(0, h - 1), 0xFF0000u) << "the bottom corners are square";
  EXPECT_EQ(at(w - 1, h - 1), 0xFF0000u);
  DestroyWindow(window);
  SetTopRoundWndRgn(nullptr);  // nothing happens
}

}  // namespace
