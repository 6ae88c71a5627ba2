// Connecting, the connection code, the box's answers and the time-outs,
// through the SDK's exports against the simulated box.
#include <cstdlib>
#include <fstream>
#include <string>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#include "CodecSetup.h"
#include "SessionFixture.h"
#include "TransCtrl.h"
#include "RowName.h"

#ifdef CORVANE_SANITIZED
// The sanitizer runtime's count of live heap bytes; GCC installs no header
// that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace CORVANESDK;

namespace {

using Params = std::map<std::string, std::string>;

QJsonObject BodyOf(const SimFrame& frame) { return QJsonDocument::fromJson(frame.body).object(); }

struct ConnectCase {
  const char* name;
  QByteArray answer;
  std::vector<int> notes;
  int state;
  Params mustHave;  // keys of the first notification's map
};

const ConnectCase kConnectCases[] = {
    {"NoCodeNeeded", SimAnswer::Connected(4711, 0), {CVNTY_CONNECTED, CVNTY_ENC_PARAM_CHANGED}, CVSTATE_CONNECTED,
     {{"SessionID", "4711"}, {"OutputWidth", "1920"}, {"DefaultKbps", "4000"}}},
    {"CodeNeeded", SimAnswer::Connected(4711, 1), {CVNTY_NEED_CONNCODE}, CVSTATE_WAIT_CONNCODE, {{"NeedCode", "1"}}},
    {"NeedCodeAbsent", SimAnswer::Code(0, {{QStringLiteral("SessionID"), 5}}), {CVNTY_NEED_CONNCODE},
     CVSTATE_WAIT_CONNCODE, {{"SessionID", "5"}}},
    {"NeedUpdate",
     SimAnswer::Code(2, {{QStringLiteral("NewVersion"), "3.1.0.2"}, {QStringLiteral("UpdateUrl"), "http://127.0.0.1/u"}}),
     {CVNTY_NEED_UPDATE}, CVSTATE_IDLE, {{"NewVersion", "3.1.0.2"}, {"UpdateUrl", "http://127.0.0.1/u"}}},
    {"Busy", SimAnswer::Code(3), {CVNTY_BOX_BUSY}, CVSTATE_IDLE, {{"RspCode", "3"}}},
    {"OtherFailure", SimAnswer::Code(9), {CVNTY_CONNECT_FAILED}, CVSTATE_IDLE, {{"RspCode", "9"}}},
    {"NoRspCode", "{}", {CVNTY_CONNECT_FAILED}, CVSTATE_IDLE, {}},
    {"NotJson", "not json", {CVNTY_CONNECT_FAILED}, CVSTATE_IDLE, {}},
};

class ConnectAnswer : public SessionFixture, public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectAnswer, NotifiesAndSetsState) {
  const ConnectCase& c = GetParam();
  Answer(2, c.answer);
  ctrl().connectBox(BoxInfo());
  ASSERT_TRUE(WaitForNotes(c.notes.size()));
  Settle(200);
  ASSERT_EQ(recorder_.codes(), c.notes);
  EXPECT_EQ(ctrl().getState(), c.state);
  const std::vector<Note> notes = recorder_.notes();
  for (const auto& [key, value] : c.mustHave) {
    EXPECT_EQ(notes[0].params.at(key), value) << key;
  }
  // The parameters reach the host twice with the same map.
  if (notes.size() == 2) {
    EXPECT_EQ(notes[0].params, notes[1].params);
  }

  const QList<SimFrame> requests = box_->commandsWithAct(2);
  ASSERT_EQ(requests.size(), 1);
  EXPECT_FALSE(requests[0].response);
  const QJsonObject body = BodyOf(requests[0]);
  EXPECT_EQ(body.value("Platform").toInt(-1), 0);
  EXPECT_TRUE(body.value("Version").isString());
  EXPECT_EQ(body.value("CanPass").toInt(-1), 1);
  EXPECT_EQ(ctrl().getCurBox().port, box_->tcpPort());
}

INSTANTIATE_TEST_SUITE_P(Box, ConnectAnswer, ::testing::ValuesIn(kConnectCases), RowName());

// An answer that says two things at once is no answer: the host waits on
// for one, as for a box that stays silent.
TEST_F(SessionFixture, ConnectAnswerWithARepeatedKeyIsDroppedAndTheWaitTimesOut) {
  SetTimers(CTransCtrl::kHeartbeatMs, CTransCtrl::kHandshakeMs, 500);
  Answer(2, R"({"RspCode":0,"SessionID":5,"NeedCode":0,"NeedCode":[0]})");
  ctrl().connectBox(BoxInfo());
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.codes(), std::vector<int>{CVNTY_UNREACHABLE});
  EXPECT_TRUE(LogHas("act 2: body of "));
  EXPECT_TRUE(LogHas("wait for svr connecting response timeout!"));
  EXPECT_EQ(ctrl().getState(), CVSTATE_IDLE);
}

