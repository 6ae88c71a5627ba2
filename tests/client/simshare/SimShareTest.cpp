#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QMouseEvent>
#include <QTest>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "DlgConnBox.h"
#include "EnumWndDlg.h"
#include "EventWait.h"
#include "FWIniDatFile.h"
#include "FWMsgBox.h"
#include "LumaPicture.h"
#include "QtTestMain.h"
#include "RootPainter.h"
#include "ScreenShareWnd.h"
#include "SimBox.h"
#include "SimFramePuller.h"
#include "TransCtrlCallBackImpl.h"
#include "XScreen.h"
#include "XWindows.h"

namespace {

using namespace CORVANESDK;

constexpr int kSessionId = 5150;
constexpr double kMinPsnr = 30.0;

class SimShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen_.ok());
    ASSERT_TRUE(painter_.ok());
    box_ = std::make_unique<SimBox>(SimBoxConfig{});
    ASSERT_TRUE(box_->listen(QHostAddress::LocalHost, 0));
    Answer(2, SimAnswer::Connected(kSessionId, 0));
    Answer(8, R"({"SN":1})");
    Answer(7, "{}");
    box_->puller()->setSessionId(kSessionId);
    QObject::connect(box_->puller(), &SimFramePuller::frameReceived, box_.get(),
                     [this](const SimPulledFrame& frame) { frames_.push_back(frame); });
    main_ = std::make_unique<QWidget>();
    main_->resize(582, 420);
    page_ = new ScreenShareWnd(main_.get());
    main_->show();
  }
  void TearDown() override {
    // A test's helper windows are gone by now; a watch step would take that
    // for the shared program closing and wait on its message box for good.
    page_->shareWatcher().stopMonitor();
    box_->puller()->stop();
    GetTransCtrlEngine().disconnectBox();
    EXPECT_TRUE(WaitFor([] { return GetTransCtrlEngine().getState() == CVSTATE_IDLE; }, 10000));
    main_.reset();
    Settle(100);
    box_.reset();
  }
  void Answer(int act, const QByteArray& body) {
    box_->config().actReplies[act] = {SimActReply{SimActReply::Kind::Answer, body, -1}};
  }
  BOX_INFO Box() const {
    BOX_INFO box;
    box.ip = "127.0.0.1";
    box.port = box_->tcpPort();
    box.boxID = "SIM-0001";
    box.dispName = "Sim Room";
    return box;
  }
  ::testing::AssertionResult Connect() {
    GetTransCtrlEngine().connectBox(Box());
    if (!WaitFor([] { return GetTransCtrlEngine().getState() == CVSTATE_CONNECTED; }, 10000))
      return ::testing::AssertionFailure() << "state " << GetTransCtrlEngine().getState();
    page_->setShareState(0);
    return ::testing::AssertionSuccess();
  }
  // Without a window manager a minimised window stays on the screen; the
  // stand-in for the main window goes away as it would under one, before the
  // test paints the root (an unmapped window leaves the root's background).
  void WaitUntilSharing() {
    ASSERT_TRUE(WaitFor([&] { return GetTransCtrlEngine().getState() == CVSTATE_SHARING && Enabled("stopShareBtn"); },
                        10000));
    EXPECT_TRUE(main_->isMinimized());
    main_->hide();
    Settle(100);
  }
  void Click(const char* name) { page_->findChild<QToolButton*>(name)->click(); }
  bool Enabled(const char* name) { return page_->findChild<QToolButton*>(name)->isEnabled(); }
  // Pulls frames until the decoded picture matches what `reference` gives
  // for its size (a luma plane); the failure names the last PSNR and size.
  ::testing::AssertionResult PullUntilMatch(
      const std::function<std::vector<uint8_t>(int width, int height)>& reference) {
    double psnr = 0;
    int width = 0, height = 0;
    for (int i = 0; i < 60; ++i) {
      const size_t before = frames_.size();
      if (!WaitFor([&] { return box_->puller()->request(i == 0); }, 5000))
        return ::testing::AssertionFailure() << "a request is still out";
      if (!WaitFor([&] { return frames_.size() > before; }, 10000))
        return ::testing::AssertionFailure() << "no frame response";
      const SimPulledFrame& frame = frames_.back();
      if (!frame.error.isEmpty()) return ::testing::AssertionFailure() << qPrintable(frame.error);
      if (frame.picture.y.empty()) continue;
      width = frame.picture.width;
      height = frame.picture.height;
      psnr = Psnr(frame.picture.y, reference(width, height));
      if (psnr >= kMinPsnr) return ::testing::AssertionSuccess();
      Settle(30);
    }
    return ::testing::AssertionFailure() << "the picture (" << width << "x" << height
                                         << ") never matched, PSNR " << psnr;
  }
  // Pulls frames until the decoded picture shows pattern `variant`.
  ::testing::AssertionResult PullPattern(int variant) {
    const std::vector<uint8_t> pattern = RootPainter::Pattern(variant, screen_.width(), screen_.height());
    return PullUntilMatch([&](int width, int height) {
      return ReferenceLuma(pattern, screen_.width(), screen_.height(), width, height);
    });
  }
  // Pulls frames until the decoded picture shows what the screen shows in
  // `area` (the capture sends the area alone; the frame's tip lies inside it).
  ::testing::AssertionResult PullArea(const QRect& area) {
    // The frame is on the screen, around the area and not in it.
    const std::vector<unsigned> left = screen_.Grab(area.x() - 1, area.y(), 1, area.height());
    if (std::count(left.begin(), left.end(), 0xff0000u) < area.height() / 2)
      return ::testing::AssertionFailure() << "no frame line left of the area";
    const std::vector<unsigned> inside = screen_.Grab(area.x(), area.y(), area.width(), area.height());
    if (std::count(inside.begin(), inside.end(), 0xff0000u) != 0)
      return ::testing::AssertionFailure() << "the frame's red lies in the area";
    std::vector<uint8_t> crop;
    for (unsigned rgb : inside) {
      crop.push_back(rgb & 0xff);
      crop.push_back((rgb >> 8) & 0xff);
      crop.push_back((rgb >> 16) & 0xff);
      crop.push_back(0xff);
    }
    return PullUntilMatch(
        [&](int width, int height) { return ReferenceLuma(crop, area.width(), area.height(), width, height); });
  }
  // An application share through the chooser: the row of that title, then
  // its start button. The chooser lists the windows it found when it opened;
  // one opened before the window was fully there is cancelled and opened
  // again, so the modal loop never waits for a row that cannot come.
  void StartApplicationShare(const QString& title) {
    page_->findChild<QRadioButton*>("windowButton")->setChecked(true);
    QTimer chooser;
    int ticks = 0;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<CEnumWndDlg*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      const auto found = dialog->model()->findItems(title);
      if (found.isEmpty()) {
        if (++ticks % 50 == 0) dialog->reject();
        return;
      }
      auto* list = dialog->findChild<QTableView*>(QStringLiteral("WndList"));
      list->selectRow(found.first()->row());
      dialog->findChild<QPushButton*>(QStringLiteral("startAppShare"))->click();
    });
    chooser.start(20);
    for (int attempt = 0; attempt < 5 && page_->captureCfg().catchWndPro.empty(); ++attempt) {
      Click("startShareBtn");
    }
  }
  // Closes every notice that opens, keeping its text.
  void CatchNotices() {
    QObject::connect(&noticeTimer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<FWMsgBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      if (auto* label = box->findChild<QLabel*>(QStringLiteral("FWMsg_label"))) notices_ << label->text();
      box->button(FWMsgBox::Ok)->click();
    });
    noticeTimer_.start(20);
  }

  XScreen screen_;
  RootPainter painter_;
  std::unique_ptr<SimBox> box_;
  std::unique_ptr<QWidget> main_;
  ScreenShareWnd* page_ = nullptr;
  std::vector<SimPulledFrame> frames_;
  QTimer noticeTimer_;
  QStringList notices_;
};

