// The single automatic reconnect: a silent box, a dropped connection, and a
// box that refuses to take the session back.
#include <chrono>
#include <functional>
#include <thread>

#include <QJsonDocument>
#include <QJsonObject>

#include "RootPainter.h"
#include "SessionFixture.h"
#include "SimFramePuller.h"
#include "TransCtrl.h"
#include "RowName.h"

using namespace CORVANESDK;

namespace {

using Params = std::map<std::string, std::string>;

QJsonObject BodyOf(const SimFrame& frame) { return QJsonDocument::fromJson(frame.body).object(); }

// Heartbeats that came over connection `connection`.
QList<QJsonObject> HeartbeatsOn(const SimBox& box, int connection) {
  QList<QJsonObject> found;
  for (int i = 0; i < box.commands().size(); ++i)
    if (box.commands()[i].act == 8 && box.commandConnections()[i] == connection)
      found.append(BodyOf(box.commands()[i]));
  return found;
}

using Reconnect = SessionFixture;

// On the real timer lengths: 3 s to the heartbeat, 10 s for its answer.
TEST_F(Reconnect, SilentBoxGetsOneReconnectAfterThirteenSecondsAndKeepsTheSession) {
  ASSERT_TRUE(Connect());
  box_->goSilent();
  ASSERT_TRUE(WaitFor([this] { return box_->connectionsAccepted() == 2; }, 20000));
  ASSERT_TRUE(WaitFor([this] { return !HeartbeatsOn(*box_, 2).isEmpty(); }));
  const QList<QJsonObject> silent = HeartbeatsOn(*box_, 1);
  ASSERT_EQ(silent.size(), 1);
  EXPECT_FALSE(silent[0].value("Reconnect").toBool());
  const QJsonObject first = HeartbeatsOn(*box_, 2).first();
  EXPECT_TRUE(first.value("Reconnect").toBool());
  EXPECT_EQ(first.value("SessionID").toInt(), kSessionId);
  // The new connection's first message is that heartbeat.
  const int firstOnNew = static_cast<int>(box_->commandConnections().indexOf(2));
  EXPECT_EQ(box_->commands()[firstOnNew].act, 8);

  // The answered reconnect re-arms the heartbeat: the next one is a plain one.
  ASSERT_TRUE(WaitFor([this] { return HeartbeatsOn(*box_, 2).size() >= 2; }, 6000));
  EXPECT_FALSE(HeartbeatsOn(*box_, 2)[1].value("Reconnect").toBool());
  EXPECT_EQ(HeartbeatsOn(*box_, 2)[1].value("SessionID").toInt(), kSessionId);
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_EQ(box_->connectionsAccepted(), 2);
}

TEST_F(Reconnect, DroppedConnectionIsTakenBackUnderTheSameSession) {
  ASSERT_TRUE(Connect());
  box_->dropConnections();
  ASSERT_TRUE(WaitFor([this] { return !HeartbeatsOn(*box_, 2).isEmpty(); }));
  const QJsonObject first = HeartbeatsOn(*box_, 2).first();
  EXPECT_TRUE(first.value("Reconnect").toBool());
  EXPECT_EQ(first.value("SessionID").toInt(), kSessionId);
  Settle(300);
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_EQ(box_->connectionsAccepted(), 2);
}

TEST_F(Reconnect, UnansweredReconnectTimesOut) {
  SetTimers(CTransCtrl::kHeartbeatMs, 500, CTransCtrl::kResponseMs);
  ASSERT_TRUE(Connect());
  AnswerSilently(8);
  box_->dropConnections();
  ASSERT_TRUE(WaitForNotes(1, 5000));
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  Settle(300);
  ASSERT_EQ(recorder_.notes().size(), 1u);
  EXPECT_EQ(recorder_.notes()[0].nty, CVNTY_DISCONNECTED);
  EXPECT_EQ(recorder_.notes()[0].params, (Params{{"Reason", "67"}, {"AutoReconn", "1"}}));
  EXPECT_TRUE(LogHas("socket reconnect time out:"));
  EXPECT_EQ(box_->connectionsAccepted(), 2);
}

struct RefusalCase {
  const char* name;
  bool stopListening;  // else the box closes the new connection at its heartbeat
};

const RefusalCase kRefusals[] = {{"NothingListens", true}, {"BoxClosesTheNewConnection", false}};

class RefusedReconnect : public SessionFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedReconnect, WhileSharingStopsCaptureThenNotifiesOnce) {
  ASSERT_TRUE(ConnectAndShare());
  SSCFG cfg;
  cfg.monitorID = 0;
  ctrl().setCaptureCfg(cfg);
  const int stops = CaptureStops();
  if (GetParam().stopListening)
    box_->stopListening();
  else
    box_->config().refuseReconnect = true;
  box_->dropConnections();
  ASSERT_TRUE(WaitForNotes(1));
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  Settle(500);
  const std::vector<Note> notes = recorder_.notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].nty, CVNTY_DISCONNECTED);
  EXPECT_EQ(notes[0].params, (Params{{"Reason", "67"}, {"AutoReconn", "1"}}));
  EXPECT_EQ(notes[0].captureStops, stops + 1) << "capture still running at the notification";
  // One attempt only.
  EXPECT_LE(box_->connectionsAccepted(), 2);
}

