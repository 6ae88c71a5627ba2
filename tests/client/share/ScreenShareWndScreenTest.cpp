#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include <memory>

#include "EventWait.h"
#include "FakeSdk.h"
#include "Monitor.h"
#include "RowName.h"
#include "ScreenShareWnd.h"
#include "XScreen.h"

namespace {

using namespace CORVANESDK;
using fakesdk::Call;

class ScreenShareWndScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    fakesdk::Reset();
    main_ = std::make_unique<QWidget>();
    main_->resize(582, 420);
    page_ = new ScreenShareWnd(main_.get());
  }
  void TearDown() override {
    main_.reset();
    x_.ResetMonitors();
    Settle(100);
    fakesdk::Reset();
  }
  // Shows the main window on the screen with this geometry and clicks start.
  void StartOn(const QRect& screen, const char* type) {
    main_->move(screen.center() - QPoint(291, 210));
    main_->show();
    ASSERT_TRUE(WaitFor([&] { return main_->isVisible() && page_->screen() && page_->screen()->geometry() == screen; }))
        << "page on " << (page_->screen() ? page_->screen()->geometry().x() : -1);
    page_->findChild<QRadioButton*>(type)->setChecked(true);
    page_->findChild<QToolButton*>("startShareBtn")->click();
  }

  XScreen x_;
  std::unique_ptr<QWidget> main_;
  ScreenShareWnd* page_ = nullptr;
};

TEST_F(ScreenShareWndScreenTest, AnAreaShareTakesTheMiddleThreeFifthsOfTheScreen) {
  ASSERT_EQ(x_.width(), 1920);
  ASSERT_EQ(x_.height(), 1080);
  StartOn(QRect(0, 0, 1920, 1080), "areaButton");
  EXPECT_EQ(fakesdk::RequestsOf(Call::StartShare).size(), 1u);
  const SSCFG& cfg = page_->captureCfg();
  EXPECT_EQ(cfg.monitorID, 0);
  ASSERT_EQ(cfg.catchRt.size(), 1u);
  const SSRECT area = cfg.catchRt.front();
  EXPECT_EQ(QRect(area.x, area.y, area.width, area.height), QRect(384, 216, 1152, 648));

  page_->slot_netNfy(CVNTY_SHARE_STARTED, {});
  ASSERT_TRUE(WaitFor([&] { return page_->areaFrame().isVisible(); }));
  EXPECT_EQ(page_->areaFrame().geometry(), QRect(380, 202, 1160, 666));
}

// Qt 5.15 makes its screens from RandR outputs, not from RandR monitors, so a
// page cannot be put on a second monitor of this server; the mapping from a
// screen's rectangle to the capture's index is what decides, and is checked
// against the capture's own enumeration.
struct MonitorCase {
  const char* name;
  bool rightIsPrimary;
};

class MonitorIndexTest : public ScreenShareWndScreenTest, public ::testing::WithParamInterface<MonitorCase> {};

TEST_P(MonitorIndexTest, EachScreenMapsToTheMonitorTheCaptureReadsThere) {
  const bool rightPrimary = GetParam().rightIsPrimary;
  ASSERT_TRUE(x_.SetMonitors({{"RIGHT", 960, 0, 960, 1080, rightPrimary}, {"LEFT", 0, 0, 960, 1080, !rightPrimary}}));
  const QRect left(0, 0, 960, 1080), right(960, 0, 960, 1080);
  const QRect primary = rightPrimary ? right : left, other = rightPrimary ? left : right;
  EXPECT_EQ(ScreenShareWnd::captureMonitorIndex(primary, true), 0);
  const int index = ScreenShareWnd::captureMonitorIndex(other, false);
  ASSERT_GE(index, 1);
  RECT rect{};
  ASSERT_TRUE(CMonitors().GetMonitor(index).GetMonitorRect(rect));
  EXPECT_EQ(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)), other);
  RECT zero{};
  ASSERT_TRUE(CMonitors().GetMonitor(0).GetMonitorRect(zero));
  EXPECT_EQ(QRect(QPoint(zero.left, zero.top), QPoint(zero.right - 1, zero.bottom - 1)), primary);
  // A rectangle no monitor has falls back to the primary.
  EXPECT_EQ(ScreenShareWnd::captureMonitorIndex(QRect(5, 5, 100, 100), false), 0);
}

const MonitorCase kMonitors[] = {{"LeftPrimary", false}, {"RightPrimary", true}};
INSTANTIATE_TEST_SUITE_P(Monitors, MonitorIndexTest, ::testing::ValuesIn(kMonitors), RowName());

}  // namespace
