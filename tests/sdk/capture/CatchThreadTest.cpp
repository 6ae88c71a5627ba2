#include <cstdlib>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "CatchFixture.h"
#include "CodecSetup.h"
#include "RowName.h"

namespace {

// x264 at the SDK's rate factor keeps these smooth patterns far above this;
// a picture shifted, stretched or padded wrongly falls far below it.
constexpr double kMinPsnr = 32.0;

struct GeometryCase {
  const char* name;
  QSize monitor;
  float aspect;
  QSize boxMax;
  QSize encSize;  // as the host asks; (-1, -1): the screen's
  QSize sent;     // the encoded picture size
  QSize fitted;   // the picture after black padding
  QPoint offset;  // where the monitor's picture sits in it
  QPoint cursor;
  QPoint cursorSent;
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

const GeometryCase kGeometryCases[] = {
    {"Screen1920x1080", {1920, 1080}, 0.0f, {1920, 1920}, {-1, -1}, {1920, 1080}, {1920, 1080},
     {0, 0}, {400, 300}, {400, 300}},
    {"Screen1280x720", {1280, 720}, 0.0f, {1920, 1920}, {-1, -1}, {1280, 720}, {1280, 720},
     {0, 0}, {1000, 700}, {1000, 700}},
    {"Screen2560x1440EncodedAt1920x1080", {2560, 1440}, 0.0f, {1920, 1920}, {-1, -1},
     {1920, 1080}, {2560, 1440}, {0, 0}, {2000, 1200}, {1500, 900}},
    {"Screen1366x768StretchedTo1376", {1366, 768}, 0.0f, {1920, 1920}, {-1, -1}, {1376, 768},
     {1366, 768}, {0, 0}, {683, 384}, {688, 387}},
    {"Screen1024x768PaddedTo16By9", {1024, 768}, 16.0f / 9.0f, {1920, 1920}, {-1, -1},
     {1376, 768}, {1376, 768}, {176, 0}, {100, 200}, {276, 200}},
    // 11 columns of padding: 5 left, 6 right, and the cursor moves 5 too.
    {"OddPaddingMovesCursorWithPicture", {1365, 768}, 16.0f / 9.0f, {1920, 1920}, {-1, -1},
     {1376, 768}, {1376, 768}, {5, 0}, {100, 100}, {105, 100}},
    {"AspectWithinToleranceChangesNothing", {1920, 1080}, 1.70f, {1920, 1920}, {-1, -1},
     {1920, 1080}, {1920, 1080}, {0, 0}, {10, 20}, {10, 20}},
    {"SmallBoxLimitsEncodedSize", {2560, 1440}, 0.0f, {1000, 1000}, {-1, -1}, {992, 568},
     {2560, 1440}, {0, 0}, {2000, 1200}, {775, 465}},
    {"HostEncSizeWithinBox", {1920, 1080}, 0.0f, {1920, 1920}, {1280, 720}, {1280, 720},
     {1920, 1080}, {0, 0}, {960, 540}, {640, 360}},
};

class CatchGeometryTest : public CatchFixture,
                          public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(CatchGeometryTest, PacketCarriesScreenAtEncodedSize) {
  const GeometryCase& c = GetParam();
  ASSERT_TRUE(UseMonitor(c.monitor.width(), c.monitor.height()));
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(screen_.MoveCursor(c.cursor.x(), c.cursor.y()));
  thread_->setBoxMaxSize(c.boxMax);
  thread_->setAspectRatio(c.aspect);
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.encSize = c.encSize;
  Start(cfg);

  Received first;
  ASSERT_TRUE(Request(true, 0, &first));
  const ReadPacket& p = first.packet;
  EXPECT_EQ(p.magic, 0x0101);
  EXPECT_EQ(p.sharer, kSharer);
  EXPECT_EQ(QSize(p.width, p.height), c.sent);
  EXPECT_EQ(p.pictureWord & ~0x7FFFFFu, 0x30000000u);
  // The first picture of an encoder is a key picture, asked for or not.
  EXPECT_TRUE(p.key);
  EXPECT_TRUE(first.picture.key);
  ASSERT_TRUE(p.hasCursor) << "the cursor moved from nowhere to the screen";
  EXPECT_EQ(QPoint(p.cursorX, p.cursorY), c.cursorSent);
  ASSERT_EQ(QSize(first.picture.width, first.picture.height), c.sent);
  const std::vector<uint8_t> expected = ExpectedLuma(0, c.monitor, c.fitted, c.offset, c.sent);
  EXPECT_GE(Psnr(first.picture.y, expected), kMinPsnr);

  Received second;
  ASSERT_TRUE(Request(true, 0, &second));
  EXPECT_FALSE(second.packet.key);
  EXPECT_FALSE(second.packet.hasCursor) << "the cursor did not move";
  EXPECT_EQ(QSize(second.packet.width, second.packet.height), c.sent);
  ASSERT_EQ(QSize(second.picture.width, second.picture.height), c.sent);
  EXPECT_GE(Psnr(second.picture.y, expected), kMinPsnr);
}

INSTANTIATE_TEST_SUITE_P(Capture, CatchGeometryTest, ::testing::ValuesIn(kGeometryCases), RowName());

using CatchThreadTest = CatchFixture;

TEST_F(CatchThreadTest, CursorRecordOnlyWhenMovedOrKeyFrameAsked) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(screen_.MoveCursor(100, 100));
  Start(FastCfg());

  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_TRUE(r.packet.hasCursor);
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(100, 100));
  ASSERT_TRUE(Request(true, 0, &r));
  EXPECT_FALSE(r.packet.hasCursor);
  EXPECT_FALSE(r.packet.key);

