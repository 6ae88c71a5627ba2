// The window layer's own windows, offscreen: procedures and subclassing,
// messages across threads, window timers, painting into the top-level image,
// capture and destruction.
#include <gtest/gtest.h>

#include <platform/GdiOwners.h>
#include <platform/Kernel.h>
#include <platform/User.h>

#include <thread>
#include <vector>

#include "Canvas.h"

namespace {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
};
std::vector<Seen> g_seen;
COLORREF g_paintColour = RGB(255, 0, 0);

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back(Seen{window, message, wParam});
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    HBRUSH brush = CreateSolidBrush(g_paintColour);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_USER + 5) return 42;
  return DefWindowProcW(window, message, wParam, lParam);
}

WNDPROC g_original = nullptr;
LRESULT SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 5) return CallWindowProcW(g_original, window, message, wParam, lParam) + 1;
  return CallWindowProcW(g_original, window, message, wParam, lParam);
}

bool Saw(HWND window, UINT message) {
  for (const Seen& seen : g_seen) {
    if (seen.window == window && seen.message == message) return true;
  }
  return false;
}

class LayerWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = L"CorvaneTestWindow";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
  }
  void SetUp() override { g_seen.clear(); }
  void TearDown() override {
    for (HWND window : made_) {
      if (IsWindow(window)) DestroyWindow(window);
    }
  }
  HWND Make(DWORD style, HWND parent = nullptr, int x = 0, int y = 0, int w = 60, int h = 40, int id = 0) {
    HWND window = CreateWindowExW(0, L"CorvaneTestWindow", L"t", style, x, y, w, h, parent,
                                  reinterpret_cast<HANDLE>(static_cast<intptr_t>(id)), nullptr, nullptr);
    made_.push_back(window);
    return window;
  }
  // Runs the loop until pred holds or the deadline passes.
  template <typename Pred>
  bool PumpUntil(Pred pred, DWORD ms = 3000) {
    const DWORD start = GetTickCount();
    MSG msg{};
    while (!pred()) {
      if (GetTickCount() - start > ms) return false;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(1);
    }
    return true;
  }
  std::vector<HWND> made_;
};

TEST_F(LayerWindowTest, CreationMessagesProceduresAndSubclassing) {
  HWND window = Make(WS_POPUP);
  ASSERT_NE(window, nullptr);
  ASSERT_GE(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].message, WM_NCCREATE);
  EXPECT_EQ(g_seen[1].message, WM_CREATE);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(SendMessageW(window, WM_USER + 5, 0, 0), 42);
  g_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
  EXPECT_EQ(g_original, RecordingProc);
  EXPECT_EQ(SendMessageW(window, WM_USER + 5, 0, 0), 43) << "the subclass sees it first and calls on";
  wchar_t text[8] = {};
  EXPECT_EQ(GetWindowTextW(window, text, 8), 1);
  EXPECT_STREQ(text, L"t");
  EXPECT_TRUE(SetWindowTextW(window, L"title"));
  EXPECT_EQ(GetWindowTextLengthW(window), 5);
  EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateWindowExW(0, L"CorvaneTestWindow", L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr) << "a child needs a parent";
}

TEST_F(LayerWindowTest, HandlesAreToldApartFromXWindowIds) {
  HWND window = Make(WS_POPUP);
  const auto value = reinterpret_cast<uintptr_t>(window);
  EXPECT_GT(value, uintptr_t{0xFFFFFFFF}) << "above every X id";
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x400001)), nullptr);
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(value + 16)));
  EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(0x400001), WM_USER + 5, 0, 0), 0);
}

TEST_F(LayerWindowTest, PostsFromAnyThreadAndWindowTimers) {
  HWND window = Make(WS_POPUP);
  std::thread poster([window] {
    for (int i = 0; i < 3; ++i) PostMessageW(window, WM_USER + 1, static_cast<WPARAM>(i), 0);
  });
  poster.join();
  ASSERT_EQ(SetTimer(window, 7, 20, nullptr), 7u);
  int posts = 0, ticks = 0;
  MSG msg{};
  const DWORD start = GetTickCount();
  while ((posts < 3 || ticks < 2) && GetTickCount() - start < 3000) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    if (msg.hwnd == window && msg.message == WM_USER + 1) {
      EXPECT_EQ(msg.wParam, static_cast<WPARAM>(posts++));
    }
    if (msg.hwnd == window && msg.message == WM_TIMER && msg.wParam == 7) ++ticks;
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(posts, 3) << "in order";
  EXPECT_GE(ticks, 2);
  EXPECT_TRUE(Saw(window, WM_TIMER)) << "dispatched to the procedure";
  EXPECT_TRUE(KillTimer(window, 7));
  EXPECT_FALSE(KillTimer(window, 7));
  // A window of another thread answers a sent message from its own loop.
  LRESULT answer = 0;
  std::thread sender([&] { answer = SendMessageW(window, WM_USER + 5, 0, 0); });
  EXPECT_TRUE(PumpUntil([&] { return answer != 0; }));
  sender.join();
  EXPECT_EQ(answer, 42);
}

