// Shares end to end: the box pulls frames from the SDK capturing an X server
// of the test's own, checks every response and decodes it.
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QScopeGuard>

#include "ShareFixture.h"
#include "TransCtrl.h"
#include "RowName.h"

using namespace CORVANESDK;

namespace {

using Params = std::map<std::string, std::string>;

TEST_F(Share, FramesShowTheScreenAndKeyFramesComeOnRequest) {
  ASSERT_TRUE(painter_.Paint(1));
  ASSERT_TRUE(StartSharing(3));
  SimPulledFrame frame;
  double psnr = 0;
  ASSERT_TRUE(PullPattern(1, &frame, &psnr));
  EXPECT_EQ(frame.packet.sharer, 3);
  EXPECT_EQ(frame.sessionId, kSessionId);
  EXPECT_EQ(frame.picture.width, std::min(screen_.width(), 1920));

  ASSERT_TRUE(Pull(true, &frame));
  EXPECT_TRUE(frame.packet.key);
  EXPECT_TRUE(frame.picture.key);
  ASSERT_TRUE(Pull(false, &frame));
  EXPECT_FALSE(frame.packet.key);

  // New content shows in a later frame.
  ASSERT_TRUE(painter_.Paint(2));
  ASSERT_TRUE(PullPattern(2, &frame, &psnr));
  EXPECT_TRUE(recorder_.notes().empty());
}

TEST_F(Share, FrameAnswersCarryTheirRequestsSnWhenParametersCameBetween) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(false, &frame));
  for (int i = 0; i < 3; ++i) {
    const size_t before = frames_.size();
    ASSERT_TRUE(box_->puller()->request(false));
    box_->sendRequest(84, SimAnswer::Connected(kSessionId, 0));
    ASSERT_TRUE(WaitFor([&] { return frames_.size() > before; }));
    EXPECT_EQ(frames_.back().error, QString()) << qPrintable(frames_.back().error);
  }
}

TEST_F(Share, PausedSharingSendsTheLastPictureAgain) {
  ASSERT_TRUE(painter_.Paint(3));
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  double psnr = 0;
  ASSERT_TRUE(PullPattern(3, &frame, &psnr));
  box_->sendRequest(82, "{}");
  ASSERT_TRUE(WaitForState(CVSTATE_SHARE_PAUSED));
  ASSERT_TRUE(painter_.Paint(4));
  Settle(300);
  ASSERT_TRUE(Pull(true, &frame));
  const std::vector<uint8_t> old = ReferenceLuma(RootPainter::Pattern(3, screen_.width(), screen_.height()),
                                                 screen_.width(), screen_.height(), frame.picture.width,
                                                 frame.picture.height);
  EXPECT_GE(Psnr(frame.picture.y, old), kMinPsnr);
}

TEST_F(Share, BoxStopsTheShare) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(false, &frame));
  const int stops = CaptureStops();
  box_->sendRequest(83, "{}");
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_BOX_STOPPED_SHARE});
  EXPECT_TRUE(recorder_.notes()[0].params.empty());
  ASSERT_TRUE(WaitForState(CVSTATE_CONNECTED));
  EXPECT_TRUE(WaitFor([&] { return CaptureStops() == stops + 1; }));
  // The share can start again, and frames flow again.
  recorder_.clear();
  ctrl().startShare();
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_SHARE_STARTED});
  SSCFG cfg;
  cfg.monitorID = 0;
  ctrl().setCaptureCfg(cfg);
  ASSERT_TRUE(Pull(false, &frame));
}

TEST_F(Share, HostStopsTheShare) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(false, &frame));
  const int stops = CaptureStops();
  ctrl().stopShare();
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_SHARE_STOPPED});
  EXPECT_EQ(recorder_.notes()[0].captureStops, stops + 1);
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
  ASSERT_EQ(box_->commandsWithAct(7).size(), 1);
  EXPECT_EQ(QJsonDocument::fromJson(box_->commandsWithAct(7)[0].body).object().value("SessionID").toInt(), kSessionId);
}

TEST_F(Share, DisconnectWhileSharingStopsShareThenDisconnectsQuietly) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(false, &frame));
  const int stops = CaptureStops();
  ctrl().disconnectBox();
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  ASSERT_TRUE(WaitForCommand(5));
  ASSERT_TRUE(WaitFor([this] { return box_->openSessions() == 0; }));
  Settle(200);
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_EQ(CaptureStops(), stops + 1);
  std::vector<int> acts;
  for (const SimFrame& command : box_->commands())
    if (!command.response && command.act != 8) acts.push_back(command.act);
  ASSERT_GE(acts.size(), 2u);
  EXPECT_EQ((std::vector<int>{acts[acts.size() - 2], acts.back()}), (std::vector<int>{7, 5}));
}

