#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <platform/User.h>

#include "EventWait.h"
#include "ShareManager.h"
#include "ShareTestSupport.h"
#include "ShareWindowDlg.h"
#include "XScreen.h"
#include "XWindows.h"

namespace {

// A process id no helper window of another test uses.
constexpr int kPid = 424242;
constexpr int kTick = 50;

class ShareManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(windows_.started());
    ASSERT_TRUE(screen_.ok());
    manager_.setIntervalForTest(kTick);
  }
  bool Indicators(size_t count) {
    return WaitFor([&] { return manager_.indicators().size() == count; }, 3000);
  }
  unsigned Pixel(int x, int y) { return screen_.Grab(x, y, 1, 1).at(0); }

  XWindows windows_;
  XScreen screen_;
  ShareManager manager_;
};

TEST_F(ShareManagerTest, RingFollowsItsWindowBelowIt) {
  const std::string pid = "pid=" + std::to_string(kPid);
  const unsigned long app = windows_.Open("app", 300, 300, 200, 150, 0x00ff00, pid);
  ASSERT_NE(app, 0u);
  manager_.monitorProcess(kPid);
  ASSERT_TRUE(Indicators(1));
  CShareWindowDlg* ring = manager_.indicators().begin()->second;
  ASSERT_TRUE(WaitFor([&] { return Pixel(298, 350) == 0xff0000u && Pixel(299, 350) == 0xff0000u; }));
  EXPECT_EQ(Pixel(300, 350), 0x00ff00u) << "the window lies above its ring";
  EXPECT_EQ(Pixel(297, 350), 0x000000u) << "two pixels only";
  EXPECT_EQ(Pixel(400, 451), 0xff0000u);
  EXPECT_EQ(screen_.WindowAt(400, 375), app) << "the ring takes no clicks inside";
  GetTopWindow(nullptr);  // a walk starts here: it reads the stacking order afresh
  HWND next = GetWindow(AsHwnd(app), GW_HWNDNEXT);
  for (int i = 0; next != nullptr && !IsWindowVisible(next) && i < 1000; ++i) next = GetWindow(next, GW_HWNDNEXT);
  EXPECT_EQ(next, AsHwnd(ring->winId())) << "directly below, among the visible windows";

  ASSERT_TRUE(windows_.Move("app", 500, 200));
  EXPECT_TRUE(WaitFor([&] { return Pixel(499, 250) == 0xff0000u && Pixel(299, 350) == 0x000000u; }));

  ASSERT_TRUE(windows_.Iconify("app"));
  EXPECT_TRUE(WaitFor([&] { return !ring->isVisible(); }));
  ASSERT_TRUE(windows_.Restore("app"));
  EXPECT_TRUE(WaitFor([&] { return ring->isVisible() && Pixel(499, 250) == 0xff0000u; }));
  EXPECT_EQ(manager_.indicators().size(), 1u);
}

TEST_F(ShareManagerTest, NewWindowsAreFramedAndClosedOnesLoseTheirRing) {
  const std::string pid = "pid=" + std::to_string(kPid);
  ASSERT_NE(windows_.Open("app", 100, 100, 200, 150, 0x00ff00, pid), 0u);
  ASSERT_NE(windows_.Open("other", 600, 100, 100, 100, 0x0000ff, "pid=7"), 0u);
  QSignalSpy stopped(&manager_, &ShareManager::s_AppShareStoped);
  manager_.monitorProcess(kPid);
  manager_.monitorProcess(7);  // only the first call counts
  ASSERT_TRUE(Indicators(1));
  const int before = manager_.stepCountForTest();
  const unsigned long dialog = windows_.Open("dialog", 150, 150, 100, 80, 0x888888, pid);
  ASSERT_TRUE(Indicators(2));
  EXPECT_LE(manager_.stepCountForTest() - before, 2) << "framed within two ticks";
  EXPECT_EQ(manager_.indicators().count(AsHwnd(dialog)), 1u);

  NoticeCatcher notices;
  ASSERT_TRUE(windows_.Close("dialog"));
  ASSERT_TRUE(Indicators(1));
  EXPECT_TRUE(stopped.isEmpty());
  EXPECT_TRUE(notices.texts.isEmpty());

  ASSERT_TRUE(windows_.Close("app"));
  ASSERT_TRUE(WaitFor([&] { return !stopped.isEmpty(); }));
  EXPECT_EQ(manager_.processId(), 0);
  EXPECT_TRUE(manager_.indicators().empty());
  ASSERT_TRUE(WaitFor([&] { return !notices.texts.isEmpty(); }));
  EXPECT_EQ(notices.texts,
            QStringList{"the program you are sharing has been closed, program sharing will over!"});
}

