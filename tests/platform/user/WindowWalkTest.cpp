// A window walk answers from one snapshot of the stack: for every window of
// the stack its answers must be those the calls give one by one outside a
// walk, on the same screen, with or without a window manager framing them.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/User.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

#include "RowName.h"
#include "XConnection.h"
#include "XWindowManager.h"
#include "XWindows.h"

namespace {

HWND AsHwnd(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

// Marks whether a call set the last error.
constexpr DWORD kUntouched = 0xdead;

struct Region {
  explicit Region(HRGN region) : handle(region) {}
  ~Region() { DeleteObject(handle); }
  HRGN handle;
};

// Everything the capture path reads of one window.
struct Answers {
  BOOL visible = FALSE;
  LONG exStyle = 0, owner = 0;
  DWORD exStyleError = 0, ownerError = 0;
  DWORD pid = 0, pidOut = 0, pidError = 0;
  HWND parent = nullptr;
  DWORD parentError = 0;
  BOOL rectOk = FALSE;
  RECT rect{};
  DWORD rectError = 0;
  int regionType = 0;
  std::shared_ptr<Region> region;
};

Answers Ask(HWND window) {
  Answers a;
  a.visible = IsWindowVisible(window);
  SetLastError(kUntouched);
  a.exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  a.exStyleError = GetLastError();
  SetLastError(kUntouched);
  a.owner = GetWindowLongW(window, GWL_HWNDPARENT);
  a.ownerError = GetLastError();
  SetLastError(kUntouched);
  a.pid = GetWindowThreadProcessId(window, &a.pidOut);
  a.pidError = GetLastError();
  SetLastError(kUntouched);
  a.parent = GetParent(window);
  a.parentError = GetLastError();
  SetLastError(kUntouched);
  a.rectOk = GetWindowRect(window, &a.rect);
  a.rectError = GetLastError();
  a.region = std::make_shared<Region>(CreateRectRgn(0, 0, 0, 0));
  a.regionType = GetWindowRgn(window, a.region->handle);
  return a;
}

bool SameRegion(HRGN a, HRGN b) {
  const Region difference(CreateRectRgn(0, 0, 0, 0));
  return CombineRgn(difference.handle, a, b, RGN_DIFF) == NULLREGION &&
         CombineRgn(difference.handle, b, a, RGN_DIFF) == NULLREGION;
}

bool operator==(const Answers& a, const Answers& b) {
  const bool rectsMatch = a.rectOk == b.rectOk && (!a.rectOk || (a.rect.left == b.rect.left && a.rect.top == b.rect.top &&
                                                                 a.rect.right == b.rect.right &&
                                                                 a.rect.bottom == b.rect.bottom));
  return a.visible == b.visible && a.exStyle == b.exStyle && a.exStyleError == b.exStyleError &&
         a.owner == b.owner && a.ownerError == b.ownerError && a.pid == b.pid && a.pidOut == b.pidOut &&
         a.pidError == b.pidError && a.parent == b.parent && a.parentError == b.parentError && rectsMatch &&
         a.rectError == b.rectError && a.regionType == b.regionType &&
         SameRegion(a.region->handle, b.region->handle);
}

std::ostream& operator<<(std::ostream& out, const Answers& a) {
  RECT box{};
  GetRgnBox(a.region->handle, &box);
  return out << "{visible " << a.visible << ", style " << a.exStyle << "/" << a.exStyleError << ", owner " << a.owner
             << "/" << a.ownerError << ", pid " << a.pid << "/" << a.pidOut << "/" << a.pidError << ", parent "
             << a.parent << "/" << a.parentError << ", rect " << a.rectOk << " " << a.rect.left << "," << a.rect.top
             << "," << a.rect.right << "," << a.rect.bottom << "/" << a.rectError << ", region " << a.regionType
             << " " << box.left << "," << box.top << "," << box.right << "," << box.bottom << "}";
}

std::vector<HWND> Stack() {
  std::vector<HWND> stack;
  int steps = 0;
  for (HWND w = GetTopWindow(nullptr); w != nullptr && steps < 10000; w = GetWindow(w, GW_HWNDNEXT), ++steps) {
    stack.push_back(w);
  }
  return stack;
}

struct Scene {
  std::vector<HWND> stack;  // as the walk saw it
  std::vector<HWND> asked;  // the stack and windows off it
  std::vector<Answers> answers;
};

Scene Read(const std::vector<HWND>& extra, bool inWalk) {
  std::unique_ptr<WindowWalk> walk(inWalk ? new WindowWalk : nullptr);
  Scene scene;
  scene.stack = Stack();
  scene.asked = scene.stack;
  scene.asked.insert(scene.asked.end(), extra.begin(), extra.end());
  for (HWND window : scene.asked) scene.answers.push_back(Ask(window));
  return scene;
}

bool SameScene(const Scene& a, const Scene& b) {
  return a.stack == b.stack && a.asked == b.asked && a.answers == b.answers;
}

void ExpectSameAnswers(const Scene& walked, const Scene& oneByOne) {
  ASSERT_EQ(walked.stack, oneByOne.stack);
  ASSERT_EQ(walked.asked, oneByOne.asked);
  for (size_t i = 0; i < walked.answers.size(); ++i) {
    EXPECT_EQ(walked.answers[i], oneByOne.answers[i]) << "window " << walked.asked[i];
  }
}

struct WalkCase {
  const char* name;
  bool managed;
};

const WalkCase kWalkCases[] = {{"Bare", false}, {"Framed", true}};

class WindowWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WindowWalkTest, AnswersAsTheCallsOneByOne) {
  std::unique_ptr<XWindowManager> manager(GetParam().managed ? new XWindowManager : nullptr);
  if (manager) {
    ASSERT_TRUE(manager->running()) << "openbox did not start";
  }
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const unsigned long plain = windows.Open("plain", 10, 10, 80, 60, 0x101010, "pid=4100");
  ASSERT_NE(plain, 0u);
  ASSERT_NE(windows.Open("layered", 30, 20, 50, 50, 0x202020, "pid=4100 argb"), 0u);
  ASSERT_NE(windows.Open("tool", 60, 40, 40, 40, 0x303030, "type=utility"), 0u);
  ASSERT_NE(windows.Open("shaped", 100, 100, 90, 90, 0x404040, "pid=4200 shape=0,0,30,30+40,40,50,50"), 0u);
  ASSERT_NE(windows.Open("dialog", 120, 80, 60, 40, 0x505050, "pid=4100 owner=plain"), 0u);
  // Toolkits' parentless dialogs: transient for the root or a hidden client leader.
  ASSERT_NE(windows.Open("leader", 0, 0, 1, 1, 0x000000, "unmapped"), 0u);
  ASSERT_NE(windows.Open("led", 140, 90, 30, 30, 0x515151, "owner=leader"), 0u);
  ASSERT_NE(windows.Open("grouped", 150, 95, 30, 30, 0x525252, "owner=root"), 0u);
  ASSERT_NE(windows.Open("orphan", 160, 100, 30, 30, 0x535353, "owner=gone"), 0u);
  ASSERT_NE(windows.Open("hidden", 5, 5, 20, 20, 0x606060), 0u);
  ASSERT_NE(windows.Open("moved", 5, 5, 20, 20, 0x707070), 0u);
  ASSERT_NE(windows.Open("iconic", 200, 5, 20, 20, 0x808080, "pid=4300"), 0u);
  ASSERT_TRUE(windows.Unmap("hidden"));
  ASSERT_TRUE(windows.Move("moved", 300, 200));
  ASSERT_TRUE(windows.Iconify("iconic"));
  ASSERT_TRUE(windows.Raise("plain"));
  ASSERT_TRUE(windows.Lower("tool"));
  // A window below a top-level one is off the stack: asked of the server even in a walk.
  Display* display = ThreadDisplay();
  ASSERT_NE(display, nullptr);
  const Window child = XCreateSimpleWindow(display, plain, 5, 5, 10, 10, 0, 0, 0);
  XMapWindow(display, child);
  // X measures a window's position outside its border, Windows' rectangle too.
  const Window bordered = XCreateSimpleWindow(display, DefaultRootWindow(display), 40, 300, 30, 30, 3, 0, 0);
  XMapWindow(display, bordered);
  XSync(display, False);
  const std::vector<HWND> extra{AsHwnd(child), AsHwnd(0x7fffffff)};
  // A window manager finishes its work in its own time: compare once two
  // reads one by one around the walk agree.
  bool settled = false;
  for (int attempt = 0; attempt < 40 && !settled; ++attempt) {
    const Scene before = Read(extra, false);
    const Scene walked = Read(extra, true);
    const Scene after = Read(extra, false);
    settled = SameScene(before, after);
    if (settled) {
      ExpectSameAnswers(walked, before);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  EXPECT_TRUE(settled) << "the screen never held still";
  XDestroyWindow(display, child);
  XDestroyWindow(display, bordered);
  XSync(display, False);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowWalkTest, ::testing::ValuesIn(kWalkCases), RowName());

XWindows* g_doomedOwner = nullptr;

void CloseDoomed() { g_doomedOwner->Close("doomed"); }

TEST(WindowWalkGoneTest, WindowDestroyedBeforeTheSnapshotAnswersAsGone) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const HWND doomed = AsHwnd(windows.Open("doomed", 10, 10, 40, 40, 0x111111, "pid=77 shape=0,0,10,10"));
  const HWND kept = AsHwnd(windows.Open("kept", 20, 20, 40, 40, 0x222222, "pid=77"));
  ASSERT_NE(doomed, nullptr);
  Answers walked, keptInWalk;
  std::vector<HWND> stack;
  g_doomedOwner = &windows;
  SetWindowWalkHookForTests(CloseDoomed);
  {
    const WindowWalk walk;
    SetWindowWalkHookForTests(nullptr);
    stack = Stack();
    walked = Ask(doomed);
    keptInWalk = Ask(kept);
  }
  EXPECT_NE(std::find(stack.begin(), stack.end(), doomed), stack.end()) << "the stack was read before it went";
  EXPECT_FALSE(walked.visible);
  EXPECT_FALSE(walked.rectOk);
  EXPECT_EQ(walked.regionType, RGN_ERROR);
  EXPECT_EQ(walked, Ask(doomed)) << "as the calls answer for a window that is gone";
  EXPECT_TRUE(keptInWalk.visible);
  EXPECT_EQ(keptInWalk, Ask(kept));
}

TEST(WindowWalkScopeTest, AnswersAreFreshOnceTheOutermostWalkEnds) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const HWND window = AsHwnd(windows.Open("w", 10, 10, 40, 40, 0x111111));
  RECT rect{};
  {
    const WindowWalk outer;
    ASSERT_TRUE(windows.Move("w", 100, 50));
    {
      const WindowWalk inner;  // shares the outer snapshot
      ASSERT_TRUE(GetWindowRect(window, &rect));
      EXPECT_EQ(rect.left, 10) << "a walk answers as the screen was when it began";
    }
    ASSERT_TRUE(windows.Move("w", 200, 60));
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 10);
  }
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 200);
  EXPECT_EQ(rect.top, 60);
  const WindowWalk next;
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 200) << "a new walk reads the screen anew";
}

}  // namespace
