// A running capture thread on an X screen the test paints, driven through its
// signals as the connection controller drives it, with a decoder as the box.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QObject>

#include "CatchThread.h"
#include "H264Decoder.h"
#include "LumaPicture.h"
#include "PacketReader.h"
#include "QtPrinters.h"
#include "RecordingLog.h"
#include "RootPainter.h"
#include "XScreen.h"

// What a box makes of one frame response.
struct Received {
  ReadPacket packet;
  LumaPicture picture;  // empty when the video record was
};

class CatchFixture : public ::testing::Test {
 protected:
  static constexpr short kSharer = 7;

  void SetUp() override;
  void TearDown() override;

  // One monitor of this size at the screen's origin, primary.
  // Fails, naming the screen size needed, when the X screen is smaller than
  // the monitor: a capture would read black past the root's edge.
  ::testing::AssertionResult UseMonitor(int width, int height);
  CORVANESDK::SSCFG FastCfg() const;
  void Configure(const CORVANESDK::SSCFG& cfg, short sharer = kSharer);
  void Start(const CORVANESDK::SSCFG& cfg, short sharer = kSharer);
  // Sends one frame request and waits for its packet; fails on a failure
  // signal, a malformed packet or a video record the decoder refuses.
  ::testing::AssertionResult Request(bool newFrame, int iFrame, Received* out);
  // Requests until pred holds for a packet; at most `tries` requests.
  ::testing::AssertionResult RequestUntil(bool newFrame, const std::function<bool(const Received&)>& pred,
                                          Received* out, int tries = 100);
  // Runs the event loop until done() or the deadline.
  static bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);
  static void Settle(int ms);

  RecordingLog log_;
  XScreen screen_;
  RootPainter painter_;
  H264Decoder decoder_;
  std::unique_ptr<CatchThread> thread_;
  QObject receiver_;
  std::vector<QByteArray> packets_;
  int failures_ = 0;
  int nextSn_ = 100;

 private:
  int savedProfile_ = 5;
  int savedKeyIntMs_ = 0;
};

// Luma of pattern `variant` as the capture thread should send it: the
// monitor's picture placed at `offset` on black `fitted`, scaled to `target`.
std::vector<uint8_t> ExpectedLuma(int variant, QSize monitor, QSize fitted, QPoint offset,
                                  QSize target);
