#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

#include <platform/Kernel.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "EventWait.h"
#include "FWIniDatFile.h"
#include "FakeSdk.h"
#include "PageFixture.h"
#include "ReasonText.h"
#include "RowName.h"
#include "ScreenShareWnd.h"
#include "TransCtrlCallBackImpl.h"

namespace {

using namespace CORVANESDK;
using fakesdk::Call;

HWND Handle(unsigned value) { return reinterpret_cast<HWND>(static_cast<quintptr>(value)); }

// The page with the platform's window calls replaced: the chooser's answer,
// the windows' processes and the windows it raises are the test's.
class TestPage : public ScreenShareWnd {
 public:
  using ScreenShareWnd::ScreenShareWnd;
  bool chooserAccepts = true;
  HWND chosen = Handle(0x4200007);
  int chooserRuns = 0;
  std::map<HWND, int> processes;
  std::vector<HWND> raised;

 protected:
  bool chooseWindow(HWND* window, QString* title) override {
    ++chooserRuns;
    if (!chooserAccepts) return false;
    *window = chosen;
    *title = "Editor";
    return true;
  }
  int windowProcessId(HWND window) override { return processes.count(window) ? processes[window] : 4242; }
  void raiseWindow(HWND window) override { raised.push_back(window); }
};

class ScreenShareWndTest : public PageFixture {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    fakesdk::SetCurBox(fakesdk::MakeBox("box-1", "10.0.0.5", "Room 5"));
    main_ = std::make_unique<QWidget>();
    page_ = new TestPage(main_.get());
    page_->shareWatcher().setIntervalForTest(600000);
    titles_ = std::make_unique<QSignalSpy>(page_, &ScreenShareWnd::s_titleChange);
    activate_ = std::make_unique<QSignalSpy>(page_, &ScreenShareWnd::s_AcitveMainDlg);
    others_ = std::make_unique<QSignalSpy>(page_, &ScreenShareWnd::s_selectOtherBox);
    reconn_ = std::make_unique<QSignalSpy>(page_, &ScreenShareWnd::s_reconnBox);
    main_->show();
  }
  void TearDown() override {
    titles_.reset();
    activate_.reset();
    others_.reset();
    reconn_.reset();
    main_.reset();
    PageFixture::TearDown();
  }

  QToolButton* button(const char* name) const { return page_->findChild<QToolButton*>(name); }
  QRadioButton* radio(const char* name) const { return page_->findChild<QRadioButton*>(name); }
  QString lastTitle() const { return titles_->isEmpty() ? QString() : titles_->last().at(0).toString(); }
  struct Buttons {
    bool start, stop, type;
    bool operator==(const Buttons& o) const { return start == o.start && stop == o.stop && type == o.type; }
  };
  Buttons buttons() const {
    return {button("startShareBtn")->isEnabled(), button("stopShareBtn")->isEnabled(),
            page_->findChild<QGroupBox*>("shareType")->isEnabled()};
  }
  // A notification through the SDK's callback, as the SDK sends it; modal
  // boxes it opens are answered and their texts returned.
  QStringList Deliver(NET_NOTIFY nty, std::map<std::string, std::string> params = {}, int state = -1) {
    const int before = delivered_;
    QMetaObject::Connection c = QObject::connect(&CTransCtrlCallBackImpl::instance(), &CTransCtrlCallBackImpl::ss_netNfy,
                                                 page_, [this] { ++delivered_; });
    QStringList texts = AnswerModals([&] {
      fakesdk::Notify(nty, std::move(params), state);
      EXPECT_TRUE(WaitFor([&] { return delivered_ > before && !QApplication::activeModalWidget(); }));
      Settle(30);
    });
    QObject::disconnect(c);
    return texts;
  }
  // A share the box accepted.
  void StartAndConfirm(const char* type = "screenButton") {
    radio(type)->setChecked(true);
    button("startShareBtn")->click();
    Deliver(CVNTY_SHARE_STARTED, {}, CVSTATE_SHARING);
  }
  size_t Starts() const { return fakesdk::RequestsOf(Call::StartShare).size(); }
  QRect pageScreen() const { return page_->screen()->geometry(); }
  int encType() const { return FWIniDatFile::instance().getInt("ScreenEncType", 0, "CFG"); }