  ASSERT_TRUE(Request(true, 1, &r));
  EXPECT_TRUE(r.packet.key);
  EXPECT_TRUE(r.picture.key);
  ASSERT_TRUE(r.packet.hasCursor) << "a key frame carries the cursor";
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(100, 100));

  ASSERT_TRUE(screen_.MoveCursor(300, 200));
  ASSERT_TRUE(RequestUntil(true, [](const Received& got) { return got.packet.hasCursor; }, &r));
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(300, 200));
  EXPECT_FALSE(r.packet.key);
  ASSERT_TRUE(Request(true, 0, &r));
  EXPECT_FALSE(r.packet.hasCursor);
}

struct CursorTypeCase {
  const char* name;
  int cursorType;
  bool drawn;
};

void PrintTo(const CursorTypeCase& c, std::ostream* os) { *os << c.name; }

const CursorTypeCase kCursorTypeCases[] = {
    {"DrawnIntoPicture", 1, true},
    {"UnknownTypeNeitherDrawnNorSent", 2, false},
};

class CursorTypeTest : public CatchFixture, public ::testing::WithParamInterface<CursorTypeCase> {};

TEST_P(CursorTypeTest, NoCursorRecord) {
  const CursorTypeCase& c = GetParam();
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  const QPoint at(640, 360);
  ASSERT_TRUE(screen_.MoveCursor(at.x(), at.y()));
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.cursorType = c.cursorType;
  Start(cfg);

  Received r;
  ASSERT_TRUE(Request(true, 1, &r));
  EXPECT_FALSE(r.packet.hasCursor);
  ASSERT_EQ(QSize(r.picture.width, r.picture.height), QSize(1280, 720));
  // Compare a block around the hot spot: a drawn cursor changes it.
  const std::vector<uint8_t> expected =
      ExpectedLuma(0, QSize(1280, 720), QSize(1280, 720), QPoint(0, 0), QSize(1280, 720));
  std::vector<uint8_t> got, want;
  for (int y = at.y() - 12; y < at.y() + 12; ++y)
    for (int x = at.x() - 12; x < at.x() + 12; ++x) {
      got.push_back(r.picture.y[static_cast<size_t>(y) * 1280 + x]);
      want.push_back(expected[static_cast<size_t>(y) * 1280 + x]);
    }
  if (c.drawn)
    EXPECT_LT(Psnr(got, want), 25.0) << "no cursor in the picture";
  else
    EXPECT_GE(Psnr(got, want), kMinPsnr);

  ASSERT_TRUE(screen_.MoveCursor(200, 100));
  for (int i = 0; i < 5; ++i) {
    Settle(40);
    ASSERT_TRUE(Request(true, 0, &r));
    EXPECT_FALSE(r.packet.hasCursor);
  }
}