TEST_F(SessionFixture, EncoderParametersReachTheOptionRecordAndTheHost) {
  ASSERT_TRUE(Connect());
  EXPECT_EQ(ctrl().getIFrameMSecond(), 4000);
  EXPECT_EQ(g_h264EncOpt.profile.load(), 2);
  // Keys the box leaves out write 0; a ratio no screen has is dropped.
  box_->sendRequest(84, SimAnswer::Json({{QStringLiteral("MaxWidth"), 1280}, {QStringLiteral("AspectRatio"), "1e30"}}));
  ASSERT_TRUE(WaitForNotes(1));
  const Note note = recorder_.notes().at(0);
  EXPECT_EQ(note.nty, CVNTY_ENC_PARAM_CHANGED);
  EXPECT_EQ(note.params.at("MaxWidth"), "1280");
  EXPECT_EQ(ctrl().getIFrameMSecond(), 0);
  EXPECT_EQ(g_h264EncOpt.profile.load(), 0);
  EXPECT_TRUE(LogHas("AspectRatio \"1e30\" ignored"));
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
}

#ifdef CORVANE_SANITIZED
// Under AddressSanitizer freed blocks sit in its quarantine and every block
// brings shadow memory along, so the resident size grows with what was freed
// too. The allocator's count of live bytes is what the SDK really keeps.
long HeldKiB() { return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024); }
#else
// Resident memory of this process, which hosts the SDK.
long HeldKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}
#endif

// A body of about `size` bytes whose key "a" comes twice, first with a large
// array: the value Qt's parser would lose track of.
QByteArray RepeatedKeyBody(int size) {
  QByteArray array = "[";
  while (array.size() < size) array += "1,";
  array += "1]";
  return R"({"a":)" + array + R"(,"a":[1],"MaxWidth":1280})";
}

struct StreamCase {
  const char* name;
  int act;
};

// Parameters, which are read, and an act no handler knows, which is not.
const StreamCase kStreams[] = {{"EncoderParameters", 84}, {"UnknownAct", 99}};

class BodyStream : public SessionFixture, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(BodyStream, LeavesMemoryFlat) {
  ASSERT_TRUE(Connect());
  const QByteArray body = RepeatedKeyBody(60 * 1024);
  // Warm up, so that buffers that stay allocated are counted before.
  box_->sendRequest(GetParam().act, body);
  box_->sendRequest(84, SimAnswer::Connected(kSessionId, 0));
  ASSERT_TRUE(WaitForNotes(1));
  Settle(100);
  const long before = HeldKiB();
  // 300 bodies: unguarded, Qt's parser keeps well over 100 MiB of them.
  for (int batch = 1; batch <= 30; ++batch) {
    for (int i = 0; i < 10; ++i) box_->sendRequest(GetParam().act, body);
    // Each batch ends with parameters the SDK reports: it has read the batch.
    box_->sendRequest(84, SimAnswer::Connected(kSessionId, 0));
    ASSERT_TRUE(WaitFor([&] {
      int params = 0;
      for (int code : recorder_.codes()) params += code == CVNTY_ENC_PARAM_CHANGED ? 1 : 0;
      return params >= batch + 1;
    })) << "batch " << batch;
  }
  Settle(100);
  const long grownKiB = HeldKiB() - before;
  EXPECT_LT(grownKiB, 40 * 1024) << "grew by " << grownKiB << " KiB";
  EXPECT_EQ(ctrl().getState(), CVSTATE_CONNECTED);
  if (GetParam().act == 84) {
    EXPECT_TRUE(LogHas("act 84: body of "));
  }
}

INSTANTIATE_TEST_SUITE_P(Box, BodyStream, ::testing::ValuesIn(kStreams), RowName());

struct CodeCase {
  const char* name;
  QByteArray answer;
  int nty;
  int state;
  const char* reason;  // nullptr: no Reason key
};

const CodeCase kCodeCases[] = {
    {"Accepted", SimAnswer::Connected(4711, 0), CVNTY_CONNECTED, CVSTATE_CONNECTED, nullptr},
    {"WrongCode", SimAnswer::Code(4), CVNTY_CONNCODE_FAILED, CVSTATE_IDLE, "65"},
    {"OtherConnected", SimAnswer::Code(3), CVNTY_BOX_BUSY, CVSTATE_IDLE, "64"},
    {"OtherFailure", SimAnswer::Code(1), CVNTY_CONNECT_FAILED, CVSTATE_IDLE, nullptr},
    {"NoRspCode", "{}", CVNTY_CONNECT_FAILED, CVSTATE_IDLE, nullptr},
};

