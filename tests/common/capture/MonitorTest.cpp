#include <gtest/gtest.h>

#include "Monitor.h"
#include "ScreenInfo.h"
#include "XScreen.h"
#include "RowName.h"

namespace {

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct IndexCase {
  const char* name;
  bool rightIsPrimary;  // RandR's primary flag; without it the monitor at (0, 0) is primary
  int index;
  // "left", "right", "first", "second" (enumeration order) or "" for no monitor
  const char* expect;
};

class MonitorIndexTest : public ::testing::TestWithParam<IndexCase> {
 protected:
  const RECT kLeft{0, 0, 960, 1080};
  const RECT kRight{960, 0, 1920, 1080};
};

TEST_P(MonitorIndexTest, IndexSelectsMonitor) {
  const IndexCase& c = GetParam();
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  // Enumeration order is the server's; the right monitor is listed first
  // here so that index 1 and the primary differ.
  ASSERT_TRUE(screen.SetMonitors({{"RIGHT", 960, 0, 960, 1080, c.rightIsPrimary}, {"LEFT", 0, 0, 960, 1080, false}}));
  CMonitors monitors;
  RECT first{}, second{};
  ASSERT_TRUE(monitors.GetMonitor(1).GetMonitorRect(first));
  ASSERT_TRUE(monitors.GetMonitor(2).GetMonitorRect(second));
  ASSERT_FALSE(SameRect(first, second));
  const std::string expect = c.expect;
  const CMonitor monitor = monitors.GetMonitor(c.index);
  RECT rect{1, 2, 3, 4};
  if (expect.empty()) {
    EXPECT_FALSE(monitor.IsValid());
    EXPECT_FALSE(monitor.GetMonitorRect(rect));
    EXPECT_FALSE(CMonitor(monitor).IsValid());
    CScreenInfo info(c.index);
    EXPECT_FALSE(info.IsMonitorValid());
    EXPECT_EQ(info.CatchScreenDIB(), CScreenInfo::kNoDC);
    return;
  }
  ASSERT_TRUE(monitor.IsValid());
  ASSERT_TRUE(monitor.GetMonitorRect(rect));
  const RECT wanted = expect == "left" ? kLeft : expect == "right" ? kRight : expect == "first" ? first : second;
  EXPECT_TRUE(SameRect(rect, wanted)) << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
  RECT primary{};
  ASSERT_TRUE(monitors.GetPrimaryMonitor().GetMonitorRect(primary));
  EXPECT_EQ(monitor.IsPrimary(), SameRect(rect, primary));
  CScreenInfo info(c.index);
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(info.GetDIBSize(), QSize(960, 1080));
  EXPECT_EQ(info.GetCatchAreaCfg().GetBoundRect().left, wanted.left);
}

const IndexCase kIndexCases[] = {
    {"ZeroIsRandrPrimary", true, 0, "right"},
    {"NegativeIsRandrPrimary", true, -1, "right"},
    {"ZeroIsMonitorAtOrigin", false, 0, "left"},
    {"NegativeIsMonitorAtOrigin", false, -1, "left"},
    {"OneIsFirstEnumerated", false, 1, "first"},
    {"TwoIsSecondEnumerated", false, 2, "second"},
    {"ThreeIsNoMonitor", false, 3, ""},
    {"FarAboveIsNoMonitor", true, 1000, ""},
};

INSTANTIATE_TEST_SUITE_P(Monitors, MonitorIndexTest, ::testing::ValuesIn(kIndexCases), RowName());

TEST(MonitorTest, EmptyMonitorIsInvalidAndCopiesStayEmpty) {
  const CMonitor empty;
  const CMonitor copy(empty);
  RECT rect{};
  EXPECT_FALSE(copy.IsValid());
  EXPECT_FALSE(copy.IsPrimary());
  EXPECT_FALSE(copy.GetMonitorRect(rect));
}

TEST(MonitorTest, PlainScreenHasOnePrimaryMonitor) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  CMonitors monitors;
  RECT rect{};
  ASSERT_TRUE(monitors.GetMonitor(0).GetMonitorRect(rect));
  EXPECT_TRUE(SameRect(rect, RECT{0, 0, screen.width(), screen.height()}));
  EXPECT_TRUE(monitors.GetMonitor(1).IsPrimary());
  EXPECT_FALSE(monitors.GetMonitor(2).IsValid());
}

}  // namespace
