#include <platform/Kernel.h>
#include <platform/User.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenu>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

#include "App.h"
#include "EventWait.h"
#include "FakeSdk.h"
#include "MainWnd.h"
#include "PageFixture.h"
#include "RowName.h"
#include "ScreenShareWnd.h"
#include "SystemTrayIcon.h"

namespace {

using namespace CORVANESDK;
using fakesdk::Call;

class MainWndTest : public PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    wnd_ = std::make_unique<MainWnd>(nullptr);
  }
  void TearDown() override {
    wnd_.reset();
    PageFixture::TearDown();
  }
  int page() const { return wnd_->stack()->currentIndex(); }
  size_t count(Call call) const { return fakesdk::RequestsOf(call).size(); }

  std::unique_ptr<MainWnd> wnd_;
};

TEST_F(MainWndTest, StartsOnTheSearchPageAndSearchesOnce) {
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(wnd_->windowTitle(), "Corvane");
  EXPECT_TRUE(WaitFor([&] { return count(Call::Search) == 1; }));
}

TEST_F(MainWndTest, AConnectedBoxShowsTheSharingPage) {
  fakesdk::ScriptConnectAccepted();
  QSignalSpy titles(wnd_->sharePage(), &ScreenShareWnd::s_titleChange);
  wnd_->slot_connectBox(ListedBox());
  EXPECT_EQ(page(), 1);
  // The page was put into its connected state.
  ASSERT_GE(titles.count(), 1);
  EXPECT_TRUE(titles.last().at(0).toString().endsWith("-connected")) << titles.last().at(0).toString().toStdString();
}

TEST_F(MainWndTest, AFailedConnectStaysOnTheSearchPage) {
  fakesdk::ScriptConnectUnreachable();
  AnswerModals([&] { wnd_->slot_connectBox(ListedBox()); });
  EXPECT_EQ(page(), 0);
}

TEST_F(MainWndTest, AReconnectThatConnectsShowsTheSharingPage) {
  fakesdk::ScriptConnectAccepted();
  wnd_->slot_reConnectBox(ListedBox());
  EXPECT_EQ(page(), 1);
}

TEST_F(MainWndTest, AnUnreachableBoxOnReconnectWaitsForTheNextAttempt) {
  wnd_->stack()->setCurrentIndex(1);
  Settle(150);
  const size_t searches = count(Call::Search);
  fakesdk::ScriptConnectUnreachable();
  wnd_->slot_reConnectBox(ListedBox());
  EXPECT_EQ(page(), 1);
  EXPECT_EQ(count(Call::Search), searches);
}

TEST_F(MainWndTest, ARefusedCodeOnReconnectGoesBackToTheSearch) {
  wnd_->stack()->setCurrentIndex(1);
  Settle(150);
  const size_t searches = count(Call::Search);
  fakesdk::Script(Call::ConnectBox, {{0, 0, CVNTY_CONNCODE_FAILED, {}}});
  // The refusal keeps the dialog open on its failure page; the user leaves.
  QTimer leave;
  QObject::connect(&leave, &QTimer::timeout, [] {
    auto* modal = QApplication::activeModalWidget();
    auto* button = modal ? modal->findChild<QAbstractButton*>("exitBtn") : nullptr;
    if (button && button->isVisible()) button->click();
  });
  leave.start(10);
  wnd_->slot_reConnectBox(ListedBox());
  EXPECT_EQ(page(), 0);
  EXPECT_TRUE(WaitFor([&] { return count(Call::Search) == searches + 1; }));
}

struct ExitCase {
  const char* name;
  int state;
  const char* answer;  // the question's button; "" closes it, nullptr: no question
  bool quits;
  bool disconnects;
};

class MainWndExitTest : public MainWndTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(MainWndExitTest, ExitFromTheTray) {
  const ExitCase& c = GetParam();
  fakesdk::SetState(c.state);
  wnd_->show();
  bool quit = false;
  const QStringList questions =
      AnswerModals([&] { quit = QuitsDuring([&] { emit CSystemTrayIcon::instance().s_exitApp(); }, 3000); },
                   c.answer ? QString::fromUtf8(c.answer) : QString());
  EXPECT_EQ(quit, c.quits);
  EXPECT_EQ(count(Call::DisconnectBox), c.disconnects ? 1u : 0u);
  EXPECT_EQ(questions.size(), c.answer ? 1 : 0);
  if (c.answer) {
    EXPECT_TRUE(questions.value(0).contains("you are sharing the screen"));
  }
  EXPECT_EQ(wnd_->isVisible(), !c.disconnects);
}