INSTANTIATE_TEST_SUITE_P(Capture, CursorTypeTest, ::testing::ValuesIn(kCursorTypeCases), RowName());

TEST_F(CatchThreadTest, PausedStateReencodesLastSentPicture) {
  const QSize size(1280, 720);
  ASSERT_TRUE(UseMonitor(size.width(), size.height()));
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(screen_.MoveCursor(50, 60));
  Start(FastCfg());
  const auto before = ExpectedLuma(0, size, size, QPoint(0, 0), size);
  const auto after = ExpectedLuma(1, size, size, QPoint(0, 0), size);

  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_GE(Psnr(r.picture.y, before), kMinPsnr);

  // The screen changes and is captured several times while the box pauses.
  ASSERT_TRUE(painter_.Paint(1));
  Settle(300);
  ASSERT_TRUE(Request(false, 0, &r));
  EXPECT_GE(Psnr(r.picture.y, before), kMinPsnr) << "paused, yet the newest picture was sent";
  EXPECT_FALSE(r.packet.hasCursor);
  ASSERT_TRUE(Request(false, 1, &r));
  EXPECT_TRUE(r.packet.key);
  EXPECT_TRUE(r.picture.key);
  ASSERT_TRUE(r.packet.hasCursor);
  EXPECT_EQ(QPoint(r.packet.cursorX, r.packet.cursorY), QPoint(50, 60));
  EXPECT_GE(Psnr(r.picture.y, before), kMinPsnr);

  ASSERT_TRUE(RequestUntil(true, [&](const Received& got) { return Psnr(got.picture.y, after) >= kMinPsnr; }, &r));
}

TEST_F(CatchThreadTest, MissingMonitorFailsConfigurationAndTicksLog) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.monitorID = 5;
  Start(cfg);
  ASSERT_TRUE(WaitFor([&] { return failures_ == 1; }));
  EXPECT_TRUE(log_.Has(2, "SetCurMonitor(5) failed!"));
  EXPECT_TRUE(log_.Has(0, "Set ScreenShare Cfg, monitorID:5,cursorType:0,fps:30,kbps:2000,"
                          "h264crf:22,encSize:-1x-1"));
  ASSERT_TRUE(WaitFor([&] { return log_.Has(2, "Cach ScreenDIB failed! (err:10)"); }));

  // No picture can come, so the request waits and retries.
  SCDoEnc job;
  job.bNewFrame = true;
  job.sn = 41;
  emit thread_->s_DoEnc(job);
  Settle(300);
  EXPECT_TRUE(packets_.empty());
  EXPECT_EQ(failures_, 1);

  // A usable configuration lets the waiting request through.
  Configure(FastCfg());
  ASSERT_TRUE(WaitFor([&] { return !packets_.empty(); }));
  const ReadPacket p = ReadFramePacket(packets_.front());
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.sn, 41);
  EXPECT_EQ(QSize(p.width, p.height), QSize(1280, 720));
  EXPECT_EQ(failures_, 1);
}

TEST_F(CatchThreadTest, RequestBeforeSettingsIsAnsweredOnceTheyArrive) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  SCDoEnc job;
  job.bNewFrame = true;
  job.sn = 5;
  emit thread_->s_DoEnc(job);
  Settle(200);
  EXPECT_TRUE(packets_.empty());
  Start(FastCfg());
  ASSERT_TRUE(WaitFor([this] { return !packets_.empty(); }));
  Settle(200);
  ASSERT_EQ(packets_.size(), 1u);
  EXPECT_EQ(failures_, 0);

  // A stop drops a request that still waits for the settings.
  emit thread_->s_StopCatch();
  emit thread_->s_DoEnc(job);
  Settle(300);
  emit thread_->s_StopCatch();
  Start(FastCfg());
  Settle(300);
  EXPECT_EQ(packets_.size(), 1u);
  EXPECT_EQ(failures_, 0);
}