TEST_F(SimShareTest, AScreenShareStartedByItsButtonShowsTheScreenUntilTheBoxStopsIt) {
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  Click("startShareBtn");
  WaitUntilSharing();
  ASSERT_TRUE(painter_.Paint(1));
  ASSERT_TRUE(PullPattern(1));
  ASSERT_TRUE(painter_.Paint(2));
  ASSERT_TRUE(PullPattern(2));

  CatchNotices();
  box_->sendRequest(83, "{}");
  ASSERT_TRUE(WaitFor([&] { return !notices_.isEmpty(); }, 10000));
  EXPECT_EQ(notices_.first(), "Box has stopped screen share!");
  EXPECT_TRUE(Enabled("startShareBtn"));
  EXPECT_FALSE(Enabled("stopShareBtn"));
  EXPECT_EQ(page_->captureCfg().monitorID, -1);
  EXPECT_EQ(GetTransCtrlEngine().getState(), CVSTATE_CONNECTED);
}

TEST_F(SimShareTest, StopByTheButtonWaitsForTheBox) {
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  Click("startShareBtn");
  WaitUntilSharing();
  ASSERT_TRUE(painter_.Paint(3));
  ASSERT_TRUE(PullPattern(3));
  Click("stopShareBtn");
  ASSERT_TRUE(WaitFor([&] { return Enabled("startShareBtn"); }, 10000));
  EXPECT_EQ(box_->commandsWithAct(7).size(), 1);
  EXPECT_EQ(GetTransCtrlEngine().getState(), CVSTATE_CONNECTED);
}