TEST_F(Share, ABoxThatStopsReadingHoldsItsRequestsBackNotFrames) {
  ASSERT_TRUE(painter_.Paint(-1));  // noise: large key frames
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(true, &frame));
  auto& ctrlImpl = static_cast<CTransCtrl&>(ctrl());
  ctrlImpl.setMaxUnsentBytes(1024 * 1024);
  const auto restore = qScopeGuard([&] { ctrlImpl.setMaxUnsentBytes(CTransCtrl::kMaxUnsentBytes); });
  const auto linesStarting = [](const std::string& prefix) {
    int count = 0;
    for (const RecordingLog::Line& line : Log().Lines()) count += line.text.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  };
  const int heldBefore = linesStarting("frame requests wait:");
  box_->setReading(false);
  SimFramePuller* puller = box_->puller();
  puller->setWindow(1000);
  // Key frames, one at a time, until the host holds the requests back; bounded.
  int requests = 0;
  for (; requests < 400 && linesStarting("frame requests wait:") == heldBefore; ++requests) {
    const int done = linesStarting("send a frame sn:");
    ASSERT_TRUE(puller->request(true));
    ASSERT_TRUE(WaitFor([&] {
      return linesStarting("send a frame sn:") > done || linesStarting("frame requests wait:") > heldBefore;
    })) << "request " << requests;
  }
  ASSERT_GT(linesStarting("frame requests wait:"), heldBefore) << requests << " key frames and none held back";
  // More wait behind them, costing their numbers only.
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(puller->request(i % 2 == 0));
  Settle(200);
  EXPECT_EQ(ctrl().getState(), CVSTATE_SHARING);

  // Reading again, the box gets an answer to every request, in order.
  box_->setReading(true);
  ASSERT_TRUE(WaitFor([&] { return !puller->outstanding(); }, 30000)) << puller->outstandingCount() << " unanswered";
  for (const SimPulledFrame& f : frames_) EXPECT_EQ(f.error, QString()) << f.requestSn;
  EXPECT_TRUE(recorder_.notes().empty());
}

TEST_F(Share, DisconnectWhileStoppingSendsNoSecondStopShare) {
  ASSERT_TRUE(StartSharing());
  AnswerSilently(7);
  ctrl().stopShare();
  ASSERT_TRUE(WaitForCommand(7));
  ASSERT_EQ(ctrl().getState(), CVSTATE_SHARE_STOPPING);
  ctrl().disconnectBox();
  ASSERT_TRUE(WaitForCommand(5));
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  EXPECT_EQ(box_->commandsWithAct(7).size(), 1);
  EXPECT_TRUE(recorder_.notes().empty());
}

struct RatioCase {
  const char* name;
  double ratio;
  QSize sent;      // on a 1920x1080 screen, box maximum 1920x1080
  QRect content;   // where the screen shows in it; black around
};

// The two ends of the ratios a box may ask for.
const RatioCase kRatioEnds[] = {
    {"OneSixteenth", 0.0625, {80, 1080}, QRect(0, 521, 80, 38)},
    {"Sixteen", 16.0, {1920, 120}, QRect(853, 0, 213, 120)},
};

class RatioEnd : public Share, public ::testing::WithParamInterface<RatioCase> {};

double MeanLuma(const LumaPicture& picture, const QRect& area) {
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) sum += picture.y[static_cast<size_t>(y) * picture.width + x];
  return sum / (static_cast<double>(area.width()) * area.height());
}

TEST_P(RatioEnd, GivesAPictureTheBoxDecodes) {
  const RatioCase& c = GetParam();
  ASSERT_EQ(QSize(screen_.width(), screen_.height()), QSize(1920, 1080));
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing());
  // The box maximum of the connect answer stays: a new one waits for new
  // capture settings.
  box_->sendRequest(84, SimAnswer::Json({{QStringLiteral("MaxWidth"), 1920},
                                         {QStringLiteral("MaxHeight"), 1080},
                                         {QStringLiteral("AspectRatio"), c.ratio}}));
  ASSERT_TRUE(WaitForNotes(1));
  // The ratio applies from the next captured picture on.
  SimPulledFrame frame;
  for (int i = 0; i < 30 && QSize(frame.picture.width, frame.picture.height) != c.sent; ++i)
    ASSERT_TRUE(Pull(i == 0, &frame));
  ASSERT_EQ(QSize(frame.picture.width, frame.picture.height), c.sent);
  ASSERT_EQ(frame.picture.y.size(), static_cast<size_t>(c.sent.width()) * c.sent.height());
  // Away from the edges, which the scaler blurs: the screen inside, black
  // (luma 16) around it.
  EXPECT_GT(MeanLuma(frame.picture, c.content.adjusted(4, 4, -4, -4)), 60.0);
  const QRect above(0, 0, c.sent.width(), c.content.top() - 4);
  const QRect left(0, 0, c.content.left() - 4, c.sent.height());
  const QRect black = above.height() > 0 ? above : left;
  ASSERT_GT(black.width() * black.height(), 0);
  EXPECT_LT(MeanLuma(frame.picture, black), 20.0);
}

INSTANTIATE_TEST_SUITE_P(Share, RatioEnd, ::testing::ValuesIn(kRatioEnds), RowName());

struct BurstCase {
  const char* name;
  bool boxStops;  // the box stops the share (act 83); else the host disconnects while sharing
};

const BurstCase kBursts[] = {{"BoxStopsTheShare", true}, {"HostDisconnects", false}};

