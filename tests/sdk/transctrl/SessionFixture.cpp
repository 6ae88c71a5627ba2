#include "SessionFixture.h"

#include "CodecSetup.h"
#include "EventWait.h"
#include "QtTestMain.h"
#include "SimFramePuller.h"
#include "TransCtrl.h"

using namespace CORVANESDK;

// The SDK's protocol thread reports through queued signals and the simulated
// box runs on this thread's event loop: the shared test main gives them the
// application object. The SDK's objects outlive main; they must not log into
// a sink that is gone by then.
const TestProgramHooks kHooks(
    [] {
      GetCorvaneSDK().init(&SessionFixture::Log(), nullptr);
      return true;
    },
    [] { GetCorvaneSDK().init(nullptr, nullptr); });

void NoteRecorder::onNetNfy(NET_NOTIFY nty, const std::map<std::string, std::string>& params) {
  Note note;
  note.nty = nty;
  note.params = params;
  note.stateThen = GetTransCtrlEngine().getState();
  note.captureStops = SessionFixture::CaptureStops();
  std::lock_guard<std::mutex> hold(lock_);
  notes_.push_back(note);
}

std::vector<Note> NoteRecorder::notes() {
  std::lock_guard<std::mutex> hold(lock_);
  return notes_;
}

std::vector<int> NoteRecorder::codes() {
  std::vector<int> codes;
  for (const Note& note : notes()) codes.push_back(note.nty);
  return codes;
}

void NoteRecorder::clear() {
  std::lock_guard<std::mutex> hold(lock_);
  notes_.clear();
}

RecordingLog& SessionFixture::Log() {
  static RecordingLog log;
  return log;
}

void SessionFixture::SetUp() {
  savedProfile_ = g_h264EncOpt.profile.load();
  savedKeyIntMs_ = g_h264EncOpt.iFrameMSecond.load();
  SetTimers(CTransCtrl::kHeartbeatMs, CTransCtrl::kHandshakeMs, CTransCtrl::kResponseMs);
  ctrl().setCallBack(&recorder_);
  ASSERT_EQ(ctrl().getState(), CVSTATE_IDLE) << "an earlier test left a session behind";
  box_ = std::make_unique<SimBox>(SimBoxConfig());
  ASSERT_TRUE(box_->listen(QHostAddress::LocalHost, 0));
  Answer(8, R"({"SN":1})");
  Answer(7, "{}");
}

void SessionFixture::TearDown() {
  // Every test leaves the SDK idle and quiet for the next one.
  if (ctrl().getState() != CVSTATE_IDLE) ctrl().disconnectBox();
  EXPECT_TRUE(WaitForState(CVSTATE_IDLE, 15000));
  box_->puller()->stop();
  // After a failed answer the SDK leaves the connection to the box: a session
  // still open after the wait is the box's to drop, not a failure.
  (void)WaitFor([this] { return box_->openSessions() == 0; }, 500);
  Settle(50);
  ctrl().setCallBack(nullptr);
  box_.reset();
  SetTimers(CTransCtrl::kHeartbeatMs, CTransCtrl::kHandshakeMs, CTransCtrl::kResponseMs);
  g_h264EncOpt.profile.store(savedProfile_);
  g_h264EncOpt.iFrameMSecond.store(savedKeyIntMs_);
}

BOX_INFO SessionFixture::BoxInfo() const {
  BOX_INFO box;
  box.ip = "127.0.0.1";
  box.port = box_->tcpPort();
  box.boxID = "SIM-0001";
  box.dispName = "Sim Room";
  return box;
}

void SessionFixture::Answer(int act, const QByteArray& body) {
  box_->config().actReplies[act] = {SimActReply{SimActReply::Kind::Answer, body, -1}};
}

void SessionFixture::AnswerSilently(int act) {
  box_->config().actReplies[act] = {SimActReply{SimActReply::Kind::Silent, {}, -1}};
}

bool SessionFixture::WaitFor(const std::function<bool()>& done, int timeoutMs) {
  return ::WaitFor(done, timeoutMs);
}

void SessionFixture::Settle(int ms) { ::Settle(ms); }

bool SessionFixture::WaitForState(int state, int timeoutMs) {
  return WaitFor([&] { return ctrl().getState() == state; }, timeoutMs);
}

bool SessionFixture::WaitForNotes(size_t count, int timeoutMs) {
  return WaitFor([&] { return recorder_.notes().size() >= count; }, timeoutMs);
}

bool SessionFixture::WaitForCommand(int act, int count, int timeoutMs) {
  return WaitFor([&] { return box_->commandsWithAct(act).size() >= count; }, timeoutMs);
}

::testing::AssertionResult SessionFixture::Connect() {
  Answer(2, SimAnswer::Connected(kSessionId, 0));
  ctrl().connectBox(BoxInfo());
  if (!WaitForNotes(2)) return ::testing::AssertionFailure() << "no CONNECTED and ENC_PARAM_CHANGED";
  if (recorder_.codes() != std::vector<int>{CVNTY_CONNECTED, CVNTY_ENC_PARAM_CHANGED})
    return ::testing::AssertionFailure() << "notifications " << ::testing::PrintToString(recorder_.codes());
  if (ctrl().getState() != CVSTATE_CONNECTED)
    return ::testing::AssertionFailure() << "state " << ctrl().getState();
  box_->puller()->setSessionId(kSessionId);
  recorder_.clear();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SessionFixture::ConnectAndShare(int sharer) {
  ::testing::AssertionResult connected = Connect();
  if (!connected) return connected;
  Answer(6, SimAnswer::Code(0, {{QStringLiteral("Sharer"), sharer}, {QStringLiteral("Backstage"), 1}}));
  ctrl().startShare();
  if (!WaitForNotes(1) || recorder_.codes() != std::vector<int>{CVNTY_SHARE_STARTED})
    return ::testing::AssertionFailure() << "notifications " << ::testing::PrintToString(recorder_.codes());
  if (ctrl().getState() != CVSTATE_SHARING) return ::testing::AssertionFailure() << "state " << ctrl().getState();
  recorder_.clear();
  return ::testing::AssertionSuccess();
}

void SessionFixture::SetTimers(int heartbeatMs, int handshakeMs, int responseMs) {
  static_cast<CTransCtrl&>(GetTransCtrlEngine()).setTimerLengths(heartbeatMs, handshakeMs, responseMs);
}

bool SessionFixture::LogHas(const std::string& prefix) {
  for (const RecordingLog::Line& line : Log().Lines())
    if (line.text.rfind(prefix, 0) == 0) return true;
  return false;
}

int SessionFixture::CaptureStops() {
  int count = 0;
  for (const RecordingLog::Line& line : Log().Lines())
    if (line.text == "capture stopped") ++count;
  return count;
}
