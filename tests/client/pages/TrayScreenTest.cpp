// Closing the main window while a share runs leaves the client reachable:
// through the tray icon where the desktop has a tray, through the window
// itself where it has none (this X server runs no tray).
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

#include "ActionStyleBtn.h"
#include "DlgAbout.h"
#include "EventWait.h"
#include "FakeSdk.h"
#include "MainWnd.h"
#include "PageFixture.h"
#include "RowName.h"
#include "SystemTrayIcon.h"

namespace {

using fakesdk::Call;

struct TrayCase {
  const char* name;
  std::optional<bool> tray;  // nullopt: what the X server has, which is no tray
  bool hides;                // else the window is minimised and stays mapped
};

class TrayScreenTest : public PageFixture, public ::testing::WithParamInterface<TrayCase> {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "this X server was expected to run no tray";
    CSystemTrayIcon::instance().setAvailableForTest(GetParam().tray);
    wnd_ = std::make_unique<MainWnd>(nullptr);
    wnd_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_.get()));
  }
  void TearDown() override {
    wnd_.reset();
    CSystemTrayIcon::instance().setAvailableForTest(std::nullopt);
    PageFixture::TearDown();
  }

  std::unique_ptr<MainWnd> wnd_;
};

TEST_P(TrayScreenTest, ClosingWhileSharingKeepsTheClientReachable) {
  fakesdk::SetState(6);
  const bool quit = QuitsDuring([&] { wnd_->close(); }, 1500);
  EXPECT_FALSE(quit);
  EXPECT_EQ(fakesdk::RequestsOf(Call::DisconnectBox).size(), 0u);
  if (GetParam().hides) {
    EXPECT_FALSE(wnd_->isVisible());
  } else {
    EXPECT_TRUE(wnd_->isVisible());
    EXPECT_TRUE(wnd_->isMinimized());
  }
}

TEST_P(TrayScreenTest, TheWindowOffersTheTrayMenuOnlyWithoutATray) {
  EXPECT_EQ(wnd_->trayMenuButton()->isVisible(), GetParam().hides == false);
}

const TrayCase kTrayCases[] = {
    {"WithTray", true, true},
    {"WithoutTray", std::nullopt, false},
};
INSTANTIATE_TEST_SUITE_P(Desktops, TrayScreenTest, ::testing::ValuesIn(kTrayCases), RowName());

class NoTrayMenuTest : public TrayScreenTest {
 protected:
  // Clicks the title bar's menu button and picks the entry with this text
  // from the menu that pops up.
  void pick(const QString& entry) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return;
      poll.stop();
      for (QAction* action : menu->actions()) shown_ << action->text();
      for (QAction* action : menu->actions())
        if (action->text() == entry) {
          menu->close();
          action->trigger();
          return;
        }
      menu->close();
    });
    poll.start(20);
    QTest::mouseClick(wnd_->trayMenuButton(), Qt::LeftButton);
  }
  QStringList shown_;
};

TEST_P(NoTrayMenuTest, TheMenuButtonOpensTheTrayMenu) {
  ASSERT_TRUE(wnd_->trayMenuButton()->isVisible());
  pick("&About");
  EXPECT_EQ(shown_, (QStringList{"show main window", "&About", "&Exit"}));
  EXPECT_TRUE(WaitFor([] { return DlgAbout::instance(nullptr)->isVisible(); }));
  DlgAbout::instance(nullptr)->close();
}

TEST_P(NoTrayMenuTest, ExitFromTheWindowQuits) {
  fakesdk::SetState(4);
  EXPECT_TRUE(QuitsDuring([&] { pick("&Exit"); }));
  EXPECT_EQ(fakesdk::RequestsOf(Call::DisconnectBox).size(), 1u);
}

const TrayCase kNoTray[] = {{"WithoutTray", std::nullopt, false}};
INSTANTIATE_TEST_SUITE_P(Desktops, NoTrayMenuTest, ::testing::ValuesIn(kNoTray), RowName());

}  // namespace
