// Dialogs on a real X server: a template compiled into the program run
// modally through the framework templates, and the message box answered by
// keys while posts and timers keep arriving.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/User.h>
#include <platform/atl/AtlApp.h>
#include <platform/atl/AtlCtrls.h>
#include <platform/atl/AtlDialog.h>

#include <atomic>
#include <functional>
#include <thread>

#include "MessagePump.h"
#include "RowName.h"
#include "XPointer.h"

namespace {

constexpr unsigned long kReturn = 0xff0d;  // XK_Return
constexpr unsigned long kEscape = 0xff1b;  // XK_Escape

const DialogItemTemplate kItems[] = {
    {WC_STATICW, L"Status", 1001, WS_VISIBLE | SS_LEFT, 6, 33, 238, 11},
    {PROGRESS_CLASSW, L"", 1000, WS_VISIBLE, 15, 46, 220, 13},
    {WC_BUTTONW, L"", 1004, WS_VISIBLE | BS_OWNERDRAW, 236, 0, 14, 14},
};
const DialogTemplate kDialog = {WS_POPUP | WS_SYSMENU, WS_EX_TOPMOST, 0, 0, 250, 69, L"", L"宋体", 10, kItems, 3};

class TestDialog : public atl::CDialogImpl<TestDialog> {
 public:
  enum { IDD = 129 };

  BEGIN_MSG_MAP(TestDialog)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  MESSAGE_HANDLER(WM_TIMER, OnTimer)
  MESSAGE_HANDLER(WM_USER + 100, OnPercent)
  MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnColour)
  REFLECT_NOTIFICATIONS()
  END_MSG_MAP()

  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    atl::CProgressBarCtrl(GetDlgItem(1000)).SetRange32(0, 100);
    SetTimer(100, 10);
    PostMessage(WM_USER + 100, 40);
    initialised = true;
    return TRUE;
  }
  LRESULT OnTimer(UINT, WPARAM id, LPARAM, BOOL&) {
    if (id == 100 && percent == 40 && coloured) EndDialog(7);
    return 0;
  }
  LRESULT OnPercent(UINT, WPARAM value, LPARAM, BOOL&) {
    percent = atl::CProgressBarCtrl(GetDlgItem(1000)).SetPos(static_cast<int>(value)) == 0
                  ? atl::CProgressBarCtrl(GetDlgItem(1000)).GetPos()
                  : -1;
    return 0;
  }
  LRESULT OnColour(UINT, WPARAM wParam, LPARAM, BOOL&) {
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    coloured = true;
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
  }

  bool initialised = false;
  bool coloured = false;
  int percent = 0;
};

TEST(DialogTest, TemplateRunsModallyWithItsControls) {
  atl::CAppModule module;
  ASSERT_EQ(module.Init(nullptr, nullptr), S_OK);
  RegisterDialogResource(129, &kDialog);
  TestDialog dialog;
  EXPECT_EQ(dialog.DoModal(nullptr), 7);
  EXPECT_TRUE(dialog.initialised);
  EXPECT_EQ(dialog.percent, 40) << "the progress bar took the posted position";
  EXPECT_TRUE(dialog.coloured) << "the static asked its dialog for its colours";
  EXPECT_EQ(DialogBoxParamW(module.GetResourceInstance(), MAKEINTRESOURCEW(130), nullptr, nullptr, 0), -1)
      << "no such template";
}

TEST(DialogTest, DialogUnitsFollowTheFont) {
  RegisterDialogResource(129, &kDialog);
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(129), nullptr, nullptr, 0);
  ASSERT_NE(dialog, nullptr);
  RECT units{0, 0, 4, 8};
  ASSERT_TRUE(MapDialogRect(dialog, &units));
  EXPECT_GE(units.right, 4) << "a 10-point font is at least 4 pixels wide on average";
  EXPECT_GE(units.bottom, 12);
  RECT client{}, progress{};
  GetClientRect(dialog, &client);
  GetWindowRect(GetDlgItem(dialog, 1000), &progress);
  EXPECT_EQ(client.right, 250 * units.right / 4);
  EXPECT_EQ(progress.right - progress.left, (15 + 220) * units.right / 4 - 15 * units.right / 4);
  DestroyWindow(dialog);
}