  std::unique_ptr<QWidget> main_;
  TestPage* page_ = nullptr;
  std::unique_ptr<QSignalSpy> titles_, activate_, others_, reconn_;
  int delivered_ = 0;
};

struct StateCase {
  const char* name;
  int state;
  bool start, stop, type;
  const char* stopText;
  const char* title;
};

const StateCase kStates[] = {
    {"Connected", 0, true, false, true, "Stop sharing", "Room 5-connected"},
    {"Waiting", 1, false, false, false, "Stop sharing", "Room 5-start sharing, please wait..."},
    {"Sharing", 2, false, true, false, "Stop sharing", "Room 5-sharing"},
    {"Reconnecting", 3, false, true, false, "Disconnect", "Room 5-disconnected, try reconnecting..."},
};

class ShareStateTest : public ScreenShareWndTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(ShareStateTest, ButtonsAndTitleFollowTheState) {
  const StateCase& c = GetParam();
  page_->setShareState(3);  // leaves "Disconnect" behind for the others to replace
  page_->setShareState(c.state);
  EXPECT_EQ(buttons(), (Buttons{c.start, c.stop, c.type}));
  EXPECT_EQ(button("stopShareBtn")->text(), c.stopText);
  EXPECT_EQ(lastTitle(), c.title);
}

INSTANTIATE_TEST_SUITE_P(States, ShareStateTest, ::testing::ValuesIn(kStates), RowName());

TEST_F(ScreenShareWndTest, TheFormStartsOnScreenSharingWithoutTheOtherBoxButton) {
  EXPECT_TRUE(radio("screenButton")->isChecked());
  EXPECT_TRUE(button("selOtherBoxBtn")->isHidden());
  EXPECT_EQ(page_->reconnectTimer().interval(), 10000);
  EXPECT_TRUE(page_->reconnectTimer().isSingleShot());
}

TEST_F(ScreenShareWndTest, AScreenShareAsksTheBoxAndSendsTheSettingsOnlyOnceAccepted) {
  button("startShareBtn")->click();
  EXPECT_EQ(Starts(), 1u);
  EXPECT_EQ(buttons(), (Buttons{false, false, false}));
  EXPECT_EQ(page_->captureCfg().monitorID, 0);  // the primary screen
  EXPECT_TRUE(page_->captureCfg().catchRt.empty());
  EXPECT_TRUE(fakesdk::RequestsOf(Call::SetCaptureCfg).empty());

  Deliver(CVNTY_SHARE_STARTED, {}, CVSTATE_SHARING);
  EXPECT_EQ(buttons(), (Buttons{false, true, false}));
  EXPECT_EQ(lastTitle(), "Room 5-sharing");
  EXPECT_TRUE(main_->isMinimized());
  const auto sent = fakesdk::RequestsOf(Call::SetCaptureCfg);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].captureCfg.encodetype, 1);
  EXPECT_EQ(sent[0].captureCfg.h264crf, 22);
  EXPECT_EQ(sent[0].captureCfg.kbps, 2000);
  EXPECT_EQ(sent[0].captureCfg.encSize, QSize(-1, -1));
  EXPECT_EQ(page_->shareWatcher().processId(), 0);
  EXPECT_FALSE(page_->areaFrame().isVisible());
}