TEST_F(SimShareTest, AnAreaShareFollowsItsFrameAndNeverShowsIt) {
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  page_->findChild<QRadioButton*>("areaButton")->setChecked(true);
  Click("startShareBtn");
  WaitUntilSharing();
  CShareAreaDlg& frame = page_->areaFrame();
  ASSERT_TRUE(WaitFor([&] { return frame.isVisible(); }));
  ASSERT_TRUE(painter_.Paint(6));
  Settle(200);
  ASSERT_TRUE(PullArea(QRect(384, 216, 1152, 648)));

  // Dragging the frame's tab moves what the box sees.
  const QPoint tab = frame.mapToGlobal(QPoint(frame.width() / 2, 5));
  ASSERT_TRUE(screen_.MoveCursor(tab.x(), tab.y()));
  QTest::mousePress(&frame, Qt::LeftButton, {}, frame.mapFromGlobal(tab));
  const QPoint end = tab + QPoint(-200, 100);
  ASSERT_TRUE(screen_.MoveCursor(end.x(), end.y()));
  ASSERT_TRUE(WaitFor([&] { return QCursor::pos() == end; }));
  QMouseEvent move(QEvent::MouseMove, frame.mapFromGlobal(end), end, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&frame, &move);
  QTest::mouseRelease(&frame, Qt::LeftButton, {}, frame.mapFromGlobal(end));
  ASSERT_EQ(page_->captureCfg().catchRt.size(), 1u);
  const SSRECT moved = page_->captureCfg().catchRt.front();
  const QRect movedArea(moved.x, moved.y, moved.width, moved.height);
  EXPECT_EQ(movedArea, QRect(184, 316, 1152, 648));
  Settle(200);
  ASSERT_TRUE(PullArea(movedArea));
}

// Luma of a decoded picture at a point; the picture of an application share
// covers its window's rectangle.
int LumaAt(const LumaPicture& picture, int x, int y) {
  return picture.y[static_cast<size_t>(y) * picture.width + x];
}