class CodeAnswer : public SessionFixture, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CodeAnswer, NotifiesAndSetsState) {
  const CodeCase& c = GetParam();
  Answer(2, SimAnswer::Connected(kSessionId, 1));
  ctrl().connectBox(BoxInfo());
  ASSERT_TRUE(WaitForNotes(1));
  ASSERT_EQ(recorder_.codes(), std::vector<int>{CVNTY_NEED_CONNCODE});
  // The session waits for the user: no heartbeat, no time-out.
  SetTimers(50, 50, 50);
  Settle(300);
  EXPECT_TRUE(box_->commandsWithAct(8).isEmpty());
  EXPECT_EQ(ctrl().getState(), CVSTATE_WAIT_CONNCODE);
  recorder_.clear();

  Answer(4, c.answer);
  ctrl().checkConnect("1234");
  ASSERT_TRUE(WaitForNotes(1));
  SetTimers(CTransCtrl::kHeartbeatMs, CTransCtrl::kHandshakeMs, CTransCtrl::kResponseMs);
  Settle(200);
  const std::vector<Note> notes = recorder_.notes();
  ASSERT_EQ(notes[0].nty, c.nty);
  EXPECT_EQ(ctrl().getState(), c.state);
  if (c.reason != nullptr)
    EXPECT_EQ(notes[0].params.at("Reason"), c.reason);
  else
    EXPECT_EQ(notes[0].params.count("Reason"), 0u);
  const QList<SimFrame> checks = box_->commandsWithAct(4);
  ASSERT_EQ(checks.size(), 1);
  EXPECT_EQ(BodyOf(checks[0]).value("ConnCode").toString(), "1234");
  EXPECT_EQ(BodyOf(checks[0]).value("SessionID").toInt(), kSessionId);
}

INSTANTIATE_TEST_SUITE_P(Box, CodeAnswer, ::testing::ValuesIn(kCodeCases), RowName());

TEST_F(SessionFixture, NothingListeningGivesOneUnreachable) {
  quint16 port = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    port = probe.serverPort();
  }
  BOX_INFO box = BoxInfo();
  box.port = port;
  ctrl().connectBox(box);
  ASSERT_TRUE(WaitForNotes(1, 12000));
  Settle(500);
  const std::vector<Note> notes = recorder_.notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].nty, CVNTY_UNREACHABLE);
  EXPECT_EQ(notes[0].params, (Params{{"Reason", "66"}, {"AutoReconn", "0"}}));
  EXPECT_EQ(ctrl().getState(), CVSTATE_IDLE);
}

TEST_F(SessionFixture, CancelWhileWaitingForTheCodeSendsCancelAndNotifiesNothing) {
  Answer(2, SimAnswer::Connected(kSessionId, 1));
  ctrl().connectBox(BoxInfo());
  ASSERT_TRUE(WaitForNotes(1));
  recorder_.clear();
  ctrl().cancelConnect();
  ASSERT_TRUE(WaitForCommand(3));
  EXPECT_EQ(BodyOf(box_->commandsWithAct(3)[0]).value("SessionID").toInt(), kSessionId);
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  Settle(200);
  EXPECT_TRUE(recorder_.notes().empty());
}

TEST_F(SessionFixture, DisconnectWhenConnectedSendsDisconnectAndNotifiesNothing) {
  ASSERT_TRUE(Connect());
  ctrl().disconnectBox();
  ASSERT_TRUE(WaitForCommand(5));
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  ASSERT_TRUE(WaitFor([this] { return box_->openSessions() == 0; }));
  Settle(200);
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_TRUE(box_->commandsWithAct(7).isEmpty());
}

TEST_F(SessionFixture, HostConnectOutsideIdleClosesTheOldSessionFirst) {
  ASSERT_TRUE(Connect());
  SimBox other{SimBoxConfig()};
  ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
  other.config().actReplies[2] = {SimActReply{SimActReply::Kind::Answer, SimAnswer::Connected(99, 0), -1}};
  BOX_INFO second = BoxInfo();
  second.port = other.tcpPort();
  ctrl().connectBox(second);
  ASSERT_TRUE(WaitForNotes(2));
  EXPECT_EQ(recorder_.codes(), (std::vector<int>{CVNTY_CONNECTED, CVNTY_ENC_PARAM_CHANGED}));
  ASSERT_TRUE(WaitFor([this] { return box_->openSessions() == 0; }));
  // The new box is greeted with a connect request, never with the old
  // session's reconnect.
  ASSERT_FALSE(other.commands().isEmpty());
  EXPECT_EQ(other.commands().first().act, 2);
  EXPECT_TRUE(other.commandsWithAct(8).isEmpty());
  EXPECT_EQ(ctrl().getCurBox().port, other.tcpPort());
  ctrl().disconnectBox();
  EXPECT_TRUE(WaitForState(CVSTATE_IDLE));
  EXPECT_TRUE(WaitFor([&] { return other.openSessions() == 0; }, 3000)) << "the box still holds a session";
}