std::atomic<int> g_ticks{0};
std::atomic<int> g_posts{0};

LRESULT CounterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) ++g_ticks;
  if (message == WM_USER + 1) ++g_posts;
  return DefWindowProcW(window, message, wParam, lParam);
}

struct AnswerCase {
  const char* name;
  unsigned long key;
  int answer;
};

const AnswerCase kAnswers[] = {{"EnterSaysYes", kReturn, IDYES}, {"EscapeSaysNo", kEscape, IDNO}};

class MessageBoxTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(MessageBoxTest, AnsweredByAKeyWhilePostsAndTimersArrive) {
  WNDCLASSEXW counter{};
  counter.cbSize = sizeof(counter);
  counter.lpfnWndProc = CounterProc;
  counter.lpszClassName = L"Counter";
  RegisterClassExW(&counter);
  HWND window = CreateWindowExW(0, L"Counter", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  g_ticks = 0;
  g_posts = 0;
  SetTimer(window, 1, 20, nullptr);
  std::atomic<bool> answered{false};
  std::thread user([&] {
    for (int i = 0; i < 5; ++i) {
      PostMessageW(window, WM_USER + 1, 0, 0);
      Sleep(20);
    }
    // Until the box has the focus, a key may go nowhere: press again.
    for (int i = 0; i < 40 && !answered; ++i) {
      Sleep(150);
      if (!answered) TypeKey(GetParam().key);
    }
  });
  const int answer = MessageBoxW(nullptr, L"Close this window?\n\nThe second line.", L"Warning",
                                 MB_YESNO | MB_ICONWARNING);
  answered = true;
  user.join();
  EXPECT_EQ(answer, GetParam().answer);
  EXPECT_EQ(g_posts, 5) << "posts reached their window while the box was open";
  EXPECT_GE(g_ticks, 3) << "and so did the timer";
  DestroyWindow(window);
}

// A window whose top band is its caption, as the updater's dialog answers WM_NCHITTEST.
std::atomic<int> g_closes{0};

LRESULT CaptionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCHITTEST) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return GET_Y_LPARAM(lParam) < rect.top + 40 ? HTCAPTION : HTCLIENT;
  }
  if (message == WM_CLOSE) {
    ++g_closes;
    return 0;  // asked, not closed
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(CaptionTest, DragMovesTheWindowAndAltF4AsksToClose) {
  WNDCLASSEXW caption{};
  caption.cbSize = sizeof(caption);
  caption.lpfnWndProc = CaptionProc;
  caption.lpszClassName = L"CaptionWindow";
  RegisterClassExW(&caption);
  HWND window = CreateWindowExW(0, L"CaptionWindow", L"", WS_POPUP, 200, 200, 160, 100, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(window, SW_SHOW);
  PumpUntil([] { return false; }, 200);
  ASSERT_TRUE(MovePointer(250, 210));
  PumpUntil([] { return false; }, 100);
  ASSERT_TRUE(PressLeftButton(true));
  PumpUntil([] { return false; }, 100);
  MovePointer(270, 230);
  PumpUntil([] { return false; }, 100);
  MovePointer(290, 250);
  RECT rect{};
  EXPECT_TRUE(PumpUntil([&] {
    GetWindowRect(window, &rect);
    return rect.left == 240 && rect.top == 240;
  })) << rect.left << "," << rect.top;
  PressLeftButton(false);
  // A press below the band is the client's: nothing moves.
  MovePointer(260, 320);
  PressLeftButton(true);
  MovePointer(280, 330);
  PressLeftButton(false);
  PumpUntil([] { return false; }, 200);
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 240);
  g_closes = 0;
  SetActiveWindow(window);
  PumpUntil([] { return false; }, 200);
  for (int i = 0; i < 10 && g_closes == 0; ++i) {
    TypeKeyWithAlt(0xffc1);  // XK_F4
    PumpUntil([] { return g_closes > 0; }, 300);
  }
  EXPECT_EQ(g_closes, 1);
  EXPECT_TRUE(IsWindow(window)) << "the procedure decides";
  DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(Keys, MessageBoxTest, ::testing::ValuesIn(kAnswers), RowName());

}  // namespace