TEST_F(CatchThreadTest, StopCancelsWaitingRequest) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  CORVANESDK::SSCFG cfg = FastCfg();
  Configure(cfg);  // a capturer, but no capture timer yet: no picture
  SCDoEnc job;
  job.bNewFrame = true;
  job.sn = 9;
  emit thread_->s_DoEnc(job);
  Settle(200);
  emit thread_->s_StopCatch();
  Configure(cfg);
  emit thread_->s_StartCatch();
  Settle(400);
  EXPECT_TRUE(packets_.empty()) << "the stop should have ended the retries";
}

struct FpsCase {
  const char* name;
  int fps;
};

void PrintTo(const FpsCase& c, std::ostream* os) { *os << c.name; }

const FpsCase kBadFpsCases[] = {{"Zero", 0}, {"Negative", -3}};

class BadFrameRateTest : public CatchFixture, public ::testing::WithParamInterface<FpsCase> {};

TEST_P(BadFrameRateTest, CapturesAtDefaultRate) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.fps = GetParam().fps;
  Start(cfg);
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  EXPECT_EQ(QSize(r.picture.width, r.picture.height), QSize(1280, 720));
  EXPECT_TRUE(log_.Has(2, "frame rate " + std::to_string(GetParam().fps) + ", capturing at 12"));
}

INSTANTIATE_TEST_SUITE_P(Capture, BadFrameRateTest, ::testing::ValuesIn(kBadFpsCases), RowName());

TEST_F(CatchThreadTest, NewConfigurationReopensEncoderAndTakesSharer) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  Start(FastCfg());
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_FALSE(r.packet.key);

  Configure(FastCfg(), -3);
  ASSERT_TRUE(Request(true, 0, &r));
  EXPECT_EQ(r.packet.sharer, -3);
  EXPECT_TRUE(r.packet.key) << "a new configuration starts a new encoder";
  EXPECT_TRUE(r.picture.key);
}

TEST_F(CatchThreadTest, PictureSizeChangeReopensEncoder) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  Start(FastCfg());
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_FALSE(r.packet.key);

  // Between taking the old monitor away and adding the new one, a tick may
  // capture the whole screen, which scales to the same encoded size: the
  // first packet at the new size must be a key frame, and the pictures that
  // follow show the new monitor.
  ASSERT_TRUE(UseMonitor(1920, 1080));
  const std::vector<uint8_t> expected = ExpectedLuma(0, {1920, 1080}, {1920, 1080}, {0, 0}, {1920, 1080});
  int atNewSize = 0;
  bool firstKey = false;
  ASSERT_TRUE(RequestUntil(true, [&](const Received& got) {
    if (got.packet.width != 1920) return false;
    if (atNewSize++ == 0) firstKey = got.packet.key;
    return Psnr(got.picture.y, expected) >= kMinPsnr;
  }, &r));
  EXPECT_EQ(QSize(r.picture.width, r.picture.height), QSize(1920, 1080));
  EXPECT_TRUE(firstKey) << "the first packet at the new size starts a new encoder";
}

struct ProfileCase {
  const char* name;
  int index;
  int profileIdc;
};

void PrintTo(const ProfileCase& c, std::ostream* os) { *os << c.name; }

// x264 writes the lowest profile the stream needs within the one asked for:
// 8-bit 4:2:0 under "high444" comes out as High.
const ProfileCase kProfileCases[] = {
    {"Baseline", 0, 66},          {"Main", 1, 77},          {"High", 2, 100},
    {"High444ByDefault", 5, 100}, {"ClampedBelow", -3, 66}, {"ClampedAbove", 9, 100}};

class OptionRecordProfileTest : public CatchFixture,
                                public ::testing::WithParamInterface<ProfileCase> {};

TEST_P(OptionRecordProfileTest, EncoderOpensWithBoxProfile) {
  g_h264EncOpt.profile.store(GetParam().index);
  ASSERT_TRUE(UseMonitor(1280, 720));
  Start(FastCfg());
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  // The low byte is profile_idc; libavcodec adds constraint flags above it.
  EXPECT_EQ(decoder_.profile() & 0xFF, GetParam().profileIdc);
}

INSTANTIATE_TEST_SUITE_P(Capture, OptionRecordProfileTest, ::testing::ValuesIn(kProfileCases), RowName());

