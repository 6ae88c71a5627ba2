#include <gtest/gtest.h>

#include <algorithm>
#include <list>

#include "TopWindows.h"
#include "XWindows.h"
#include "RowName.h"

namespace {

HWND AsHwnd(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

struct ClassCase {
  const char* name;
  bool selected;
  bool layered;
  int mode;
  int expected;
};

class ClassifyTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ClassifyTest, LayeredWindowsFollowTheMode) {
  const ClassCase& c = GetParam();
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const unsigned long window = windows.Open("w", 10, 10, 50, 50, 0x808080, std::string("pid=4242") +
                                                                             (c.layered ? " argb" : ""));
  ASSERT_NE(window, 0u);
  CatchWndFilter filter;
  filter.mode = c.mode;
  filter.processIds = {static_cast<DWORD>(c.selected ? 4242 : 77)};
  EXPECT_EQ(ClassifyWindow(filter, AsHwnd(window)), c.expected);
}

const ClassCase kClassCases[] = {
    {"SelectedPlainMode0", true, false, 0, 1},   {"SelectedPlainMode1", true, false, 1, 1},
    {"SelectedPlainMode2", true, false, 2, 1},   {"SelectedLayeredMode0", true, true, 0, 0},
    {"SelectedLayeredMode1", true, true, 1, 0},  {"SelectedLayeredMode2", true, true, 2, 1},
    {"OtherPlainMode0", false, false, 0, -1},    {"OtherPlainMode2", false, false, 2, -1},
    {"OtherLayeredMode0", false, true, 0, 0},    {"OtherLayeredMode1", false, true, 1, -1},
    {"OtherLayeredMode2", false, true, 2, -1},
};

INSTANTIATE_TEST_SUITE_P(Windows, ClassifyTest, ::testing::ValuesIn(kClassCases), RowName());

TEST(TopWindowsTest, ListIsBottomFirstAndSkipsHiddenWindows) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const HWND a = AsHwnd(windows.Open("a", 0, 0, 10, 10, 0x111111));
  const HWND b = AsHwnd(windows.Open("b", 0, 0, 10, 10, 0x222222));
  const HWND c = AsHwnd(windows.Open("c", 0, 0, 10, 10, 0x333333));
  ASSERT_TRUE(windows.Raise("a"));
  std::list<HWND> list;
  EnumTopWindows(list);
  std::list<HWND> ours;
  std::copy_if(list.begin(), list.end(), std::back_inserter(ours), [&](HWND w) { return w == a || w == b || w == c; });
  EXPECT_EQ(ours, (std::list<HWND>{b, c, a}));
  ASSERT_TRUE(windows.Close("c"));
  list.clear();
  EnumTopWindows(list);
  EXPECT_EQ(std::count(list.begin(), list.end(), c), 0);
}

TEST(TopWindowsTest, OwnerRingDoesNotHang) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  // X lets windows own each other in a ring; Windows never does.
  const HWND a = AsHwnd(windows.Open("a", 0, 0, 10, 10, 0x111111, "pid=1"));
  const HWND b = AsHwnd(windows.Open("b", 0, 0, 10, 10, 0x222222, "pid=1 owner=a"));
  ASSERT_TRUE(windows.Own("a", "b"));
  CatchWndFilter filter;
  filter.windows = {AsHwnd(12345)};
  EXPECT_EQ(ClassifyWindow(filter, b), -1);
  EXPECT_EQ(ClassifyWindow(filter, a), -1);
}

// ClassifyWindows reads one snapshot for the whole list; each window's class
// must be the one ClassifyWindow finds asking the server call by call.
TEST(TopWindowsTest, ListClassesMatchOneByOne) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const HWND app = AsHwnd(windows.Open("app", 0, 0, 40, 40, 0x111111, "pid=31"));
  ASSERT_NE(app, nullptr);
  ASSERT_NE(windows.Open("appAlpha", 10, 0, 40, 40, 0x222222, "pid=31 argb"), 0u);
  ASSERT_NE(windows.Open("dialog", 20, 0, 40, 40, 0x333333, "pid=32 owner=app"), 0u);
  ASSERT_NE(windows.Open("other", 30, 0, 40, 40, 0x444444, "pid=33"), 0u);
  ASSERT_NE(windows.Open("otherAlpha", 40, 0, 40, 40, 0x555555, "pid=33 argb"), 0u);
  ASSERT_NE(windows.Open("shaped", 50, 0, 40, 40, 0x666666, "pid=31 shape=0,0,10,10"), 0u);
  std::list<HWND> list;
  EnumTopWindows(list);
  for (int mode = 0; mode <= 2; ++mode) {
    CatchWndFilter byProcess;
    byProcess.mode = mode;
    byProcess.processIds = {31};
    CatchWndFilter byOwner;
    byOwner.mode = mode;
    byOwner.windows = {app};
    for (const CatchWndFilter* filter : {&byProcess, &byOwner}) {
      std::list<std::pair<HWND, int>> classes;
      ClassifyWindows(list, *filter, classes);
      ASSERT_EQ(classes.size(), list.size());
      for (const auto& entry : classes) {
        EXPECT_EQ(entry.second, ClassifyWindow(*filter, entry.first)) << "mode " << mode << " window " << entry.first;
      }
    }
  }
}

}  // namespace