// A window that names no process is shared as itself, with the windows it
// owns; other windows without a process are not part of it.
TEST_F(ShareManagerTest, AWindowWithoutAProcessIsWatchedAsItself) {
  const unsigned long app = windows_.Open("app", 100, 100, 200, 150, 0x00ff00);
  ASSERT_NE(app, 0u);
  ASSERT_NE(windows_.Open("stranger", 600, 100, 100, 100, 0x0000ff), 0u);
  QSignalSpy stopped(&manager_, &ShareManager::s_AppShareStoped);
  manager_.monitorWindow(AsHwnd(app));
  manager_.monitorProcess(kPid);  // only the first call counts
  ASSERT_TRUE(Indicators(1));
  EXPECT_EQ(manager_.indicators().count(AsHwnd(app)), 1u);
  EXPECT_EQ(manager_.processId(), 0);
  const unsigned long dialog = windows_.Open("dialog", 150, 150, 100, 80, 0x888888, "owner=app");
  ASSERT_TRUE(Indicators(2));
  EXPECT_EQ(manager_.indicators().count(AsHwnd(dialog)), 1u);
  const int before = manager_.stepCountForTest();
  ASSERT_TRUE(WaitFor([&] { return manager_.stepCountForTest() >= before + 4; }));
  EXPECT_EQ(manager_.indicators().size(), 2u) << "the stranger gets no ring";
  EXPECT_TRUE(stopped.isEmpty());

  NoticeCatcher notices;
  ASSERT_TRUE(windows_.Close("dialog"));
  ASSERT_TRUE(windows_.Close("app"));
  ASSERT_TRUE(WaitFor([&] { return !stopped.isEmpty(); }));
  EXPECT_EQ(manager_.watchedWindow(), nullptr);
  EXPECT_TRUE(manager_.indicators().empty());
  ASSERT_TRUE(WaitFor([&] { return !notices.texts.isEmpty(); }));
  EXPECT_EQ(notices.texts,
            QStringList{"the program you are sharing has been closed, program sharing will over!"});
}

TEST_F(ShareManagerTest, NoWindowAtTheFirstTickEndsAtOnceWithoutNotice) {
  NoticeCatcher notices;
  QSignalSpy stopped(&manager_, &ShareManager::s_AppShareStoped);
  manager_.monitorProcess(kPid);
  ASSERT_TRUE(WaitFor([&] { return !stopped.isEmpty(); }));
  QTest::qWait(3 * kTick);
  EXPECT_EQ(stopped.size(), 1);
  EXPECT_EQ(manager_.processId(), 0);
  EXPECT_TRUE(notices.texts.isEmpty());
}

// The real interval: starting, stopping and starting again keeps one step per tick.
TEST_F(ShareManagerTest, RestartKeepsOneStepPerTick) {
  ShareManager manager;
  ASSERT_NE(windows_.Open("app", 100, 100, 50, 50, 0x00ff00, "pid=" + std::to_string(kPid)), 0u);
  auto* timer = manager.findChild<QTimer*>();
  ASSERT_NE(timer, nullptr);
  int ticks = 0;
  QObject::connect(timer, &QTimer::timeout, [&] { ++ticks; });
  manager.monitorProcess(kPid);
  manager.stopMonitor();
  manager.monitorProcess(kPid);
  EXPECT_EQ(timer->interval(), 200);
  ASSERT_TRUE(WaitFor([&] { return ticks >= 3; }, 3000));
  EXPECT_EQ(manager.stepCountForTest(), ticks);
  EXPECT_EQ(manager.indicators().size(), 1u);
}

TEST_F(ShareManagerTest, WatchingOurOwnProcessFramesOnlyOurWindows) {
  QWidget own;
  own.setGeometry(200, 200, 300, 200);
  own.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
  manager_.monitorProcess(static_cast<int>(QCoreApplication::applicationPid()));
  ASSERT_TRUE(Indicators(1));
  const int start = manager_.stepCountForTest();
  ASSERT_TRUE(WaitFor([&] { return manager_.stepCountForTest() >= start + 8; }));
  EXPECT_EQ(manager_.indicators().size(), 1u) << "the rings are not framed in turn";
  EXPECT_EQ(manager_.indicators().count(AsHwnd(own.winId())), 1u);
  manager_.stopMonitor();
}

}  // namespace
