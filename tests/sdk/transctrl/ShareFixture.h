// A share against the simulated box, the SDK capturing an X server of the
// test's own: the box pulls frames, checks every response and decodes it.
#pragma once

#include <vector>

#include <QSize>

#include "LumaPicture.h"
#include "RootPainter.h"
#include "SessionFixture.h"
#include "SimFramePuller.h"
#include "XScreen.h"

constexpr double kMinPsnr = 32.0;

class Share : public SessionFixture {
 protected:
  void SetUp() override {
    SessionFixture::SetUp();
    ASSERT_TRUE(screen_.ok()) << "no X display";
    ASSERT_TRUE(painter_.ok());
    QObject::connect(box_->puller(), &SimFramePuller::frameReceived, box_.get(),
                     [this](const SimPulledFrame& frame) { frames_.push_back(frame); });
  }

  // Shares and hands the capture settings over once the box accepted, as a
  // host does.
  ::testing::AssertionResult StartSharing(int sharer = 3, QSize encSize = QSize(-1, -1)) {
    ::testing::AssertionResult shared = ConnectAndShare(sharer);
    if (!shared) return shared;
    CORVANESDK::SSCFG cfg;
    cfg.monitorID = 0;
    cfg.fps = 30;
    cfg.encSize = encSize;
    ctrl().setCaptureCfg(cfg);
    return ::testing::AssertionSuccess();
  }

  // One frame request; waits for its checked response.
  ::testing::AssertionResult Pull(bool key, SimPulledFrame* out) {
    const size_t before = frames_.size();
    if (!WaitFor([&] { return box_->puller()->request(key); }, 5000))
      return ::testing::AssertionFailure() << "a request is still out";
    if (!WaitFor([&] { return frames_.size() > before; }, 10000))
      return ::testing::AssertionFailure() << "no frame response";
    *out = frames_.back();
    if (!out->error.isEmpty()) return ::testing::AssertionFailure() << qPrintable(out->error);
    return ::testing::AssertionSuccess();
  }

  // Pulls until the decoded picture shows pattern `variant`.
  ::testing::AssertionResult PullPattern(int variant, SimPulledFrame* out, double* psnr) {
    *psnr = 0;
    for (int i = 0; i < 60; ++i) {
      ::testing::AssertionResult pulled = Pull(false, out);
      if (!pulled) return pulled;
      if (out->picture.y.empty()) continue;
      const std::vector<uint8_t> want = ReferenceLuma(RootPainter::Pattern(variant, screen_.width(), screen_.height()),
                                                      screen_.width(), screen_.height(), out->picture.width,
                                                      out->picture.height);
      *psnr = Psnr(out->picture.y, want);
      if (*psnr >= kMinPsnr) return ::testing::AssertionSuccess();
      Settle(30);
    }
    return ::testing::AssertionFailure() << "the picture never matched the screen, PSNR " << *psnr;
  }

  XScreen screen_;
  RootPainter painter_;
  std::vector<SimPulledFrame> frames_;
};
