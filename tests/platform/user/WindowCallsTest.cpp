// The calls the window chooser and the share indicators make, against helper
// windows: without a window manager, and with openbox where the calls differ.
#include <gtest/gtest.h>

#include <QImage>

#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/QtWin.h>
#include <platform/User.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "XScreen.h"
#include "XWindowManager.h"
#include "XWindows.h"
#include "RowName.h"

namespace {

HWND AsHwnd(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

std::wstring Title(HWND window, int count = 260) {
  std::vector<wchar_t> text(static_cast<size_t>(count), L'x');
  const int length = GetWindowTextW(window, text.data(), count);
  EXPECT_EQ(text[static_cast<size_t>(length)], L'\0');
  return std::wstring(text.data(), static_cast<size_t>(length));
}

// Visible top-level clients, top first, as the window walk sees them.
std::vector<HWND> Stack() {
  std::vector<HWND> order;
  int steps = 0;
  for (HWND w = GetTopWindow(nullptr); w != nullptr && steps < 1000; w = GetWindow(w, GW_HWNDNEXT), ++steps) {
    if (IsWindowVisible(w)) order.push_back(w);
  }
  return order;
}

bool DirectlyBelow(HWND window, HWND above) {
  const std::vector<HWND> order = Stack();
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    if (order[i] == above) return order[i + 1] == window;
  }
  return false;
}

// A window manager answers requests in its own time.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class WindowCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(windows_.started()); }
  XWindows windows_;
};

// One window per row, set up as the row says, then read through every call.
struct KindCase {
  const char* name;
  const char* options;
  const char* titleHow;  // "", "net", "wm" or "split" (WM_NAME "old", then _NET_WM_NAME)
  const char* title;
  bool iconify;
  bool close;
  const wchar_t* expectTitle;
  bool expectOwned;
  bool expectIconic;
};

const KindCase kKindCases[] = {
    {"NetTitle", "", "net", "Grüße 窗口", false, false, L"Grüße 窗口", false, false},
    {"WmTitle", "", "wm", "Plain title", false, false, L"Plain title", false, false},
    {"NetBeatsWm", "", "split", "new", false, false, L"new", false, false},
    {"Untitled", "", "", "", false, false, L"", false, false},
    {"Owned", "owner=owner", "net", "Dialog", false, false, L"Dialog", true, false},
    {"Tool", "type=utility", "net", "Palette", false, false, L"Palette", false, false},
    {"Iconified", "", "net", "Asleep", true, false, L"Asleep", false, true},
    {"Closed", "", "net", "Gone", false, true, L"", false, false},
};

class WindowKindTest : public WindowCallsTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(WindowKindTest, Calls) {
  const KindCase& row = GetParam();
  const HWND owner = AsHwnd(windows_.Open("owner", 10, 10, 50, 50, 0x101010));
  const HWND w = AsHwnd(windows_.Open("w", 100, 100, 80, 60, 0x203040, row.options));
  ASSERT_NE(w, nullptr);
  const std::string how = row.titleHow;
  if (how == "split") {
    ASSERT_TRUE(windows_.Title("w", "wm", "old"));
    ASSERT_TRUE(windows_.Title("w", "net", row.title));
  } else if (!how.empty()) {
    ASSERT_TRUE(windows_.Title("w", how, row.title));
  }
  if (row.iconify) {
    ASSERT_TRUE(windows_.Iconify("w"));
  }
  if (row.close) {
    ASSERT_TRUE(windows_.Close("w"));
  }

  EXPECT_EQ(IsWindow(w), row.close ? FALSE : TRUE);
  SetLastError(0);
  EXPECT_EQ(Title(w), row.expectTitle);
  if (row.close) {
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  }
  const LONG ownerId = GetWindowLongW(w, GWL_HWNDPARENT);
  EXPECT_EQ(ownerId, row.expectOwned ? static_cast<LONG>(reinterpret_cast<uintptr_t>(owner)) : 0);
  EXPECT_EQ(IsIconic(w), row.expectIconic ? TRUE : FALSE);
  EXPECT_EQ(IsWindowVisible(w), row.iconify || row.close ? FALSE : TRUE);
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowKindTest, ::testing::ValuesIn(kKindCases), RowName());

// Toolkits make a parentless dialog transient for the root or for a hidden
// client leader of their own; only a mapped top-level window owns another.
struct OwnerCase {
  const char* name;
  const char* options;
  bool owned;  // by "app"
};