TEST_F(LayerWindowTest, ChildrenPaintIntoTheirTopLevelImage) {
  HWND top = Make(WS_POPUP, nullptr, 0, 0, 60, 40);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, 10, 5, 20, 10, 1001);
  ASSERT_NE(child, nullptr);
  ShowWindow(top, SW_SHOW);
  g_paintColour = RGB(255, 0, 0);
  UpdateWindow(top);
  EXPECT_TRUE(Saw(top, WM_PAINT));
  EXPECT_TRUE(Saw(child, WM_PAINT));
  // The child painted red over the parent's red: repaint only the child in blue.
  g_paintColour = RGB(0, 0, 255);
  InvalidateRect(child, nullptr, TRUE);
  UpdateWindow(child);
  Canvas canvas(60, 40);
  HDC windowDc = GetDC(top);
  ASSERT_NE(windowDc, nullptr);
  ASSERT_TRUE(BitBlt(canvas.dc(), 0, 0, 60, 40, windowDc, 0, 0, SRCCOPY));
  ReleaseDC(top, windowDc);
  EXPECT_EQ(canvas.At(10, 5), 0x0000FFu);
  EXPECT_EQ(canvas.At(29, 14), 0x0000FFu);
  EXPECT_EQ(canvas.At(30, 14), 0xFF0000u);
  EXPECT_EQ(canvas.At(9, 5), 0xFF0000u);
  // The child's own DC starts at its corner and ends at its edge.
  HDC childDc = GetDC(child);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  const RECT all{-5, -5, 100, 100};
  FillRect(childDc, &all, green);
  DeleteObject(green);
  ReleaseDC(child, childDc);
  windowDc = GetDC(top);
  BitBlt(canvas.dc(), 0, 0, 60, 40, windowDc, 0, 0, SRCCOPY);
  ReleaseDC(top, windowDc);
  EXPECT_EQ(canvas.At(10, 5), 0x00FF00u);
  EXPECT_EQ(canvas.At(9, 4), 0xFF0000u);
  EXPECT_EQ(canvas.At(30, 15), 0xFF0000u);
  EXPECT_EQ(GetDlgItem(top, 1001), child);
  DWORD process = 0;
  EXPECT_EQ(GetWindowThreadProcessId(child, &process), GetCurrentThreadId());
  EXPECT_EQ(process, GetCurrentProcessId());
  EXPECT_EQ(GetWindowLongW(child, GWL_STYLE) & WS_CHILD, static_cast<LONG>(WS_CHILD));
  EXPECT_EQ(GetDlgCtrlID(child), 1001);
  EXPECT_EQ(GetParent(child), top);
  RECT rect{};
  GetWindowRect(child, &rect);
  POINT corner{0, 0};
  ClientToScreen(child, &corner);
  EXPECT_EQ(rect.left, corner.x);
  EXPECT_EQ(rect.right - rect.left, 20);
}

TEST_F(LayerWindowTest, CaptureChangesAreAnnounced) {
  HWND top = Make(WS_POPUP);
  HWND a = Make(WS_CHILD | WS_VISIBLE, top, 0, 0, 10, 10, 1);
  HWND b = Make(WS_CHILD | WS_VISIBLE, top, 10, 0, 10, 10, 2);
  EXPECT_EQ(SetCapture(a), nullptr);
  EXPECT_EQ(GetCapture(), a);
  EXPECT_EQ(SetCapture(b), a);
  EXPECT_TRUE(Saw(a, WM_CAPTURECHANGED));
  g_seen.clear();
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_TRUE(Saw(b, WM_CAPTURECHANGED));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(LayerWindowTest, DestroyingTakesChildrenTimersAndActivation) {
  HWND top = Make(WS_POPUP);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, 0, 0, 10, 10, 1);
  ShowWindow(top, SW_SHOW);
  EXPECT_EQ(GetActiveWindow(), top);
  SetTimer(top, 1, 10, nullptr);
  EXPECT_TRUE(DestroyWindow(top));
  EXPECT_TRUE(Saw(top, WM_DESTROY));
  EXPECT_TRUE(Saw(child, WM_DESTROY));
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(GetActiveWindow(), nullptr);
  Sleep(30);
  MSG msg{};
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) << "its timer went with it";
  EXPECT_FALSE(DestroyWindow(top));
}

TEST_F(LayerWindowTest, RegionBelongsToTheWindow) {
  HWND top = Make(WS_POPUP);
  HRGN round = CreateRoundRectRgn(0, 0, 61, 41, 9, 9);
  EXPECT_EQ(SetWindowRgn(top, round, TRUE), 1);
  EXPECT_FALSE(DeleteObject(round)) << "the window owns it now";
  UniqueGdiObject copy(CreateRectRgn(0, 0, 0, 0));
  EXPECT_EQ(GetWindowRgn(top, static_cast<HRGN>(copy.get())), COMPLEXREGION);
  EXPECT_EQ(WindowFromPoint(POINT{-500, -500}), GetDesktopWindow());
}

}  // namespace