TEST_F(ScreenShareWndTest, AnAreaShareTakesTheMiddleOfThePageScreenAndShowsTheFrame) {
  radio("areaButton")->setChecked(true);
  button("startShareBtn")->click();
  const QRect s = pageScreen();
  ASSERT_EQ(page_->captureCfg().catchRt.size(), 1u);
  const SSRECT area = page_->captureCfg().catchRt.front();
  EXPECT_EQ(area.x, s.left() + s.width() / 5);
  EXPECT_EQ(area.y, s.top() + s.height() / 5);
  EXPECT_EQ(area.width, s.width() * 3 / 5);
  EXPECT_EQ(area.height, s.height() * 3 / 5);
  EXPECT_EQ(Starts(), 1u);

  Deliver(CVNTY_SHARE_STARTED, {}, CVSTATE_SHARING);
  EXPECT_TRUE(page_->areaFrame().isVisible());
  EXPECT_EQ(page_->areaFrame().geometry(), QRect(area.x - 4, area.y - 14, area.width + 8, area.height + 18));

  // The frame moved: the new area goes straight to the SDK.
  page_->slot_updateAreaShareRt(QRect(10, 20, 300, 200));
  const auto sent = fakesdk::RequestsOf(Call::SetCaptureCfg);
  ASSERT_EQ(sent.size(), 2u);
  ASSERT_EQ(sent[1].captureCfg.catchRt.size(), 1u);
  const SSRECT moved = sent[1].captureCfg.catchRt.front();
  EXPECT_EQ(QRect(moved.x, moved.y, moved.width, moved.height), QRect(10, 20, 300, 200));
}

TEST_F(ScreenShareWndTest, AnApplicationShareCarriesTheChosenWindowAndWatchesItsProcess) {
  page_->processes[page_->chosen] = 777;
  StartAndConfirm("windowButton");
  EXPECT_EQ(page_->chooserRuns, 1);
  EXPECT_EQ(page_->captureCfg().catchWndPro, std::set<HWND>{page_->chosen});
  EXPECT_EQ(page_->shareWatcher().processId(), 777);
  EXPECT_EQ(page_->raised, std::vector<HWND>{page_->chosen});
  EXPECT_TRUE(main_->isMinimized());
  ASSERT_EQ(fakesdk::RequestsOf(Call::SetCaptureCfg).size(), 1u);
  EXPECT_EQ(fakesdk::RequestsOf(Call::SetCaptureCfg)[0].captureCfg.catchWndPro, std::set<HWND>{page_->chosen});
}

TEST_F(ScreenShareWndTest, AWindowThatNamesNoProcessIsWatchedAsItself) {
  page_->processes[page_->chosen] = 0;
  StartAndConfirm("windowButton");
  EXPECT_EQ(page_->shareWatcher().watchedWindow(), page_->chosen);
  EXPECT_EQ(page_->shareWatcher().processId(), 0);
  EXPECT_TRUE(main_->isMinimized());
}

TEST_F(ScreenShareWndTest, SharingOneOfTheClientsOwnWindowsKeepsTheMainWindowUp) {
  page_->processes[page_->chosen] = static_cast<int>(GetCurrentProcessId());
  StartAndConfirm("windowButton");
  EXPECT_FALSE(main_->isMinimized());
  EXPECT_EQ(page_->shareWatcher().processId(), static_cast<int>(GetCurrentProcessId()));
  // A second confirmation does not move the watch to another process.
  page_->processes[page_->chosen] = 999;
  Deliver(CVNTY_SHARE_STARTED, {}, CVSTATE_SHARING);
  EXPECT_EQ(page_->shareWatcher().processId(), static_cast<int>(GetCurrentProcessId()));
}

TEST_F(ScreenShareWndTest, ACancelledChooserSendsNothingAndLeavesTheButtons) {
  page_->setShareState(0);
  page_->chooserAccepts = false;
  radio("windowButton")->setChecked(true);
  button("startShareBtn")->click();
  EXPECT_EQ(page_->chooserRuns, 1);
  EXPECT_TRUE(fakesdk::Requests().empty());
  EXPECT_EQ(buttons(), (Buttons{true, false, true}));
  EXPECT_EQ(page_->captureCfg().monitorID, -1);
}

TEST_F(ScreenShareWndTest, StopWhileTheSdkIsNotSharingOnlyLogs) {
  page_->setShareState(2);
  fakesdk::SetState(CVSTATE_CONNECTED);
  page_->slot_stopShare();
  EXPECT_EQ(buttons(), (Buttons{false, true, false}));
  EXPECT_TRUE(fakesdk::RequestsOf(Call::StopShare).empty());
}