TEST_F(SimShareTest, AnApplicationShareShowsItsWindowAndMasksTheOneAboveIt) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  ASSERT_NE(windows.Open("app", 100, 100, 600, 400, 0x336699, "pid=31337"), 0u);
  ASSERT_TRUE(windows.Title("app", "net", "Helper app"));
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  StartApplicationShare("Helper app");
  ASSERT_EQ(page_->captureCfg().catchWndPro.size(), 1u);
  WaitUntilSharing();
  // Another program's window over the shared one.
  ASSERT_NE(windows.Open("cover", 300, 200, 200, 150, 0xffffff, "pid=31338"), 0u);
  ASSERT_TRUE(windows.Raise("cover"));
  Settle(300);

  LumaPicture picture;
  bool seen = false;
  for (int i = 0; i < 40 && !seen; ++i) {
    const size_t before = frames_.size();
    ASSERT_TRUE(WaitFor([&] { return box_->puller()->request(i == 0); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return frames_.size() > before; }, 10000))
        << "state " << GetTransCtrlEngine().getState() << " watched process " << page_->shareWatcher().processId();
    ASSERT_EQ(frames_.back().error, QString());
    if (frames_.back().picture.y.empty()) continue;
    picture = frames_.back().picture;
    if (picture.width < 600 || picture.height < 400) continue;
    seen = std::abs(LumaAt(picture, 50, 50) - 95) < 15 &&
           std::abs(LumaAt(picture, 300, 175) - 206) < 15;
    if (!seen) Settle(50);
  }
  ASSERT_FALSE(picture.y.empty());
  EXPECT_TRUE(seen) << picture.width << "x" << picture.height << ": shared window " << LumaAt(picture, 50, 50)
                    << ", covered part " << LumaAt(picture, 300, 175);
  EXPECT_GT(std::abs(LumaAt(picture, 300, 175) - 235), 15) << "the window above reached the picture";
}

// X windows need not name their process. Such a window is shared as itself
// and watched as itself: the share runs until the window goes, and then ends
// with the watcher's notice.
TEST_F(SimShareTest, AWindowThatNamesNoProcessIsSharedUntilItCloses) {
  XWindows windows;
  ASSERT_TRUE(windows.started());
  const unsigned long bare = windows.Open("bare", 100, 100, 600, 400, 0x336699);
  ASSERT_NE(bare, 0u);
  ASSERT_TRUE(windows.Title("bare", "net", "Bare window"));
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  StartApplicationShare("Bare window");
  ASSERT_EQ(page_->captureCfg().catchWndPro.size(), 1u);
  WaitUntilSharing();
  // Well past the watcher's first ticks the share still runs, its window framed.
  Settle(800);
  EXPECT_EQ(GetTransCtrlEngine().getState(), CVSTATE_SHARING);
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(bare));
  EXPECT_EQ(page_->shareWatcher().watchedWindow(), window);
  EXPECT_EQ(page_->shareWatcher().indicators().count(window), 1u);
  EXPECT_TRUE(box_->commandsWithAct(7).empty());
  // The box sees the window: the picture covers its rectangle, in its colour.
  bool seen = false;
  for (int i = 0; i < 40 && !seen; ++i) {
    const size_t before = frames_.size();
    ASSERT_TRUE(WaitFor([&] { return box_->puller()->request(i == 0); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return frames_.size() > before; }, 10000));
    ASSERT_EQ(frames_.back().error, QString());
    const LumaPicture& picture = frames_.back().picture;
    seen = picture.width >= 600 && picture.height >= 400 && std::abs(LumaAt(picture, 50, 50) - 95) < 15 &&
           std::abs(LumaAt(picture, 550, 350) - 95) < 15;
    if (!seen) Settle(50);
  }
  EXPECT_TRUE(seen);

  CatchNotices();
  ASSERT_TRUE(windows.Close("bare"));
  ASSERT_TRUE(WaitFor([&] { return !notices_.isEmpty(); }, 5000));
  EXPECT_EQ(notices_, QStringList{"the program you are sharing has been closed, program sharing will over!"});
  ASSERT_TRUE(WaitFor([&] { return Enabled("startShareBtn"); }, 10000));
  EXPECT_EQ(box_->commandsWithAct(7).size(), 1);
  EXPECT_EQ(GetTransCtrlEngine().getState(), CVSTATE_CONNECTED);
  EXPECT_EQ(page_->shareWatcher().watchedWindow(), nullptr);
}