const ExitCase kExitCases[] = {
    {"Idle", 0, nullptr, true, false},
    {"Connecting", 1, nullptr, true, false},
    {"Connected", 4, nullptr, true, true},
    {"ShareStarting", 5, nullptr, true, false},
    {"SharingAnswerNo", 6, "No", false, false},
    {"SharingQuestionClosed", 6, "", false, false},
    {"SharingAnswerYes", 6, "Yes", true, true},
    {"PausedAnswerYes", 7, "Yes", true, true},
};
INSTANTIATE_TEST_SUITE_P(States, MainWndExitTest, ::testing::ValuesIn(kExitCases), RowName());

TEST_F(MainWndTest, ClosingWhileConnectedDisconnectsAndQuits) {
  fakesdk::SetState(4);
  wnd_->show();
  EXPECT_TRUE(QuitsDuring([&] { wnd_->close(); }));
  EXPECT_EQ(count(Call::DisconnectBox), 1u);
}

TEST_F(MainWndTest, TrayClicksShowTheWindowOtherReasonsDoNot) {
  QSignalSpy shown(&CSystemTrayIcon::instance(), &CSystemTrayIcon::s_showNormal);
  const int expected[] = {0, 0, 1, 1, 0};
  for (int reason = 0; reason <= 4; ++reason) {
    shown.clear();
    CSystemTrayIcon::instance().iconActivated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    EXPECT_EQ(shown.count(), expected[reason]) << "reason " << reason;
  }
  wnd_->hide();
  CSystemTrayIcon::instance().iconActivated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(wnd_->isVisible());
}

TEST_F(MainWndTest, TrayMenuHoldsTheThreeActionsInOrder) {
  const QList<QAction*> actions = CSystemTrayIcon::instance().menu()->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "show main window");
  EXPECT_EQ(actions[1]->text(), "&About");
  EXPECT_EQ(actions[2]->text(), "&Exit");
  QSignalSpy show(&CSystemTrayIcon::instance(), &CSystemTrayIcon::s_showNormal);
  QSignalSpy about(&CSystemTrayIcon::instance(), &CSystemTrayIcon::s_showAboutDialog);
  QSignalSpy exit(&CSystemTrayIcon::instance(), &CSystemTrayIcon::s_exitApp);
  actions[0]->trigger();
  actions[1]->trigger();
  EXPECT_EQ(show.count(), 1);
  EXPECT_EQ(about.count(), 1);
  EXPECT_EQ(exit.count(), 0);
  EXPECT_EQ(CSystemTrayIcon::instance().trayIcon()->toolTip(), "Corvane");
}

TEST_F(MainWndTest, ActivationMessageIsAnsweredAndRaisesTheWindow) {
  QSignalSpy activated(wnd_.get(), &MainWnd::s_AcitveMainDlg);
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(wnd_->winId()));
  std::atomic<bool> done{false};
  LRESULT sent = 0;
  ULONG_PTR reply = 0;
  // From another thread, as another process would: the answer comes from
  // this (the GUI) thread's event loop.
  std::thread sender([&] {
    sent = SendMessageTimeoutW(window, WM_ACTIVATE_MAIN, 0, 0, SMTO_BLOCK, 3000, &reply);
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  sender.join();
  EXPECT_NE(sent, 0);
  EXPECT_EQ(reply, ACTIVATE_REPLY_OK);
  EXPECT_EQ(activated.count(), 1);
  EXPECT_TRUE(wnd_->isVisible());
}

TEST_F(MainWndTest, AHungWindowTimesOut) {
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(wnd_->winId()));
  ULONG_PTR reply = 7;
  // This thread does not serve its events while it waits: nobody answers.
  EXPECT_EQ(SendMessageTimeoutW(window, WM_ACTIVATE_MAIN, 0, 0, SMTO_BLOCK, 200, &reply), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_EQ(reply, 0u);
  Settle(100);
}

TEST_F(MainWndTest, OnlyTheUpdateNotificationIsHandled) {
  QStringList boxes = AnswerModals([&] {
    wnd_->slot_netNfy(CVNTY_CONNECT_FAILED, {});
    wnd_->slot_netNfy(CVNTY_DISCONNECTED, {});
  });
  EXPECT_TRUE(boxes.isEmpty());
  boxes = AnswerModals([&] {
    wnd_->slot_netNfy(CVNTY_NEED_UPDATE, {{"NewVersion", "1.2.3.4"}, {"UpdateUrl", "10.0.0.5/u"}});
  });
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0].contains("Version too low, need update!"));
}

}  // namespace