const OwnerCase kOwnerCases[] = {
    {"MappedWindow", "owner=app", true},
    {"Root", "owner=root", false},
    {"HiddenLeader", "owner=leader", false},
    {"GoneWindow", "owner=gone", false},
};

struct ScreenCase {
  const char* name;
  bool managed;
};

class OwnerTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(OwnerTest, OnlyAMappedTopLevelWindowOwns) {
  std::unique_ptr<XWindowManager> manager(GetParam().managed ? new XWindowManager : nullptr);
  if (manager) {
    ASSERT_TRUE(manager->running()) << "openbox did not start";
  }
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const HWND app = AsHwnd(windows.Open("app", 10, 10, 200, 150, 0x101010));
  ASSERT_NE(app, nullptr);
  ASSERT_NE(windows.Open("leader", 0, 0, 1, 1, 0x000000, "unmapped"), 0u);
  for (const OwnerCase& row : kOwnerCases) {
    SCOPED_TRACE(row.name);
    const HWND dialog = AsHwnd(windows.Open(row.name, 40, 40, 80, 60, 0x202020, row.options));
    ASSERT_NE(dialog, nullptr);
    const HWND owner = row.owned ? app : nullptr;
    const LONG ownerId = static_cast<LONG>(reinterpret_cast<uintptr_t>(owner));
    // A window manager frames the dialog in its own time.
    EXPECT_TRUE(Eventually([&] { return GetParent(dialog) == owner; })) << GetParent(dialog);
    EXPECT_EQ(GetWindowLongW(dialog, GWL_HWNDPARENT), ownerId);
    const WindowWalk walk;
    EXPECT_EQ(GetParent(dialog), owner) << "in a walk";
    EXPECT_EQ(GetWindowLongW(dialog, GWL_HWNDPARENT), ownerId) << "in a walk";
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, OwnerTest, ::testing::Values(ScreenCase{"Bare", false}, ScreenCase{"Framed", true}),
                         RowName());

TEST_F(WindowCallsTest, TitleIsCutToTheBuffer) {
  const HWND w = AsHwnd(windows_.Open("w", 0, 0, 10, 10, 0x111111));
  ASSERT_TRUE(windows_.Title("w", "net", "abcdefgh"));
  EXPECT_EQ(Title(w, 5), L"abcd");
  EXPECT_EQ(Title(w, 1), L"");
  EXPECT_EQ(GetWindowTextW(w, nullptr, 10), 0);
  EXPECT_EQ(GetWindowLongW(w, -4 /* GWL_WNDPROC: not offered */), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_FALSE(IsWindow(nullptr));
}

struct IconCase {
  const char* name;
  const char* netSizes;  // "" for no _NET_WM_ICON
  int hintSide;          // 0 for no WM_HINTS icon
  bool hintMask;
  int expectBig, expectSmall, expectClass;  // sides, 0 for no icon
};

const IconCase kIconCases[] = {
    {"NoIcon", "", 0, false, 0, 0, 0},
    {"OneNetIcon", "32x32", 0, false, 32, 32, 0},
    {"SeveralNetIcons", "24x24,48x48,16x16", 0, false, 48, 16, 0},
    {"NearestToSixteen", "64x64,20x20,12x12", 0, false, 64, 20, 0},
    {"HintsIcon", "", 24, false, 0, 0, 24},
    {"HintsIconWithMask", "", 24, true, 0, 0, 24},
    {"Both", "32x32", 24, true, 32, 32, 24},
};

class WindowIconTest : public WindowCallsTest, public ::testing::WithParamInterface<IconCase> {};

QImage IconImage(HICON icon) { return QtWin::fromHICON(icon).toImage().convertToFormat(QImage::Format_ARGB32); }

TEST_P(WindowIconTest, Icons) {
  const IconCase& row = GetParam();
  const HWND w = AsHwnd(windows_.Open("w", 0, 0, 40, 40, 0x111111));
  if (row.netSizes[0] != '\0') {
    ASSERT_TRUE(windows_.NetIcon("w", row.netSizes, 0x3366cc));
  }
  if (row.hintSide > 0) {
    ASSERT_TRUE(windows_.HintIcon("w", row.hintSide, row.hintSide, 0xcc6633, row.hintMask));
  }

  for (WPARAM which : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
    ULONG_PTR result = 12345;
    ASSERT_NE(SendMessageTimeoutW(w, WM_GETICON, which, 0, SMTO_BLOCK, 2000, &result), 0);
    const int side = which == ICON_BIG ? row.expectBig : row.expectSmall;
    const HICON icon = reinterpret_cast<HICON>(result);
    if (side == 0) {
      EXPECT_EQ(icon, nullptr);
      continue;
    }
    const QImage image = IconImage(icon);
    EXPECT_EQ(image.size(), QSize(side, side));
    EXPECT_EQ(image.pixel(1, 1), 0xff3366ccu);
    EXPECT_TRUE(DestroyIcon(icon));  // the window's: still there afterwards
    EXPECT_FALSE(IconImage(icon).isNull());
  }
  for (int index : {GCL_HICON, GCL_HICONSM}) {
    const HICON icon = reinterpret_cast<HICON>(GetClassLongW(w, index));
    if (row.expectClass == 0) {
      EXPECT_EQ(icon, nullptr);
      continue;
    }
    const QImage image = IconImage(icon);
    ASSERT_EQ(image.size(), QSize(row.expectClass, row.expectClass));
    EXPECT_EQ(image.pixel(1, 1), 0xffcc6633u);
    EXPECT_EQ(qAlpha(image.pixel(row.expectClass - 2, 1)), row.hintMask ? 0 : 255);
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowIconTest, ::testing::ValuesIn(kIconCases), RowName());

TEST_F(WindowCallsTest, IconsOfAClosedWindowAndOtherMessages) {
  const HWND w = AsHwnd(windows_.Open("w", 0, 0, 40, 40, 0x111111));
  ASSERT_TRUE(windows_.NetIcon("w", "16x16", 0x123456));
  ASSERT_TRUE(windows_.Close("w"));
  ULONG_PTR result = 12345;
  EXPECT_EQ(SendMessageTimeoutW(w, WM_GETICON, ICON_BIG, 0, SMTO_BLOCK, 2000, &result), 0);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(GetClassLongW(w, GCL_HICON), 0u);
  // A message of the program's own goes to the window's port: it has none.
  EXPECT_EQ(SendMessageTimeoutW(w, 0x590, 0, 0, SMTO_BLOCK, 2000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  // System messages other than WM_GETICON are not offered.
  EXPECT_EQ(SendMessageTimeoutW(w, 0x0010, 0, 0, SMTO_BLOCK, 2000, &result), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WindowCallsTest, RestackBelowWithoutWindowManager) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  const HWND target = AsHwnd(windows_.Open("target", 100, 100, 100, 100, 0x00ff00));
  const HWND frame = AsHwnd(windows_.Open("frame", 90, 90, 120, 120, 0xff0000));
  ASSERT_EQ(screen.WindowAt(150, 150), reinterpret_cast<uintptr_t>(frame));
  ASSERT_TRUE(SetWindowPos(frame, target, 0, 0, 0, 0, SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_TRUE(DirectlyBelow(frame, target));
  EXPECT_EQ(screen.WindowAt(150, 150), reinterpret_cast<uintptr_t>(target));
  EXPECT_EQ(screen.WindowAt(95, 95), reinterpret_cast<uintptr_t>(frame));
  EXPECT_FALSE(SetWindowPos(frame, target, 5, 5, 0, 0, SWP_NOSIZE)) << "moving is not offered";
  ASSERT_TRUE(windows_.Close("target"));
  EXPECT_FALSE(SetWindowPos(frame, target, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(WindowCallsTest, ShapeBoundsPixelsAndClicks) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  const HWND below = AsHwnd(windows_.Open("below", 300, 300, 100, 100, 0x0000ff));
  const HWND ring = AsHwnd(windows_.Open("ring", 300, 300, 100, 100, 0xff0000));
  HRGN outer = CreateRectRgn(0, 0, 100, 100);
  HRGN inner = CreateRectRgn(2, 2, 98, 98);
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(CombineRgn(shape, outer, inner, RGN_DIFF), COMPLEXREGION);
  DeleteObject(outer);
  DeleteObject(inner);
  ASSERT_TRUE(SetWindowRgn(ring, shape, TRUE));
  EXPECT_FALSE(DeleteObject(shape)) << "the region belongs to the layer now";
  EXPECT_EQ(screen.Grab(301, 350, 1, 1).at(0), 0xff0000u);
  EXPECT_EQ(screen.Grab(350, 350, 1, 1).at(0), 0x0000ffu);
  EXPECT_EQ(screen.WindowAt(350, 350), reinterpret_cast<uintptr_t>(below)) << "input follows the shape";
  EXPECT_EQ(screen.WindowAt(301, 350), reinterpret_cast<uintptr_t>(ring));
  HRGN read = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(ring, read), COMPLEXREGION);
  DeleteObject(read);
  ASSERT_TRUE(SetWindowRgn(ring, nullptr, TRUE));
  EXPECT_EQ(screen.WindowAt(350, 350), reinterpret_cast<uintptr_t>(ring));
  HRGN stale = CreateRectRgn(0, 0, 1, 1);
  DeleteObject(stale);
  EXPECT_FALSE(SetWindowRgn(ring, stale, TRUE));
  HRGN kept = CreateRectRgn(0, 0, 1, 1);
  EXPECT_FALSE(SetWindowRgn(AsHwnd(0x7fffffff), kept, TRUE));
  EXPECT_TRUE(DeleteObject(kept)) << "a failed call leaves the region with the caller";
}

TEST_F(WindowCallsTest, ShowRaiseAndFocusWithoutWindowManager) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  const HWND app = AsHwnd(windows_.Open("app", 500, 100, 100, 100, 0x00ff00));
  const HWND other = AsHwnd(windows_.Open("other", 500, 100, 100, 100, 0x0000ff));
  ASSERT_TRUE(windows_.Iconify("app"));
  ASSERT_TRUE(IsIconic(app));
  EXPECT_FALSE(ShowWindow(app, SW_SHOWNORMAL)) << "it was not visible";
  EXPECT_TRUE(IsWindowVisible(app));
  EXPECT_FALSE(IsIconic(app));
  EXPECT_TRUE(BringWindowToTop(app));
  EXPECT_EQ(screen.WindowAt(550, 150), reinterpret_cast<uintptr_t>(app));
  EXPECT_TRUE(SetForegroundWindow(other));
  EXPECT_EQ(screen.Focus(), reinterpret_cast<uintptr_t>(other));
  EXPECT_EQ(screen.WindowAt(550, 150), reinterpret_cast<uintptr_t>(other));
  EXPECT_TRUE(ShowWindow(other, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(other));
  EXPECT_FALSE(ShowWindow(other, 3 /* SW_MAXIMIZE: not offered */));
}

// With a reparenting window manager the calls ask it instead of acting.
class ManagedWindowCallsTest : public WindowCallsTest {
 protected:
  static void SetUpTestSuite() { manager_ = new XWindowManager; }
  static void TearDownTestSuite() {
    delete manager_;
    manager_ = nullptr;
  }
  void SetUp() override {
    WindowCallsTest::SetUp();
    ASSERT_TRUE(manager_->running()) << "openbox did not start";
  }
  static XWindowManager* manager_;
};
XWindowManager* ManagedWindowCallsTest::manager_ = nullptr;

TEST_F(ManagedWindowCallsTest, RestackAndFocusThroughTheManager) {
  const HWND target = AsHwnd(windows_.Open("target", 100, 100, 100, 100, 0x00ff00));
  const HWND frame = AsHwnd(windows_.Open("frame", 90, 90, 120, 120, 0xff0000));
  ASSERT_TRUE(windows_.Title("target", "net", "Target"));
  ASSERT_TRUE(Eventually([&] { return DirectlyBelow(target, frame); }));
  EXPECT_EQ(GetParent(target), nullptr) << "framed, yet top-level";
  EXPECT_EQ(Title(target), L"Target");
  ASSERT_TRUE(SetWindowPos(frame, target, 0, 0, 0, 0, SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_TRUE(Eventually([&] { return DirectlyBelow(frame, target); }));
  EXPECT_TRUE(BringWindowToTop(frame));
  // The manager keeps a window of its own mapped off the screen: compare ours only.
  EXPECT_TRUE(Eventually([&] { return DirectlyBelow(target, frame); }));
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  EXPECT_TRUE(SetForegroundWindow(target));
  EXPECT_TRUE(Eventually([&] { return screen.Focus() == reinterpret_cast<uintptr_t>(target); }));
}

TEST_F(ManagedWindowCallsTest, IconifiedByTheManagerAndRestored) {
  const HWND app = AsHwnd(windows_.Open("app", 300, 100, 100, 100, 0x00ff00));
  ASSERT_TRUE(windows_.Iconify("app"));
  EXPECT_TRUE(IsIconic(app));
  EXPECT_FALSE(IsWindowVisible(app));
  EXPECT_TRUE(IsWindow(app));
  ShowWindow(app, SW_SHOWNORMAL);
  EXPECT_TRUE(Eventually([&] { return IsWindowVisible(app) && !IsIconic(app); }));
}

}  // namespace
