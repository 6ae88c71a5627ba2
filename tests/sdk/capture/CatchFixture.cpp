#include "CatchFixture.h"

#include <cstring>


#include "CodecSetup.h"
#include "EventWait.h"
#include "SdkLog.h"

void CatchFixture::SetUp() {
  SetSdkLogger(&log_);
  savedProfile_ = g_h264EncOpt.profile.load();
  savedKeyIntMs_ = g_h264EncOpt.iFrameMSecond.load();
  ASSERT_TRUE(screen_.ok()) << "no X display";
  ASSERT_TRUE(painter_.ok());
  ASSERT_TRUE(decoder_.ok()) << "no H.264 decoder in libavcodec";
  thread_ = std::make_unique<CatchThread>();
  QObject::connect(thread_.get(), &CatchThread::s_CatchRsp, &receiver_,
                   [this](const QByteArray& packet) { packets_.push_back(packet); });
  QObject::connect(thread_.get(), &CatchThread::s_CatchFailed, &receiver_, [this] { ++failures_; });
  thread_->start();
}

void CatchFixture::TearDown() {
  if (thread_) {
    emit thread_->s_StopCatch();
    thread_->quit();
    EXPECT_TRUE(thread_->wait(10000)) << "capture thread did not stop";
    thread_.reset();
  }
  screen_.ResetMonitors();
  g_h264EncOpt.profile.store(savedProfile_);
  g_h264EncOpt.iFrameMSecond.store(savedKeyIntMs_);
  SetSdkLogger(nullptr);
}

::testing::AssertionResult CatchFixture::UseMonitor(int width, int height) {
  if (screen_.width() < width || screen_.height() < height) {
    return ::testing::AssertionFailure() << "the X screen is " << screen_.width() << "x" << screen_.height()
                                         << ", this test needs at least " << width << "x" << height
                                         << " (run with XVFB_SCREEN=2560x1440x24)";
  }
  // The server refuses a second monitor on the output the first one holds.
  screen_.ResetMonitors();
  if (!screen_.SetMonitors({{"CATCHTEST", 0, 0, width, height, true}})) {
    return ::testing::AssertionFailure() << "the X server refused a " << width << "x" << height << " monitor";
  }
  return ::testing::AssertionSuccess();
}

CORVANESDK::SSCFG CatchFixture::FastCfg() const {
  CORVANESDK::SSCFG cfg;
  cfg.monitorID = 0;
  cfg.fps = 30;
  return cfg;
}

void CatchFixture::Configure(const CORVANESDK::SSCFG& cfg, short sharer) {
  emit thread_->s_CatchCfg(sharer, cfg);
}

void CatchFixture::Start(const CORVANESDK::SSCFG& cfg, short sharer) {
  Configure(cfg, sharer);
  emit thread_->s_StartCatch();
}

::testing::AssertionResult CatchFixture::Request(bool newFrame, int iFrame, Received* out) {
  const size_t before = packets_.size();
  const int failuresBefore = failures_;
  SCDoEnc job;
  job.bNewFrame = newFrame;
  job.sn = nextSn_++;
  job.iFrame = iFrame;
  emit thread_->s_DoEnc(job);
  if (!WaitFor([&] { return packets_.size() > before || failures_ > failuresBefore; }))
    return ::testing::AssertionFailure() << "no packet for sn " << job.sn;
  if (failures_ > failuresBefore) return ::testing::AssertionFailure() << "s_CatchFailed for sn " << job.sn;
  out->packet = ReadFramePacket(packets_.back());
  out->picture = LumaPicture();
  if (!out->packet.error.empty()) return ::testing::AssertionFailure() << out->packet.error;
  if (out->packet.sn != job.sn)
    return ::testing::AssertionFailure() << "sn " << out->packet.sn << ", asked " << job.sn;
  if (!out->packet.video.empty() && !decoder_.decodeLuma(out->packet.video, &out->picture))
    return ::testing::AssertionFailure() << "the decoder refused sn " << job.sn;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult CatchFixture::RequestUntil(
    bool newFrame, const std::function<bool(const Received&)>& pred, Received* out, int tries) {
  for (int i = 0; i < tries; ++i) {
    ::testing::AssertionResult got = Request(newFrame, 0, out);
    if (!got) return got;
    if (pred(*out)) return ::testing::AssertionSuccess();
    Settle(20);
  }
  return ::testing::AssertionFailure() << "condition not met within " << tries << " requests";
}

bool CatchFixture::WaitFor(const std::function<bool()>& done, int timeoutMs) {
  return ::WaitFor(done, timeoutMs);
}

void CatchFixture::Settle(int ms) { ::Settle(ms); }

std::vector<uint8_t> ExpectedLuma(int variant, QSize monitor, QSize fitted, QPoint offset,
                                  QSize target) {
  const std::vector<uint8_t> source = RootPainter::Pattern(variant, monitor.width(), monitor.height());
  std::vector<uint8_t> placed(static_cast<size_t>(fitted.width()) * fitted.height() * 4, 0);
  for (int y = 0; y < monitor.height(); ++y)
    memcpy(placed.data() + (static_cast<size_t>(y + offset.y()) * fitted.width() + offset.x()) * 4,
           source.data() + static_cast<size_t>(y) * monitor.width() * 4,
           static_cast<size_t>(monitor.width()) * 4);
  return ReferenceLuma(placed, fitted.width(), fitted.height(), target.width(), target.height());
}