struct EndCase {
  const char* name;
  int act;  // the box's request that ends the session; 8: a heartbeat answer
  QByteArray body;
  Params params;
};

const EndCase kEndCases[] = {
    {"BoxDisconnects", 80, R"({"Reason":16})", {{"Reason", "16"}, {"AutoReconn", "0"}}},
    {"BoxForgotTheSession", 8, R"({"SN":0,"RspCode":6})", {{"Reason", "67"}, {"AutoReconn", "1"}}},
    {"FrameRequestWithoutShare", 81, R"({"IFrame":1,"SN":1})", {{"Reason", "67"}, {"AutoReconn", "1"}}},
    {"StopAnswerWithoutStop", 7, "{}", {{"Reason", "67"}, {"AutoReconn", "1"}}},
};

class BoxEndsSession : public SessionFixture, public ::testing::WithParamInterface<EndCase> {};

TEST_P(BoxEndsSession, WithOneDisconnected) {
  const EndCase& c = GetParam();
  if (c.act == 8) {
    Answer(8, c.body);
    SetTimers(100, CTransCtrl::kHandshakeMs, CTransCtrl::kResponseMs);
  }
  ASSERT_TRUE(Connect());
  if (c.act != 8) box_->sendRequest(c.act, c.body);
  ASSERT_TRUE(WaitForNotes(1));
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  Settle(300);
  const std::vector<Note> notes = recorder_.notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].nty, CVNTY_DISCONNECTED);
  EXPECT_EQ(notes[0].params, c.params);
  EXPECT_TRUE(WaitFor([this] { return box_->openSessions() == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Box, BoxEndsSession, ::testing::ValuesIn(kEndCases), RowName());

TEST_F(SessionFixture, StartShareWhileWaitingForTheCodeFailsTheCode) {
  Answer(2, SimAnswer::Connected(kSessionId, 1));
  ctrl().connectBox(BoxInfo());
  ASSERT_TRUE(WaitForNotes(1));
  recorder_.clear();
  ctrl().startShare();
  ASSERT_TRUE(WaitForNotes(1));
  EXPECT_EQ(recorder_.notes()[0].nty, CVNTY_CONNCODE_FAILED);
  EXPECT_EQ(recorder_.notes()[0].params, (Params{{"Reason", "67"}, {"AutoReconn", "1"}}));
  EXPECT_TRUE(WaitForState(CVSTATE_IDLE));
}

struct SilenceCase {
  const char* name;
  int silentAct;
  int nty;
};

// The response time-out, shortened: the box never answers the request.
const SilenceCase kSilenceCases[] = {
    {"ConnectRequest", 2, CVNTY_UNREACHABLE},
    {"CodeCheck", 4, CVNTY_CONNCODE_FAILED},
    {"StartShare", 6, CVNTY_DISCONNECTED},
};

class SilentAnswer : public SessionFixture, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(SilentAnswer, TimesOutWithConnectionLost) {
  const SilenceCase& c = GetParam();
  SetTimers(CTransCtrl::kHeartbeatMs, CTransCtrl::kHandshakeMs, 400);
  if (c.silentAct == 2) {
    AnswerSilently(2);
    ctrl().connectBox(BoxInfo());
  } else if (c.silentAct == 4) {
    Answer(2, SimAnswer::Connected(kSessionId, 1));
    ctrl().connectBox(BoxInfo());
    ASSERT_TRUE(WaitForNotes(1));
    recorder_.clear();
    AnswerSilently(4);
    ctrl().checkConnect("0000");
  } else {
    ASSERT_TRUE(Connect());
    AnswerSilently(6);
    ctrl().startShare();
  }
  ASSERT_TRUE(WaitForNotes(1, 5000));
  ASSERT_TRUE(WaitForState(CVSTATE_IDLE));
  Settle(200);
  ASSERT_EQ(recorder_.notes().size(), 1u);
  EXPECT_EQ(recorder_.notes()[0].nty, c.nty);
  EXPECT_EQ(recorder_.notes()[0].params, (Params{{"Reason", "67"}, {"AutoReconn", "1"}}));
}

INSTANTIATE_TEST_SUITE_P(Box, SilentAnswer, ::testing::ValuesIn(kSilenceCases), RowName());

}  // namespace