TEST_F(ScreenShareWndTest, StopWaitsForTheBoxThenResets) {
  radio("areaButton")->setChecked(true);
  StartAndConfirm("areaButton");
  ASSERT_TRUE(page_->areaFrame().isVisible());
  button("stopShareBtn")->click();
  EXPECT_EQ(fakesdk::RequestsOf(Call::StopShare).size(), 1u);
  EXPECT_EQ(buttons(), (Buttons{false, false, false}));
  EXPECT_EQ(page_->captureCfg().monitorID, -1);

  Deliver(CVNTY_SHARE_STOPPED, {}, CVSTATE_CONNECTED);
  EXPECT_EQ(buttons(), (Buttons{true, false, true}));
  EXPECT_FALSE(page_->areaFrame().isVisible());
  EXPECT_EQ(activate_->count(), 0);
}

TEST_F(ScreenShareWndTest, TheWatchersSignalStopsTheShare) {
  page_->processes[page_->chosen] = 777;
  StartAndConfirm("windowButton");
  emit page_->shareWatcher().s_AppShareStoped();
  EXPECT_EQ(fakesdk::RequestsOf(Call::StopShare).size(), 1u);
}

struct FailCase {
  const char* name;
  NET_NOTIFY nty;
  bool withReason;
};

const FailCase kFails[] = {
    {"RefusedWithReason", CVNTY_SHARE_REFUSED, true},
    {"RefusedWithoutReason", CVNTY_SHARE_REFUSED, false},
    {"FailedWithReason", CVNTY_SHARE_FAILED, true},
    {"FailedWithoutReason", CVNTY_SHARE_FAILED, false},
};

class ShareFailTest : public ScreenShareWndTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(ShareFailTest, TheUserIsToldAndThePageReturnsToConnected) {
  const FailCase& c = GetParam();
  button("startShareBtn")->click();
  std::map<std::string, std::string> params;
  if (c.withReason) params["Reason"] = "64";
  const QStringList seen = Deliver(c.nty, params, CVSTATE_CONNECTED);
  ASSERT_EQ(seen.size(), 1);
  if (c.withReason)
    EXPECT_TRUE(seen[0].contains(shareFailReasonText(64))) << seen[0].toStdString();
  else
    EXPECT_TRUE(seen[0].contains("Start share fail!")) << seen[0].toStdString();
  EXPECT_EQ(activate_->count(), 1);
  EXPECT_EQ(buttons(), (Buttons{true, false, true}));
  EXPECT_EQ(page_->captureCfg().monitorID, 0);  // kept as sent
}

INSTANTIATE_TEST_SUITE_P(Fails, ShareFailTest, ::testing::ValuesIn(kFails), RowName());

TEST_F(ScreenShareWndTest, TheBoxEndingTheShareResetsAndTellsTheUser) {
  StartAndConfirm("areaButton");
  const QStringList seen = Deliver(CVNTY_BOX_STOPPED_SHARE, {}, CVSTATE_CONNECTED);
  ASSERT_EQ(seen.size(), 1);
  EXPECT_TRUE(seen[0].contains("Box has stopped screen share!"));
  EXPECT_EQ(activate_->count(), 1);
  EXPECT_EQ(buttons(), (Buttons{true, false, true}));
  EXPECT_FALSE(page_->areaFrame().isVisible());
  EXPECT_EQ(page_->captureCfg().monitorID, -1);
}