struct KeyIntervalCase {
  const char* name;
  int iFrameMSecond;
  bool keyWithin14;  // at 12 fps
};

void PrintTo(const KeyIntervalCase& c, std::ostream* os) { *os << c.name; }

const KeyIntervalCase kKeyIntervalCases[] = {
    {"BoxSecondGivesKeyEvery12", 1000, true},
    {"NoneFromBoxGivesAnHour", 0, false},
};

class OptionRecordKeyIntervalTest : public CatchFixture,
                                    public ::testing::WithParamInterface<KeyIntervalCase> {};

TEST_P(OptionRecordKeyIntervalTest, UnaskedKeyFrames) {
  g_h264EncOpt.iFrameMSecond.store(GetParam().iFrameMSecond);
  ASSERT_TRUE(UseMonitor(640, 480));
  ASSERT_TRUE(painter_.Paint(0));
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.fps = 12;
  Start(cfg);
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_TRUE(r.packet.key);
  int unaskedKeys = 0;
  for (int i = 1; i < 14; ++i) {
    ASSERT_TRUE(Request(true, 0, &r));
    if (r.packet.key) ++unaskedKeys;
  }
  EXPECT_EQ(unaskedKeys > 0, GetParam().keyWithin14);
}

INSTANTIATE_TEST_SUITE_P(Capture, OptionRecordKeyIntervalTest,
                         ::testing::ValuesIn(kKeyIntervalCases), RowName());

}  // namespace

namespace {

TEST_F(CatchThreadTest, QuitWithoutStopThenFreshThreadWorks) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  Start(FastCfg());
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  // The way the controller ends when it is destroyed mid-share: no stop first.
  thread_->quit();
  ASSERT_TRUE(thread_->wait(10000));
  thread_.reset();

  // A new thread works as the first one did.
  thread_ = std::make_unique<CatchThread>();
  QObject::connect(thread_.get(), &CatchThread::s_CatchRsp, &receiver_,
                   [this](const QByteArray& packet) { packets_.push_back(packet); });
  thread_->start();
  H264Decoder fresh;
  Start(FastCfg());
  SCDoEnc job;
  job.bNewFrame = true;
  job.sn = 77;
  emit thread_->s_DoEnc(job);
  ASSERT_TRUE(WaitFor([&] { return packets_.size() == 2; }));
  const ReadPacket p = ReadFramePacket(packets_.back());
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.sn, 77);
  LumaPicture picture;
  ASSERT_TRUE(fresh.decodeLuma(p.video, &picture));
  EXPECT_EQ(QSize(picture.width, picture.height), QSize(1280, 720));
}

}  // namespace

namespace {

TEST_F(CatchThreadTest, PictureLargerThanPacketGoesAsEmptyVideoRecord) {
  ASSERT_TRUE(UseMonitor(640, 480));
  ASSERT_TRUE(painter_.Paint(-1));
  ASSERT_TRUE(screen_.MoveCursor(10, 10));
  CORVANESDK::SSCFG cfg = FastCfg();
  // Near-lossless noise is larger than the 640x480 + 1024 byte packet.
  cfg.h264crf = 1;
  cfg.kbps = 200000;
  Start(cfg);
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  EXPECT_TRUE(r.packet.video.empty());
  EXPECT_FALSE(r.packet.key);
  EXPECT_TRUE(r.packet.hasCursor);
  EXPECT_EQ(failures_, 0);

  // The box never got that picture, so the next one has to stand alone.
  ASSERT_TRUE(painter_.Paint(0));
  ASSERT_TRUE(RequestUntil(true, [](const Received& got) { return !got.packet.video.empty(); }, &r));
  EXPECT_TRUE(r.packet.key);
  EXPECT_TRUE(r.picture.key);
  // A capture tick may have caught the screen half repainted; the pictures
  // that follow the key picture must settle on the new screen.
  const std::vector<uint8_t> expected = ExpectedLuma(0, {640, 480}, {640, 480}, {0, 0}, {640, 480});
  ASSERT_TRUE(RequestUntil(true, [&](const Received& got) { return Psnr(got.picture.y, expected) >= 32.0; }, &r));
}

}  // namespace