class StopAfterBurst : public Share, public ::testing::WithParamInterface<BurstCase> {};

// A burst of frame requests must not hold the stop behind one encode each:
// the host's stop-share and disconnect reach the box while it still waits.
TEST_P(StopAfterBurst, StopAndDisconnectGoOutAtOnce) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing());
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(false, &frame));
  for (int i = 0; i < 10000; ++i)
    box_->sendRequest(81, SimAnswer::Json({{QStringLiteral("IFrame"), i % 2}, {QStringLiteral("SN"), i}}));
  if (GetParam().boxStops) {
    box_->sendRequest(83, "{}");
    ASSERT_TRUE(WaitForNotes(1));
    EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_BOX_STOPPED_SHARE});
  } else {
    // Parameters after the burst: their notification tells that the SDK has
    // read every request.
    box_->sendRequest(84, SimAnswer::Connected(kSessionId, 0));
    ASSERT_TRUE(WaitForNotes(1));
  }
  ctrl().disconnectBox();
  // Generous for a loaded machine; one encode after another would take
  // minutes.
  EXPECT_TRUE(WaitForCommand(5, 1, 8000));
  if (!GetParam().boxStops) {
    EXPECT_EQ(box_->commandsWithAct(7).size(), 1);
  }
  EXPECT_TRUE(WaitForState(CVSTATE_IDLE, 8000));
}

INSTANTIATE_TEST_SUITE_P(Share, StopAfterBurst, ::testing::ValuesIn(kBursts), RowName());

struct StartAnswerCase {
  const char* name;
  QByteArray answer;
  int nty;
  int state;
  Params params;  // the whole map the host gets
};

const StartAnswerCase kStartAnswers[] = {
    {"RefusedWithReason", R"({"RspCode":5,"Reason":2,"RspDesc":"no"})", CVNTY_SHARE_REFUSED, CVSTATE_CONNECTED,
     {{"Reason", "2"}}},
    {"FailedWithoutReason", R"({"RspCode":9,"RspDesc":"broken"})", CVNTY_SHARE_FAILED, CVSTATE_CONNECTED,
     {{"RspCode", "9"}, {"RspDesc", "broken"}}},
    {"AcceptedWithReason", R"({"RspCode":0,"Reason":0,"Sharer":3,"Backstage":1})", CVNTY_SHARE_STARTED,
     CVSTATE_SHARING, {{"Reason", "0"}}},
};

class StartAnswer : public SessionFixture, public ::testing::WithParamInterface<StartAnswerCase> {};

TEST_P(StartAnswer, NotifiesTheReducedMapAndKeepsTheSharer) {
  const StartAnswerCase& c = GetParam();
  ASSERT_TRUE(Connect());
  Answer(6, c.answer);
  ctrl().startShare();
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.notes()[0].nty, c.nty);
  EXPECT_EQ(recorder_.notes()[0].params, c.params);
  EXPECT_EQ(ctrl().getState(), c.state);
  if (c.state != CVSTATE_SHARING) return;
  // The sharer comes from the whole answer, not from the reduced map.
  SSCFG cfg;
  cfg.monitorID = 0;
  ctrl().setCaptureCfg(cfg);
  EXPECT_TRUE(LogHas("setCaptureCfg sharer:3, Backstage:1,"));
}

INSTANTIATE_TEST_SUITE_P(Box, StartAnswer, ::testing::ValuesIn(kStartAnswers), RowName());

TEST_F(Share, FailedCaptureSettingsStopTheShare) {
  ASSERT_TRUE(ConnectAndShare());
  SSCFG cfg;
  cfg.monitorID = 42;  // no such monitor
  ctrl().setCaptureCfg(cfg);
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_SHARE_STOPPED});
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
  EXPECT_EQ(box_->commandsWithAct(7).size(), 1);
}

// The capture failure and the host's stop reach the protocol thread in
// either order, and whichever comes second finds the stop asked for: a
// second stop-share would draw a second answer, which the box sends once
// the session is back in state 4.
TEST_F(Share, CaptureFailureAndHostStopTogetherSendOneStopShare) {
  ASSERT_TRUE(ConnectAndShare());
  SSCFG bad;
  bad.monitorID = 42;  // no such monitor: the capture fails
  for (int round = 0; round < 5; ++round) {
    if (round > 0) {
      ctrl().startShare();
      ASSERT_TRUE(WaitForNotes(1)) << "round " << round;
      ASSERT_EQ(recorder_.codes(), std::vector<int>{CVNTY_SHARE_STARTED}) << "round " << round;
      recorder_.clear();
    }
    const int stopsSent = box_->commandsWithAct(7).size();
    ctrl().setCaptureCfg(bad);
    ctrl().stopShare();
    ASSERT_TRUE(WaitForNotes(1)) << "round " << round;
    // Room for a second answer to arrive and end the session.
    Settle(200);
    EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_SHARE_STOPPED}) << "round " << round;
    ASSERT_EQ(ctrl().getState(), CVSTATE_CONNECTED) << "round " << round;
    EXPECT_EQ(box_->commandsWithAct(7).size(), stopsSent + 1) << "round " << round;
    recorder_.clear();
  }
}

}  // namespace