TEST_F(ScreenShareWndTest, AnAutomaticReconnectWaitsTenSecondsThenAsksForTheCurrentBox) {
  StartAndConfirm();
  const QStringList seen = Deliver(CVNTY_DISCONNECTED, {{"AutoReconn", "1"}, {"Reason", "67"}}, CVSTATE_IDLE);
  EXPECT_TRUE(seen.isEmpty());
  EXPECT_EQ(lastTitle(), "Room 5-disconnected, try reconnecting...");
  EXPECT_EQ(button("stopShareBtn")->text(), "Disconnect");
  EXPECT_TRUE(page_->reconnectPending());
  ASSERT_TRUE(page_->reconnectTimer().isActive());
  EXPECT_EQ(page_->reconnectTimer().interval(), 10000);
  EXPECT_EQ(reconn_->count(), 0);
  EXPECT_EQ(page_->captureCfg().monitorID, 0);  // kept for the restart

  page_->reconnectTimer().start(20);
  ASSERT_TRUE(WaitFor([&] { return reconn_->count() == 1; }));
  const auto box = reconn_->at(0).at(0).value<MEETING_BOX_INFO>();
  EXPECT_EQ(box.boxID, "box-1");
  EXPECT_EQ(box.dispName, "Room 5");
  EXPECT_EQ(others_->count(), 0);

  // The dialog ended unconnected in its reconnect mode: another round.
  page_->retryReconnect();
  EXPECT_TRUE(page_->reconnectTimer().isActive());
}

struct LossCase {
  const char* name;
  const char* autoReconn;  // nullptr: absent
  const char* reason;      // nullptr: absent
};

const LossCase kLosses[] = {
    {"ZeroWithReason", "0", "67"},
    {"ZeroWithoutReason", "0", nullptr},
    {"AbsentWithReason", nullptr, "67"},
    {"AbsentWithoutReason", nullptr, nullptr},
};

class ConnectionLossTest : public ScreenShareWndTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(ConnectionLossTest, WithoutAutomaticReconnectTheUserIsToldAndSentBackToTheSearch) {
  const LossCase& c = GetParam();
  StartAndConfirm("areaButton");
  std::map<std::string, std::string> params;
  if (c.autoReconn) params["AutoReconn"] = c.autoReconn;
  if (c.reason) params["Reason"] = c.reason;
  const QStringList seen = Deliver(CVNTY_DISCONNECTED, params, CVSTATE_IDLE);
  ASSERT_EQ(seen.size(), 1);
  const QString expected = c.reason ? QString("you have been disconnected with Room 5(%1)")
                                          .arg(shareFailReasonText(67))
                                    : QString("you have been disconnected with Room 5");
  EXPECT_TRUE(seen[0].contains(expected)) << seen[0].toStdString();
  if (!c.reason) {
    EXPECT_FALSE(seen[0].contains("Room 5(")) << seen[0].toStdString();
  }
  EXPECT_EQ(others_->count(), 1);
  EXPECT_EQ(activate_->count(), 1);
  EXPECT_FALSE(page_->reconnectPending());
  EXPECT_FALSE(page_->reconnectTimer().isActive());
  EXPECT_FALSE(page_->areaFrame().isVisible());
  EXPECT_EQ(page_->captureCfg().monitorID, -1);
}

INSTANTIATE_TEST_SUITE_P(Losses, ConnectionLossTest, ::testing::ValuesIn(kLosses), RowName());

struct KbpsCase {
  const char* name;
  int iframeMs;
  const char* defaultKbps;  // nullptr: absent
  int kbps;
};

const KbpsCase kKbps[] = {
    {"KeyFramesNoOverride", 2000, "0", 3000},
    {"NoKeyFramesNoOverride", 0, "0", 2000},
    {"KeyFramesAbsentOverride", 1000, nullptr, 3000},
    {"KeyFramesOverride", 2000, "1500", 1500},
    {"NoKeyFramesOverride", 0, "4000", 4000},
    {"NegativeOverride", 0, "-5", 2000},
};

class KbpsTest : public ScreenShareWndTest, public ::testing::WithParamInterface<KbpsCase> {};

