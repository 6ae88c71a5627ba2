// The single automatic reconnect: a silent box, a dropped connection, and a
// box that refuses to take the session back.
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

}  // namespace
