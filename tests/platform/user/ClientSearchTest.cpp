// A framed top-level window is walked as the client its window manager framed:
// the nearest window marked by WM_STATE, level by level, a few levels deep.
#include <gtest/gtest.h>

#include <platform/User.h>

#include <X11/Xlib.h>

#include <vector>

#include "RowName.h"
#include "XConnection.h"

namespace {

struct SearchCase {
  const char* name;
  std::vector<int> parents;  // of windows 1..n; window 0 is the frame
  std::vector<int> marked;   // windows that carry WM_STATE
  int client;                // the window the walk should name
};

const SearchCase kSearchCases[] = {
    {"Unmarked", {0}, {}, 0},
    {"MarkedFrame", {0}, {0}, 0},
    {"Child", {0}, {1}, 1},
    {"Grandchild", {0, 1}, {2}, 2},
    {"TooDeep", {0, 1, 2}, {3}, 0},
    // Window 1 sits below window 2, so it is looked at first.
    {"NearerLevelWins", {0, 0, 1}, {2, 3}, 2},
    {"LowerSiblingWins", {0, 0}, {1, 2}, 1},
};

class ClientSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(ClientSearchTest, WalkNamesTheClient) {
  const SearchCase& c = GetParam();
  Display* display = ThreadDisplay();
  ASSERT_NE(display, nullptr);
  const Window root = DefaultRootWindow(display);
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  std::vector<Window> windows{XCreateSimpleWindow(display, root, 0, 0, 20, 20, 0, 0, 0)};
  for (int parent : c.parents) {
    windows.push_back(XCreateSimpleWindow(display, windows[static_cast<size_t>(parent)], 0, 0, 10, 10, 0, 0, 0));
  }
  for (int marked : c.marked) {
    const long state[2] = {1, 0};
    XChangeProperty(display, windows[static_cast<size_t>(marked)], wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
  }
  XSync(display, False);
  std::vector<HWND> seen;
  int steps = 0;
  for (HWND w = GetTopWindow(nullptr); w != nullptr && steps < 10000; w = GetWindow(w, GW_HWNDNEXT), ++steps) {
    for (Window ours : windows) {
      if (w == reinterpret_cast<HWND>(static_cast<uintptr_t>(ours))) seen.push_back(w);
    }
  }
  XDestroyWindow(display, windows.front());
  XSync(display, False);
  const HWND expected = reinterpret_cast<HWND>(static_cast<uintptr_t>(windows[static_cast<size_t>(c.client)]));
  EXPECT_EQ(seen, std::vector<HWND>{expected});
}

INSTANTIATE_TEST_SUITE_P(Frames, ClientSearchTest, ::testing::ValuesIn(kSearchCases), RowName());

}  // namespace