TEST_P(KbpsTest, TheBoxsParametersBeforeAShareShapeItsSettings) {
  const KbpsCase& c = GetParam();
  fakesdk::SetIFrameMSecond(c.iframeMs);
  std::map<std::string, std::string> params = {{"OutputWidth", "1280"}, {"OutputHeight", "720"}};
  if (c.defaultKbps) params["DefaultKbps"] = c.defaultKbps;
  Deliver(CVNTY_ENC_PARAM_CHANGED, params);
  StartAndConfirm();
  const auto sent = fakesdk::RequestsOf(Call::SetCaptureCfg);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].captureCfg.kbps, c.kbps);
  EXPECT_EQ(sent[1].captureCfg.encSize, QSize(1280, 720));
  EXPECT_EQ(sent[1].captureCfg.monitorID, 0);
}

INSTANTIATE_TEST_SUITE_P(Kbps, KbpsTest, ::testing::ValuesIn(kKbps), RowName());

TEST_F(ScreenShareWndTest, ParametersWithoutSizesPassZeroByZeroAndEveryApplyWritesTheEncoderType) {
  FWIniDatFile::instance().setInt("ScreenEncType", 0, "CFG");
  Deliver(CVNTY_ENC_PARAM_CHANGED, {{"DefaultKbps", "0"}});
  EXPECT_EQ(encType(), 1);
  auto sent = fakesdk::RequestsOf(Call::SetCaptureCfg);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].captureCfg.encSize, QSize(0, 0));
  EXPECT_EQ(sent[0].captureCfg.monitorID, -1);

  FWIniDatFile::instance().setInt("ScreenEncType", 0, "CFG");
  page_->slot_updateAreaShareRt(QRect(0, 0, 10, 10));
  EXPECT_EQ(encType(), 1);
  FWIniDatFile::instance().setInt("ScreenEncType", 0, "CFG");
  StartAndConfirm();
  EXPECT_EQ(encType(), 1);
  sent = fakesdk::RequestsOf(Call::SetCaptureCfg);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].captureCfg.encSize, QSize(0, 0));
}

TEST_F(ScreenShareWndTest, AShareRunningWhenTheConnectionBrokeRestartsAfterTheReconnect) {
  StartAndConfirm("areaButton");
  const SSCFG before = page_->captureCfg();
  Deliver(CVNTY_DISCONNECTED, {{"AutoReconn", "1"}}, CVSTATE_IDLE);
  EXPECT_TRUE(page_->areaFrame().isVisible());
  fakesdk::SetState(CVSTATE_CONNECTED);
  page_->setShareState(0);
  EXPECT_EQ(Starts(), 2u);
  EXPECT_FALSE(page_->reconnectPending());
  EXPECT_EQ(buttons(), (Buttons{false, false, false}));
  EXPECT_EQ(page_->captureCfg().monitorID, before.monitorID);
  ASSERT_EQ(page_->captureCfg().catchRt.size(), 1u);
  EXPECT_EQ(page_->captureCfg().catchRt.front().x, before.catchRt.front().x);
}

// Shares that were not running when the connection broke: none may come back.
struct NoRestartCase {
  const char* name;
  std::function<void(ScreenShareWndTest&)> before;
};

class NoRestartTest : public ScreenShareWndTest, public ::testing::WithParamInterface<NoRestartCase> {
 public:
  void Click(const char* type) {
    radio(type)->setChecked(true);
    button("startShareBtn")->click();
  }
  void Confirm() { Deliver(CVNTY_SHARE_STARTED, {}, CVSTATE_SHARING); }
  void Tell(NET_NOTIFY nty) { Deliver(nty, {}, CVSTATE_CONNECTED); }
  TestPage& page() { return *page_; }
};

