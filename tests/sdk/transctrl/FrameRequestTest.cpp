// Frame requests of a box that keeps several out at once, and messages a box
// should not have sent, in the middle of a share.
#include <QSize>

#include "RowName.h"
#include "ShareFixture.h"
#include "TransCtrl.h"

using namespace CORVANESDK;

namespace {

// Small pictures: the tests count answers, and each answer is an encode.
const QSize kSmall(160, 90);

// Every answer the box checked is free of errors and answers the requests in
// the order they were asked.
::testing::AssertionResult AnsweredInOrder(const std::vector<SimPulledFrame>& frames) {
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!frames[i].error.isEmpty())
      return ::testing::AssertionFailure() << "answer " << i << ": " << qPrintable(frames[i].error);
    if (i > 0 && frames[i].requestSn != frames[i - 1].requestSn + 1)
      return ::testing::AssertionFailure() << "answer " << i << " for SN " << frames[i].requestSn << " after "
                                           << frames[i - 1].requestSn;
  }
  return ::testing::AssertionSuccess();
}

int PcRequests(SimBox& box, int act) {
  int count = 0;
  for (const SimFrame& command : box.commandsWithAct(act)) count += command.response ? 0 : 1;
  return count;
}

struct WindowCase {
  const char* name;
  int window;
};

const WindowCase kWindows[] = {{"One", 1}, {"Two", 2}, {"Four", 4}};

class RequestWindow : public Share, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(RequestWindow, EveryRequestGetsItsAnswerInOrder) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing(3, kSmall));
  SimFramePuller* puller = box_->puller();
  puller->setWindow(GetParam().window);
  ASSERT_TRUE(puller->request(true));
  puller->start(30);
  // Changing content, so that the frames are more than repeats.
  for (int i = 1; i <= 6; ++i) {
    Settle(200);
    ASSERT_TRUE(painter_.Paint(i % 3));
  }
  puller->stop();
  ASSERT_TRUE(WaitFor([&] { return !puller->outstanding(); })) << puller->outstandingCount() << " unanswered";
  EXPECT_GE(frames_.size(), 20u);
  EXPECT_TRUE(AnsweredInOrder(frames_));
  int decoded = 0;
  for (const SimPulledFrame& f : frames_) decoded += f.picture.y.empty() ? 0 : 1;
  EXPECT_EQ(decoded, static_cast<int>(frames_.size()));
  EXPECT_TRUE(recorder_.notes().empty());
}

INSTANTIATE_TEST_SUITE_P(Share, RequestWindow, ::testing::ValuesIn(kWindows), RowName());

TEST_F(Share, ABurstOfRequestsIsAnsweredInFullWhileHeartbeatsGoOn) {
  SetTimers(100, 3000, CTransCtrl::kResponseMs);
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing(3, kSmall));
  SimFramePuller* puller = box_->puller();
  constexpr int kBurst = 10000;
  puller->setWindow(kBurst);
  for (int i = 0; i < kBurst; ++i) ASSERT_TRUE(puller->request(i % 100 == 0));
  const int heartbeats = PcRequests(*box_, 8);
  ASSERT_TRUE(WaitFor([&] { return !puller->outstanding(); }, 120000))
      << frames_.size() << " answered, " << puller->outstandingCount() << " not";
  EXPECT_EQ(frames_.size(), static_cast<size_t>(kBurst));
  EXPECT_TRUE(AnsweredInOrder(frames_));
  EXPECT_GT(PcRequests(*box_, 8), heartbeats);
  EXPECT_EQ(box_->connectionsAccepted(), 1);
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_EQ(ctrl().getState(), CVSTATE_SHARING);
}