// What the main window does with the page's reconnect request: the
// connection dialog, then the page told how it ended.
class ReconnectingMain : public QObject {
 public:
  ReconnectingMain(ScreenShareWnd* page, QWidget* main) : page_(page), main_(main) {
    QObject::connect(page, &ScreenShareWnd::s_reconnBox, this, [this](MEETING_BOX_INFO box) {
      ++dialogs;
      DlgConnBox dialog(box, main_);
      dialog.setAutoCloseOnFail(true);
      dialog.exec();
      if (GetTransCtrlEngine().getState() >= CVSTATE_CONNECTED)
        page_->setShareState(0);
      else
        page_->retryReconnect();
    });
    QObject::connect(page, &ScreenShareWnd::s_selectOtherBox, this, [this] { ++searchPages; });
  }
  int dialogs = 0;
  int searchPages = 0;

 private:
  ScreenShareWnd* page_;
  QWidget* main_;
};

TEST_F(SimShareTest, ALostShareComesBackByItselfAfterThePagesReconnect) {
  ReconnectingMain stand(page_, main_.get());
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  Click("startShareBtn");
  WaitUntilSharing();
  ASSERT_TRUE(painter_.Paint(4));
  ASSERT_TRUE(PullPattern(4));

  // The SDK's own reconnect is refused; the page waits, then reconnects.
  page_->reconnectTimer().setInterval(300);
  box_->config().refuseReconnect = true;
  box_->dropConnections();
  box_->puller()->forget();
  ASSERT_TRUE(WaitFor([&] { return page_->reconnectPending(); }, 10000));
  EXPECT_EQ(page_->findChild<QToolButton*>("stopShareBtn")->text(), "Disconnect");
  ASSERT_TRUE(WaitFor([&] { return GetTransCtrlEngine().getState() == CVSTATE_SHARING && Enabled("stopShareBtn"); },
                      15000));
  EXPECT_EQ(stand.dialogs, 1);
  EXPECT_EQ(stand.searchPages, 0);
  EXPECT_EQ(box_->commandsWithAct(6).size(), 2);
  EXPECT_EQ(box_->commandsWithAct(2).size(), 2);
  WaitUntilSharing();
  ASSERT_TRUE(painter_.Paint(5));
  ASSERT_TRUE(PullPattern(5));
}

TEST_F(SimShareTest, DisconnectWhileReconnectingAbandonsTheReconnect) {
  ReconnectingMain stand(page_, main_.get());
  ASSERT_TRUE(Connect());
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}, {QStringLiteral("Backstage"), 1}}));
  Click("startShareBtn");
  WaitUntilSharing();
  page_->reconnectTimer().setInterval(300);
  box_->config().refuseReconnect = true;
  box_->dropConnections();
  ASSERT_TRUE(WaitFor([&] { return page_->reconnectPending(); }, 10000));
  const int accepted = box_->connectionsAccepted();
  Click("stopShareBtn");
  EXPECT_EQ(stand.searchPages, 1);
  EXPECT_FALSE(page_->reconnectPending());
  Settle(800);
  EXPECT_EQ(stand.dialogs, 0);
  EXPECT_EQ(box_->connectionsAccepted(), accepted);
  EXPECT_EQ(GetTransCtrlEngine().getState(), CVSTATE_IDLE);
}

}  // namespace

// A settings file of the program's own; the SDK wired to the client's
// adapters, and unwired again before its objects outlive the settings.
std::unique_ptr<QTemporaryDir> g_settingsDir;

const TestProgramHooks kHooks(
    [] {
      g_settingsDir = std::make_unique<QTemporaryDir>();
      if (!g_settingsDir->isValid()) return false;
      FWIniDatFile::instance().setFile(g_settingsDir->filePath(QStringLiteral("UserCfg.ini")));
      GetCorvaneSDK().init(nullptr, &FWIniDatFile::instance());
      GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
      return true;
    },
    [] {
      GetCorvaneSDK().init(nullptr, nullptr);
      g_settingsDir.reset();
    });