const NoRestartCase kNoRestarts[] = {
    {"MerelyConnected", [](ScreenShareWndTest&) {}},
    {"ChooserCancelled",
     [](ScreenShareWndTest& t) {
       auto& n = static_cast<NoRestartTest&>(t);
       n.page().chooserAccepts = false;
       n.Click("windowButton");
     }},
    {"ShareRefused",
     [](ScreenShareWndTest& t) {
       auto& n = static_cast<NoRestartTest&>(t);
       n.Click("screenButton");
       n.Tell(CVNTY_SHARE_REFUSED);
     }},
    {"ShareFailed",
     [](ScreenShareWndTest& t) {
       auto& n = static_cast<NoRestartTest&>(t);
       n.Click("screenButton");
       n.Tell(CVNTY_SHARE_FAILED);
     }},
    {"StartedButNotConfirmed",
     [](ScreenShareWndTest& t) { static_cast<NoRestartTest&>(t).Click("screenButton"); }},
    {"StoppedByTheBox",
     [](ScreenShareWndTest& t) {
       auto& n = static_cast<NoRestartTest&>(t);
       n.Click("screenButton");
       n.Confirm();
       n.Tell(CVNTY_BOX_STOPPED_SHARE);
     }},
    {"StoppedByTheUserAndConfirmed",
     [](ScreenShareWndTest& t) {
       auto& n = static_cast<NoRestartTest&>(t);
       n.Click("screenButton");
       n.Confirm();
       n.page().slot_stopShare();
       n.Tell(CVNTY_SHARE_STOPPED);
     }},
    {"StoppedByTheUserNotYetConfirmed",
     [](ScreenShareWndTest& t) {
       auto& n = static_cast<NoRestartTest&>(t);
       n.Click("screenButton");
       n.Confirm();
       n.page().slot_stopShare();
     }},
};

TEST_P(NoRestartTest, AReconnectStartsNothing) {
  GetParam().before(*this);
  const size_t starts = Starts();
  Deliver(CVNTY_DISCONNECTED, {{"AutoReconn", "1"}}, CVSTATE_IDLE);
  ASSERT_TRUE(page_->reconnectPending());
  fakesdk::SetState(CVSTATE_CONNECTED);
  page_->setShareState(0);
  EXPECT_EQ(Starts(), starts);
  EXPECT_EQ(buttons(), (Buttons{true, false, true}));
}

INSTANTIATE_TEST_SUITE_P(NoRestarts, NoRestartTest, ::testing::ValuesIn(kNoRestarts), RowName());

TEST_F(ScreenShareWndTest, DisconnectWhileReconnectingAbandonsItAndReturnsToTheSearch) {
  StartAndConfirm("areaButton");
  Deliver(CVNTY_DISCONNECTED, {{"AutoReconn", "1"}}, CVSTATE_IDLE);
  button("stopShareBtn")->click();
  EXPECT_EQ(others_->count(), 1);
  EXPECT_FALSE(page_->reconnectPending());
  EXPECT_FALSE(page_->reconnectTimer().isActive());
  EXPECT_FALSE(page_->areaFrame().isVisible());
  EXPECT_EQ(fakesdk::RequestsOf(Call::StopShare).size(), 1u);
  page_->setShareState(0);
  EXPECT_EQ(Starts(), 1u);
}

TEST_F(ScreenShareWndTest, AnAbandonedReconnectLeavesNothingForTheNextConnection) {
  StartAndConfirm("areaButton");
  Deliver(CVNTY_DISCONNECTED, {{"AutoReconn", "1"}}, CVSTATE_IDLE);
  // The reconnect dialog led back to the search page.
  page_->abandonReconnect();
  EXPECT_EQ(others_->count(), 0);
  EXPECT_FALSE(page_->reconnectPending());
  EXPECT_FALSE(page_->reconnectTimer().isActive());
  EXPECT_FALSE(page_->areaFrame().isVisible());
  EXPECT_EQ(page_->captureCfg().monitorID, -1);
  page_->retryReconnect();
  EXPECT_FALSE(page_->reconnectTimer().isActive());
  // The user connects to another box.
  fakesdk::SetCurBox(fakesdk::MakeBox("box-2", "10.0.0.6", "Room 6"));
  page_->setShareState(0);
  EXPECT_EQ(Starts(), 1u);
  EXPECT_EQ(lastTitle(), "Room 6-connected");
}

TEST_F(ScreenShareWndTest, ThePrimaryScreenIsMonitorZero) {
  EXPECT_EQ(ScreenShareWnd::captureMonitorIndex(QRect(0, 0, 800, 600), true), 0);
}

}  // namespace
