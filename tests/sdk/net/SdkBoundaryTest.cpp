#include <gtest/gtest.h>

#include <QHostAddress>
#include <QRegularExpression>

#include "BoxMgr.h"
#include "CodecSetup.h"
#include "CorvaneSDK.h"
#include "RecordingLog.h"
#include "SdkLog.h"
#include "SimFrame.h"
#include "RowName.h"

using namespace CORVANESDK;

namespace {

class NoSettings : public FWCfgger {
 public:
  bool setString(const QString&, const QString&, const QString&) override { return true; }
  void setInt(const QString&, int, const QString&) override {}
  QString getString(const QString&, const QString&) override { return QString(); }
  int getInt(const QString&, int defaultValue, const QString&) override { return defaultValue; }
  bool removeKey(const QString&, const QString&) override { return true; }
  bool removeSection(const QString&) override { return true; }
};

// The sink is process-wide: every test leaves the SDK silent again.
class SdkBoundary : public ::testing::Test {
 protected:
  void TearDown() override { GetCorvaneSDK().init(nullptr, nullptr); }
  RecordingLog log_;
  NoSettings cfg_;
};

TEST_F(SdkBoundary, InitReportsWhichPointersWereMissing) {
  struct Case {
    bool withLog;
    bool withCfg;
    int expected;
  };
  const Case cases[] = {{true, true, 0}, {true, false, 2}, {false, true, 1}, {false, false, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(GetCorvaneSDK().init(c.withLog ? &log_ : nullptr, c.withCfg ? &cfg_ : nullptr), c.expected)
        << "log " << c.withLog << " cfg " << c.withCfg;
  }
}

TEST_F(SdkBoundary, InitLogsThroughTheNewSinkAndSetsUpTheCodec) {
  ASSERT_EQ(GetCorvaneSDK().init(&log_, &cfg_), 0);
  const std::vector<RecordingLog::Line> lines = log_.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().text, "ICorvaneSDK init...");
  EXPECT_EQ(lines.front().module, "Corvane");
  EXPECT_EQ(lines.front().level, 0);
  EXPECT_EQ(vpu_codecThreadCap(), 4);
}

TEST_F(SdkBoundary, InitWithoutSinkSilencesTheEarlierOne) {
  ASSERT_EQ(GetCorvaneSDK().init(&log_, &cfg_), 0);
  const size_t before = log_.Lines().size();
  EXPECT_EQ(GetCorvaneSDK().init(nullptr, nullptr), 3);
  sdkLog("after init without a sink");
  EXPECT_EQ(log_.Lines().size(), before);
}

TEST_F(SdkBoundary, UninitOnlyLogs) {
  GetCorvaneSDK().init(&log_, &cfg_);
  GetCorvaneSDK().uninit();
  EXPECT_TRUE(log_.HasText("ICorvaneSDK uninit..."));
  sdkLogWarn("still %s", "logging");
  const RecordingLog::Line last = log_.Lines().back();
  EXPECT_EQ(last.text, "still logging");
  EXPECT_EQ(last.level, 2);
}

TEST_F(SdkBoundary, LogHelpersUseTheirModuleAndLevel) {
  GetCorvaneSDK().init(&log_, &cfg_);
  shareLogErr("capture failed %d/%d", 3, 4);
  const RecordingLog::Line last = log_.Lines().back();
  EXPECT_EQ(last.text, "capture failed 3/4");
  EXPECT_EQ(last.module, "ScreenShr");
  EXPECT_EQ(last.level, 3);
}

TEST(SdkExports, EachReturnsOneObject) {
  EXPECT_EQ(&GetCorvaneSDK(), &GetCorvaneSDK());
  EXPECT_EQ(&GetBoxSearchEngine(), &GetBoxSearchEngine());
  EXPECT_EQ(&GetTransCtrlEngine(), &GetTransCtrlEngine());
}

TEST(SdkVersion, ReadOnceAndSamePointerAfterwards) {
  const char* first = GetCorvaneSDK().getVersion();
  const char* second = GetCorvaneSDK().getVersion();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
#ifdef CORVANE_TEST_VERSION
  EXPECT_STREQ(first, CORVANE_TEST_VERSION);
#else
  const QString text = QString::fromUtf8(first);
  EXPECT_TRUE(text.isEmpty() || QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(text).hasMatch())
      << first;
#endif
}

TEST(TransCtrlEngine, ReadsWithoutASession) {
  ITransCtrl& ctrl = GetTransCtrlEngine();
  EXPECT_EQ(ctrl.getState(), CVSTATE_IDLE);
  EXPECT_TRUE(ctrl.getCurBox().ip.empty());
  g_h264EncOpt.iFrameMSecond = 0;
  EXPECT_EQ(ctrl.getIFrameMSecond(), 0);
  g_h264EncOpt.iFrameMSecond = 2500;
  EXPECT_EQ(ctrl.getIFrameMSecond(), 2500);
  g_h264EncOpt.iFrameMSecond = 0;
}

TEST(TransCtrlEngine, SetCaptureCfgLogsDefaultsBeforeAnyShare) {
  RecordingLog log;
  GetCorvaneSDK().init(&log, nullptr);
  SSCFG cfg;
  cfg.encodetype = 2;
  cfg.encSize = QSize(1280, 720);
  GetTransCtrlEngine().setCaptureCfg(cfg);
  GetTransCtrlEngine().setCallBack(nullptr);
  GetTransCtrlEngine().connectBox(BOX_INFO());
  GetCorvaneSDK().init(nullptr, nullptr);
  EXPECT_TRUE(log.HasText("setCaptureCfg sharer:-1, Backstage:0, encodetype:2, width:1280, height:720"));
  EXPECT_EQ(cfg.encSize, QSize(1280, 720));
}

struct AnswerCase {
  const char* name;
  QByteArray datagram;
  QHostAddress sender;
  bool isAnswer;
  QString ip, dispName, boxID;
  int attrCount;
};

std::vector<AnswerCase> AnswerCases() {
  const QHostAddress box(QStringLiteral("192.0.2.7"));
  const auto answer = [](const QByteArray& body) { return SimFrame{1, 1, true, body}.encode(); };
  return {
      {"NameIdAndExtras", answer(R"({"BoxID":"B-1","DispName":"Room 1","Model":"X2","Ver":3})"), box, true,
       "192.0.2.7", "Room 1", "B-1", 4},
      {"NotJson", answer("Room 1"), box, true, "192.0.2.7", "", "", 0},
      {"JsonArray", answer("[1,2]"), box, true, "192.0.2.7", "", "", 0},
      {"HeaderOnly", answer({}), box, true, "192.0.2.7", "", "", 0},
      {"NoBoxId", answer(R"({"DispName":"Lobby"})"), box, true, "192.0.2.7", "Lobby", "", 1},
      // Never handed to Qt's parser, which would leak the first value.
      {"RepeatedKey", answer(R"({"BoxID":"B-4","DispName":{"x":[1]},"DispName":"Room"})"), box, true, "192.0.2.7",
       "", "", 0},
      // Only the response bit counts: magic, length and act are not checked.
      {"WrongMagicStillAnswer", SimFrame::rawHeader(0, 999, 1, 0x8000) + R"({"BoxID":"B-2"})", box, true,
       "192.0.2.7", "", "B-2", 1},
      {"MappedSenderGivesDottedText", answer(R"({"BoxID":"B-3"})"), QHostAddress(QStringLiteral("::ffff:192.0.2.9")),
       true, "192.0.2.9", "", "B-3", 1},
      {"OwnRequest", SimFrame{1, 1, false, {}}.encode(), box, false, "", "", "", 0},
      {"ElevenBytes", answer({}).left(11), box, false, "", "", "", 0},
      {"Empty", QByteArray(), box, false, "", "", "", 0},
  };
}

class BoxAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(BoxAnswer, Parses) {
  const AnswerCase& c = GetParam();
  // Poisoned so that a field the parser forgets to write shows.
  MEETING_BOX_INFO info;
  info.ip = info.dispName = info.boxID = QStringLiteral("poison");
  info.attrs.insert(QStringLiteral("poison"), QStringLiteral("1"));
  ASSERT_EQ(BoxMgr::parseAnswer(c.datagram, c.sender, &info), c.isAnswer);
  if (!c.isAnswer) return;
  EXPECT_EQ(info.ip, c.ip);
  EXPECT_EQ(info.port, 5625);
  EXPECT_EQ(info.dispName, c.dispName);
  EXPECT_EQ(info.boxID, c.boxID);
  EXPECT_EQ(info.attrs.size(), c.attrCount);
}

INSTANTIATE_TEST_SUITE_P(Discovery, BoxAnswer, ::testing::ValuesIn(AnswerCases()), RowName());

TEST(BoxAnswerAttrs, KeepEveryKeyAsText) {
  MEETING_BOX_INFO info;
  ASSERT_TRUE(BoxMgr::parseAnswer(SimFrame{1, 1, true, R"({"BoxID":"B","Ver":3,"Pro":true})"}.encode(),
                                  QHostAddress(QStringLiteral("192.0.2.1")), &info));
  EXPECT_EQ(info.attrs.value("Ver"), "3");
  EXPECT_EQ(info.attrs.value("Pro"), "true");
  EXPECT_EQ(info.attrs.value("BoxID"), "B");
}

}  // namespace
