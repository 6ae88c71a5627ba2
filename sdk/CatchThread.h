// The SDK's capture-and-encode worker: keeps the newest picture of the shared
// screen ready at the configured frame rate, and turns it into one frame
// packet per frame request of the box.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QMetaType>
#include <QMutex>
#include <QPoint>
#include <QSize>
#include <QString>

#include "CorvaneSDK.h"
#include "EncH264.h"
#include "FrameRecycler.h"
#include "NamedThread.h"
#include "VideoFrame.h"

class CScreenInfo;
class QTimer;

// One frame request of the box, as an encode job.
struct SCDoEnc {
  bool bNewFrame = false;  // sharing: the newest picture; paused: the last sent one
  int sn = 0;
  int iFrame = 0;  // 1: the box asked for a key frame
};
Q_DECLARE_METATYPE(SCDoEnc)

// One picture with the mouse position in the picture's own coordinates.
struct CatchFrame {
  VideoFrame pic;
  QPoint cursorPos{-1, -1};

  void clear() {
    pic = VideoFrame();
    cursorPos = QPoint(-1, -1);
  }
};

class CatchThread : public QNamedThread {
  Q_OBJECT

 public:
  CatchThread();
  ~CatchThread() override;

  // Called on the protocol thread. The size takes effect at the next
  // configuration, the ratio at the next captured picture.
  void setBoxMaxSize(const QSize& size);
  void setAspectRatio(float ratio);
  QSize boxMaxSize() const;

  // The encoded size for a requested one: a side that is not positive or is
  // above the box maximum becomes 1920, or the box maximum when that is
  // smaller.
  static QSize encSize(const QSize& requested, const QSize& boxMax);
  // The picture size after the aspect fit (ratio above 0.001), rounded up to
  // multiples of 16 x 8; the picture size itself when no fit applies.
  static QSize fittedSize(const QSize& pic, float ratio);
  // The size a picture is encoded at: rounded up to multiples of 16 x 8, and
  // scaled into enc keeping its shape where it does not fit.
  static QSize targetSize(const QSize& pic, const QSize& enc);
  static QString cfgToString(const CORVANESDK::SSCFG& cfg);

  // Hands a frame request to the capture thread; any thread, and what
  // s_DoEnc does. The protocol thread keeps one job here at a time and hands
  // over the next once this one is answered, so requests wait there, where
  // they cost their SN only, and a stop never waits behind a queue of them.
  // A job handed over while one waits takes its place.
  void postJob(const SCDoEnc& job);
  // Drops the job that waits: a stop must not wait behind encoding it.
  void dropPendingJob();

 signals:
  void s_StartCatch();
  void s_StopCatch();
  void s_CatchCfg(short sharer, CORVANESDK::SSCFG cfg);
  void s_DoEnc(SCDoEnc job);

  void s_CatchRsp(QByteArray rslt);
  void s_CatchFailed();

 private slots:
  void slot_startCatch();
  void slot_StopCatch();
  void slot_CatchCfg(short sharer, CORVANESDK::SSCFG cfg);
  void slot_takeJob();
  void slot_DoEnc(SCDoEnc job);
  void slot_DoEnc();
  void slot_CatchScrn();

 protected:
  void onThreadEnd() override;

 private:
  bool applyCatchCfg(const CORVANESDK::SSCFG& cfg);
  void resetCatch();
  int catchScreen(CatchFrame& frame);
  // The cursor relative to the capture rectangle; pos stays when unknown.
  void readCursor(QPoint& pos) const;
  void setLatestFrame(const CatchFrame& frame);
  void padToFitted(CatchFrame& f, const QSize& fitted);
  void scaleIntoTarget(CatchFrame& f, const QSize& fitted, const QSize& target);
  int encodeFrame(const CatchFrame& frame, int sn, QByteArray& packet);
  int packFrame(const CatchFrame& frame, int sn, QByteArray& packet);
  void openEncH264(int width, int height);
  int frameRate() const;

  // Width in the high half, height in the low one: the pair is read whole.
  std::atomic<uint64_t> m_boxMaxSize;
  short m_sharer = 0;
  CORVANESDK::SSCFG m_cfg;
  std::unique_ptr<CScreenInfo> m_screen;
  SCDoEnc m_job;
  // The frame request that waits for the capture thread; guarded by
  // m_jobMutex, as it is written from the protocol thread.
  QMutex m_jobMutex;
  SCDoEnc m_pendingJob;
  bool m_hasPendingJob = false;
  // A frame request that came before the capture settings: the box asks for
  // one frame at a time, so it is answered once the settings arrive.
  bool m_jobWaitsForCfg = false;
  QTimer* m_retryTimer;
  std::atomic<float> m_aspectRatio{0.0f};
  QTimer* m_catchTimer;
  QMutex m_frameMutex;
  CatchFrame m_latestFrame;
  CatchFrame m_lastSentFrame;
  // Capture thread only.
  FrameRecycler m_recycler;
  // What the newest picture was converted with: a still screen keeps it
  // while these hold.
  QPoint m_convertedCursor;
  float m_convertedRatio = 0.0f;
  VPUEncoderPtr m_encoder;
};