INSTANTIATE_TEST_SUITE_P(Box, RefusedReconnect, ::testing::ValuesIn(kRefusals), RowName());

struct CutCase {
  const char* name;
  // The box takes the request and closes instead of answering; else it
  // drops the connection in the moment the host asks, before reading.
  bool boxClosesOnRequest;
};

const CutCase kCuts[] = {{"BoxClosesOnTheRequest", true}, {"BoxDropsAsTheHostAsks", false}};

class CutAtShareRequest : public SessionFixture, public ::testing::WithParamInterface<CutCase> {
 protected:
  static constexpr int kRounds = 12;

  // Asks with the connection cut under the request; by round, the PC
  // handles the request before or after it sees the cut, or while its
  // reconnect waits for the box. The box reads nothing meanwhile: only this
  // thread's event loop runs it.
  void AskWithCut(int round, const std::function<void()>& ask) {
    if (GetParam().boxClosesOnRequest) {
      ask();
      return;
    }
    switch (round % 3) {
      case 0:
        box_->dropConnections();
        ask();
        break;
      case 1:
        ask();
        std::this_thread::sleep_for(std::chrono::microseconds(round * 150));
        box_->dropConnections();
        break;
      default: {
        const int reconnects = Log().CountPrefix("socket reconn!");
        box_->dropConnections();
        // The new connection is then up but its heartbeat unanswered.
        for (int i = 0; i < 3000 && Log().CountPrefix("socket reconn!") == reconnects; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ask();
        break;
      }
    }
  }

  // The connection the box last got a request with this act over.
  int ConnectionOfLast(int act) const {
    for (int i = box_->commands().size() - 1; i >= 0; --i)
      if (box_->commands()[i].act == act && !box_->commands()[i].response) return box_->commandConnections()[i];
    return 0;
  }

  ::testing::AssertionResult Round(int round, int act, int nty, int state) {
    const int accepted = box_->connectionsAccepted();
    AskWithCut(round, [&] { act == 6 ? ctrl().startShare() : ctrl().stopShare(); });
    if (!WaitForNotes(1, 6000))
      return ::testing::AssertionFailure() << "act " << act << ": no notification, state " << ctrl().getState();
    const std::vector<Note> notes = recorder_.notes();
    recorder_.clear();
    if (notes.size() != 1 || notes[0].nty != nty || notes[0].stateThen != state)
      return ::testing::AssertionFailure() << "act " << act << ": notification " << notes[0].nty << " in state "
                                           << notes[0].stateThen << ", " << notes.size() << " in all";
    if (box_->connectionsAccepted() != accepted + 1)
      return ::testing::AssertionFailure() << "act " << act << ": " << box_->connectionsAccepted() - accepted
                                           << " new connections";
    if (ConnectionOfLast(act) != box_->connectionsAccepted())
      return ::testing::AssertionFailure() << "act " << act << " last came over connection " << ConnectionOfLast(act);
    return ::testing::AssertionSuccess();
  }
};

// A request the cut loses, unsent or unanswered, goes out again once the box
// took the session back: the host learns the outcome and the state follows.
TEST_P(CutAtShareRequest, EveryRoundEndsWithTheBoxsAnswer) {
  // Heartbeats often, so that their answers come between the requests and
  // the reconnects.
  SetTimers(200, 2000, 2000);
  const QByteArray accepted = SimAnswer::Code(0, {{QStringLiteral("Sharer"), 3}});
  if (GetParam().boxClosesOnRequest) {
    const SimActReply close{SimActReply::Kind::Close, {}, -1};
    QList<SimActReply>& start = box_->config().actReplies[6];
    QList<SimActReply>& stop = box_->config().actReplies[7];
    start.clear();
    stop.clear();
    for (int round = 0; round < kRounds; ++round) {
      start << close << SimActReply{SimActReply::Kind::Answer, accepted, -1};
      stop << close << SimActReply{SimActReply::Kind::Answer, "{}", -1};
    }
  } else {
    Answer(6, accepted);
  }
  ASSERT_TRUE(Connect());
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_TRUE(Round(round, 6, CVNTY_SHARE_STARTED, CVSTATE_SHARING)) << "round " << round;
    ASSERT_TRUE(Round(round, 7, CVNTY_SHARE_STOPPED, CVSTATE_CONNECTED)) << "round " << round;
  }
  Settle(300);
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
}

INSTANTIATE_TEST_SUITE_P(Box, CutAtShareRequest, ::testing::ValuesIn(kCuts), RowName());

}  // namespace