// A request that comes while the share stops has no capture to answer it;
// parked, it would be answered in the next share under its old SN.
TEST_F(Share, ARequestWhileStoppingIsNotAnsweredInTheNextShare) {
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing(3, kSmall));
  SimPulledFrame frame;
  ASSERT_TRUE(Pull(false, &frame));
  AnswerSilently(7);
  ctrl().stopShare();
  ASSERT_TRUE(WaitForState(CVSTATE_SHARE_STOPPING));
  box_->sendRequest(81, SimAnswer::Json({{QStringLiteral("IFrame"), 1}, {QStringLiteral("SN"), 777}}));
  // The box's answer to the stop; the act is all the host reads of it.
  box_->sendRequest(7, "{}");
  ASSERT_TRUE(WaitForState(CVSTATE_CONNECTED));
  recorder_.clear();
  ctrl().startShare();
  ASSERT_TRUE(WaitForState(CVSTATE_SHARING));
  SSCFG cfg;
  cfg.monitorID = 0;
  cfg.encSize = kSmall;
  ctrl().setCaptureCfg(cfg);
  const size_t before = frames_.size();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Pull(i == 0, &frame));
  Settle(200);
  // An answer under 777 would have come first and failed the box's check.
  ASSERT_EQ(frames_.size(), before + 3);
  for (size_t i = before; i < frames_.size(); ++i) {
    EXPECT_EQ(frames_[i].error, QString());
    EXPECT_NE(frames_[i].packet.sn, 777);
  }
}

QByteArray BigArray(int bytes) {
  QByteArray array = "[";
  array.reserve(bytes + 2);
  while (array.size() < bytes) array += "1,";
  return R"({"MaxWidth":1280,"a":)" + array + "1]}";
}

QByteArray DeepNesting(int depth) {
  return R"({"MaxWidth":1280,"a":)" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}";
}

QByteArray ManyKeys(int bytes) {
  QByteArray body = "{";
  body.reserve(bytes + 16);
  for (int i = 0; body.size() < bytes; ++i) body += "\"k" + QByteArray::number(i) + "\":0,";
  return body + R"("MaxWidth":1280})";
}

struct OddBodyCase {
  const char* name;
  int act;
  QByteArray body;
  const char* logged;  // the line the host logs for it
};

const OddBodyCase kOddBodies[] = {
    {"Array200K", 84, BigArray(200 * 1024), "act 84: body of "},
    {"Nesting100000", 84, DeepNesting(100000), "act 84: body of "},
    {"Keys16MiB", 84, ManyKeys(16 * 1024 * 1024 - 64), "act 84: body of "},
    {"RepeatedKeyParameters", 84, R"({"MaxWidth":1280,"MaxWidth":640})", "act 84: body of "},
    {"RepeatedKeyFrameRequest", 81, R"({"IFrame":0,"SN":5,"SN":6})", "act 81: body of "},
};

class OddBody : public Share, public ::testing::WithParamInterface<OddBodyCase> {};

// Read past or refused, the message goes as if it had not come: the share
// runs on over the same connection.
TEST_P(OddBody, IsSkippedAndTheShareGoesOn) {
  const OddBodyCase& c = GetParam();
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(StartSharing(3, kSmall));
  SimFramePuller* puller = box_->puller();
  puller->start(30);
  ASSERT_TRUE(WaitFor([&] { return frames_.size() >= 3; }));
  const size_t logBefore = Log().Lines().size();
  box_->sendRequest(c.act, c.body);
  const auto logged = [&] {
    const std::vector<RecordingLog::Line> lines = Log().Lines();
    int count = 0;
    for (size_t i = logBefore; i < lines.size(); ++i) count += lines[i].text.rfind(c.logged, 0) == 0 ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(WaitFor([&] { return logged() > 0; }, 20000));
  const size_t after = frames_.size();
  ASSERT_TRUE(WaitFor([&] { return frames_.size() >= after + 5; }));
  puller->stop();
  ASSERT_TRUE(WaitFor([&] { return !puller->outstanding(); }));
  EXPECT_EQ(logged(), 1);
  EXPECT_TRUE(AnsweredInOrder(frames_));
  EXPECT_TRUE(recorder_.notes().empty());
  EXPECT_EQ(box_->connectionsAccepted(), 1);
  EXPECT_EQ(ctrl().getState(), CVSTATE_SHARING);
  // Read as parameters, the body would have set the key-frame interval to 0.
  EXPECT_EQ(ctrl().getIFrameMSecond(), 4000);
}

INSTANTIATE_TEST_SUITE_P(Share, OddBody, ::testing::ValuesIn(kOddBodies), RowName());

}  // namespace
