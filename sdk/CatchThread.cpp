#include "CatchThread.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <list>
#include <set>

#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>

#include <platform/User.h>

#include "CodecSetup.h"
#include "FramePacket.h"
#include "ScreenInfo.h"
#include "SdkLog.h"

static constexpr int kDefaultSide = 1920;
static constexpr int kDefaultFps = 12;
static constexpr int kRetryMs = 50;
// A box that sends no key-frame interval gets one key frame an hour.
static constexpr int kDefaultKeyIntMs = 3600000;
// Excluded parts of the capture rectangle: RGB(204, 232, 207).
static constexpr COLORREF kFillColor = 0xCFE8CC;

static uint64_t PackSize(const QSize& size) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(size.width())) << 32) |
         static_cast<uint32_t>(size.height());
}

static QSize UnpackSize(uint64_t packed) {
  return QSize(static_cast<int>(static_cast<uint32_t>(packed >> 32)),
               static_cast<int>(static_cast<uint32_t>(packed)));
}

static int RoundUp(int value, int step) { return (value + step - 1) / step * step; }

// Rounds up to a multiple of step without passing limit; where the multiple
// above would pass it, the one below is taken, and never less than one step.
static int RoundWithin(int value, int step, int limit) {
  const int up = RoundUp(value, step);
  if (up <= limit) return up;
  return std::max(step, limit / step * step);
}

// x + width in 64 bits: the host's rectangle may sit anywhere.
static LONG RightEdge(int origin, int extent) {
  const int64_t edge = static_cast<int64_t>(origin) + extent;
  return static_cast<LONG>(std::clamp<int64_t>(edge, INT_MIN, INT_MAX));
}

static QString HandleText(HWND window) {
  return QStringLiteral("0x%1,").arg(reinterpret_cast<quintptr>(window), 0, 16);
}

CatchThread::CatchThread()
    : QNamedThread(nullptr),
      m_boxMaxSize(PackSize(QSize(kDefaultSide, kDefaultSide))),
      m_retryTimer(new QTimer(this)),
      m_catchTimer(new QTimer(this)) {
  qRegisterMetaType<CORVANESDK::SSCFG>("CORVANESDK::SSCFG");
  qRegisterMetaType<SCDoEnc>("SCDoEnc");
  setObjectName(QStringLiteral("CatchThread"));
  // The timers are children, so they follow the object onto its own thread:
  // every slot, tick and retry then runs there, one at a time.
  moveToThread(this);
  m_retryTimer->setSingleShot(true);
  connect(m_catchTimer, &QTimer::timeout, this, &CatchThread::slot_CatchScrn);
  connect(m_retryTimer, &QTimer::timeout, this, qOverload<>(&CatchThread::slot_DoEnc));
  connect(this, &CatchThread::s_StartCatch, this, &CatchThread::slot_startCatch);
  connect(this, &CatchThread::s_StopCatch, this, &CatchThread::slot_StopCatch);
  connect(this, &CatchThread::s_CatchCfg, this, &CatchThread::slot_CatchCfg);
  // Direct: the job is parked at once on the emitting thread, so that the
  // capture thread's queue never holds more than one of them.
  connect(this, &CatchThread::s_DoEnc, this, [this](SCDoEnc job) { postJob(job); }, Qt::DirectConnection);
}

CatchThread::~CatchThread() {
  // QThread aborts the process when destroyed while running.
  quit();
  wait();
  m_screen.reset();
  m_encoder.reset();
}

void CatchThread::onThreadEnd() {
  // Timers can only be stopped on their own thread, and this is its last
  // moment; later they would warn from the destructor.
  m_catchTimer->stop();
  m_retryTimer->stop();
}

void CatchThread::setBoxMaxSize(const QSize& size) {
  const QSize limited(std::min(size.width(), kDefaultSide), std::min(size.height(), kDefaultSide));
  m_boxMaxSize.store(PackSize(limited));
}

void CatchThread::setAspectRatio(float ratio) { m_aspectRatio.store(ratio); }

QSize CatchThread::boxMaxSize() const { return UnpackSize(m_boxMaxSize.load()); }

// A box maximum below 1920 caps the fallback too: a frame larger than the box
// accepts would not be shown.
static int EncSide(int requested, int boxMax) {
  const int fallback = boxMax > 0 ? std::min(kDefaultSide, boxMax) : kDefaultSide;
  if (requested < 1) return fallback;
  if (boxMax > 0 && requested > boxMax) return fallback;
  return requested;
}

QSize CatchThread::encSize(const QSize& requested, const QSize& boxMax) {
  return QSize(EncSide(requested.width(), boxMax.width()),
               EncSide(requested.height(), boxMax.height()));
}

QSize CatchThread::fittedSize(const QSize& pic, float ratio) {
  if (!(ratio > 0.001f)) return pic;
  int width = pic.width();
  int height = pic.height();
  vpu_aspectFit(width, height, ratio);
  return QSize(RoundUp(width, 16), RoundUp(height, 8));
}

QSize CatchThread::targetSize(const QSize& pic, const QSize& enc) {
  QSize target(RoundUp(pic.width(), 16), RoundUp(pic.height(), 8));
  if (target.width() <= enc.width() && target.height() <= enc.height()) return target;
  const QSize scaled = target.scaled(enc, Qt::KeepAspectRatio);
  return QSize(RoundWithin(scaled.width(), 16, enc.width()),
               RoundWithin(scaled.height(), 8, enc.height()));
}

QString CatchThread::cfgToString(const CORVANESDK::SSCFG& cfg) {
  QString text = QStringLiteral("monitorID:%1,").arg(cfg.monitorID);
  if (!cfg.catchRt.empty()) {
    text += QStringLiteral("catchRt:");
    for (const CORVANESDK::SSRECT& r : cfg.catchRt)
      text += QStringLiteral("%1.%2-%3x%4,").arg(r.x).arg(r.y).arg(r.width).arg(r.height);
  }
  if (!cfg.catchWnd.empty()) {
    text += QStringLiteral("catchWnd:");
    for (HWND window : cfg.catchWnd) text += HandleText(window);
  }
  if (!cfg.catchWndPro.empty()) {
    text += QStringLiteral("catchWndPro:");
    for (HWND window : cfg.catchWndPro) text += HandleText(window);
  }
  text += QStringLiteral("cursorType:%1,fps:%2,kbps:%3,h264crf:%4,encSize:%5x%6")
              .arg(cfg.cursorType)
              .arg(cfg.fps)
              .arg(cfg.kbps)
              .arg(cfg.h264crf)
              .arg(cfg.encSize.width())
              .arg(cfg.encSize.height());
  return text;
}

void CatchThread::slot_CatchCfg(short sharer, CORVANESDK::SSCFG cfg) {
  shareLog("Set ScreenShare Cfg, %s", cfgToString(cfg).toLocal8Bit().constData());
  resetCatch();
  if (!applyCatchCfg(cfg)) {
    emit s_CatchFailed();
    return;
  }
  m_sharer = sharer;
  if (m_jobWaitsForCfg) {
    m_jobWaitsForCfg = false;
    slot_DoEnc();
  }
}

bool CatchThread::applyCatchCfg(const CORVANESDK::SSCFG& cfg) {
  m_screen = std::make_unique<CScreenInfo>(cfg.monitorID);
  // The capturer stays: its ticks then log why nothing is captured.
  if (!m_screen->IsMonitorValid()) {
    shareLogWarn("SetCurMonitor(%d) failed!", cfg.monitorID);
    return false;
  }
  m_screen->SetDrawCursor(cfg.cursorType == 1);
  m_screen->SetSkipUnchanged(true);
  CatchAreaCfg& area = m_screen->GetCatchAreaCfg();
  area.SetFillColor(kFillColor);
  if (!cfg.catchRt.empty()) {
    std::list<RECT> areas;
    for (const CORVANESDK::SSRECT& r : cfg.catchRt)
      areas.push_back(RECT{r.x, r.y, RightEdge(r.x, r.width), RightEdge(r.y, r.height)});
    area.AddAreas(areas);
  }
  std::set<HWND> windows = cfg.catchWnd;
  if (!cfg.catchWndPro.empty()) {
    std::set<DWORD> processIds;
    for (HWND window : cfg.catchWndPro) {
      DWORD processId = 0;
      GetWindowThreadProcessId(window, &processId);
      // X windows need not name their process, and all such windows report
      // 0: sharing "process 0" would share every one of them, and sharing no
      // process would share the whole monitor. The chosen window itself is
      // what can be shared.
      if (processId == 0) {
        shareLogWarn("window 0x%llx names no process, shared as a window",
                     static_cast<unsigned long long>(reinterpret_cast<quintptr>(window)));
        windows.insert(window);
        continue;
      }
      processIds.insert(processId);
    }
    if (!processIds.empty()) area.AddProcessIds(processIds);
  }
  if (!windows.empty()) area.AddWindows(windows);
  m_encoder.reset();
  m_cfg = cfg;
  m_cfg.encSize = encSize(m_cfg.encSize, boxMaxSize());
  return true;
}

int CatchThread::frameRate() const { return m_cfg.fps > 0 ? m_cfg.fps : kDefaultFps; }

void CatchThread::postJob(const SCDoEnc& job) {
  bool waited = false;
  {
    QMutexLocker hold(&m_jobMutex);
    waited = m_hasPendingJob;
    if (waited) shareLogWarn("frame job sn:%d takes the place of sn:%d", job.sn, m_pendingJob.sn);
    m_pendingJob = job;
    m_hasPendingJob = true;
  }
  // One wake-up per waiting job.
  if (!waited) QMetaObject::invokeMethod(this, &CatchThread::slot_takeJob, Qt::QueuedConnection);
}

void CatchThread::dropPendingJob() {
  QMutexLocker hold(&m_jobMutex);
  m_hasPendingJob = false;
}

void CatchThread::slot_takeJob() {
  SCDoEnc job;
  {
    QMutexLocker hold(&m_jobMutex);
    if (!m_hasPendingJob) return;
    job = m_pendingJob;
    m_hasPendingJob = false;
  }
  slot_DoEnc(job);
}

void CatchThread::slot_startCatch() {
  {
    QMutexLocker hold(&m_frameMutex);
    m_latestFrame.clear();
  }
  if (m_cfg.fps <= 0) shareLogWarn("frame rate %d, capturing at %d", m_cfg.fps, kDefaultFps);
  // Above 1000 fps the interval would be 0 ms and the ticks would never stop
  // coming.
  m_catchTimer->start(std::max(1, 1000 / frameRate()));
}

void CatchThread::slot_StopCatch() {
  dropPendingJob();
  m_catchTimer->stop();
  m_retryTimer->stop();
  m_jobWaitsForCfg = false;
  resetCatch();
}

void CatchThread::resetCatch() {
  m_screen.reset();
  m_recycler.clear();
  QMutexLocker hold(&m_frameMutex);
  m_latestFrame.clear();
  m_lastSentFrame.clear();
}

void CatchThread::slot_CatchScrn() {
  CatchFrame frame;
  if (catchScreen(frame) > 0) setLatestFrame(frame);
}

int CatchThread::catchScreen(CatchFrame& frame) {
  if (!m_screen) {
    shareLogWarn("screen info is null...");
    return 0;
  }
  const int rslt = m_screen->CatchScreenDIB();
  if (rslt == CScreenInfo::kUnchanged) {
    // The cursor is no part of the damage: a moved one needs the picture
    // converted again for its record to follow, from the DIB as it is.
    QPoint cursor = frame.cursorPos;
    readCursor(cursor);
    bool haveLatest = false;
    {
      QMutexLocker hold(&m_frameMutex);
      haveLatest = !m_latestFrame.pic.isEmpty();
    }
    if (haveLatest && cursor == m_convertedCursor && m_aspectRatio.load() == m_convertedRatio) return 0;
  } else if (rslt != 0) {
    shareLogWarn("Cach ScreenDIB failed! (err:%d)", rslt);
    return -1;
  }
  const QSize size = m_screen->GetDIBSize();
  if (size.width() <= 0 || size.height() <= 0) {
    shareLogErr("GetScreenDIB failed!");
    return -1;
  }
  const unsigned char* bits = m_screen->GetDIBBits();
  // A picture that cannot be taken over is not a picture: keep the newest one.
  // The DIB is read in place: it is converted before this thread's next
  // tick can capture into it again.
  if (!bits || frame.pic.wrap(AV_PIX_FMT_BGRA, size.width(), size.height(), bits,
                                  m_screen->GetDIBBytes(),
                                  QDateTime::currentMSecsSinceEpoch()) != 0) {
    shareLogErr("GetScreenDIB failed! (%dx%d, %d bytes)", size.width(), size.height(),
                m_screen->GetDIBBytes());
    return -1;
  }
  readCursor(frame.cursorPos);
  return 1;
}

void CatchThread::readCursor(QPoint& pos) const {
  POINT cursor{0, 0};
  if (!GetCursorPos(&cursor)) return;
  const RECT bound = m_screen->GetCatchAreaCfg().GetBoundRect();
  pos = QPoint(cursor.x - bound.left, cursor.y - bound.top);
}

void CatchThread::setLatestFrame(const CatchFrame& frame) {
  if (frame.pic.isEmpty()) return;
  CatchFrame f = frame;
  const float ratio = m_aspectRatio.load();
  const QSize fitted = fittedSize(f.pic.size(), ratio);
  if (fitted != f.pic.size()) {
    const QSize fittedTarget = targetSize(fitted, m_cfg.encSize);
    if (fittedTarget == fitted)
      padToFitted(f, fitted);
    else
      scaleIntoTarget(f, fitted, fittedTarget);
  }
  const QSize target = targetSize(f.pic.size(), m_cfg.encSize);
  const float factor = static_cast<float>(target.width()) / static_cast<float>(f.pic.width());
  if (factor < 0.99999f || factor > 1.0f)
    f.cursorPos = QPoint(static_cast<int>(std::lround(f.cursorPos.x() * factor)),
                         static_cast<int>(std::lround(f.cursorPos.y() * factor)));
  // The box would get a picture of another format or size than the encoder
  // was opened for: keep the newest one instead.
  if (!f.pic.scaleTo(AV_PIX_FMT_YUV420P, target.width(), target.height(), &m_recycler)) {
    shareLogErr("convert %dx%d to %dx%d failed", f.pic.width(), f.pic.height(), target.width(),
                target.height());
    return;
  }
  {
    QMutexLocker hold(&m_frameMutex);
    m_latestFrame.pic.swap(f.pic);
    std::swap(m_latestFrame.cursorPos, f.cursorPos);
  }
  // The picture it replaced is written over once the encoder lets go of it.
  m_recycler.give(f.pic);
  m_convertedCursor = frame.cursorPos;
  m_convertedRatio = ratio;
}

void CatchThread::padToFitted(CatchFrame& f, const QSize& fitted) {
  const QSize picture = f.pic.size();
  if (!f.pic.padTo(fitted.width(), fitted.height())) return;
  // padTo puts the odd column or row on the right or bottom, so the picture
  // moved by the integer half; the cursor has to move with it.
  const QSize grown = fitted - picture;
  f.cursorPos += QPoint(grown.width() / 2, grown.height() / 2);
}

// The picture the padded one would give once scaled to target, without
// building the padded one: a shape far from the screen's (a ratio of 1/16 on
// a wide screen) would pad it to many times its size on every tick.
void CatchThread::scaleIntoTarget(CatchFrame& f, const QSize& fitted, const QSize& target) {
  const double fx = static_cast<double>(target.width()) / fitted.width();
  const double fy = static_cast<double>(target.height()) / fitted.height();
  const QSize inner(std::clamp(static_cast<int>(std::lround(f.pic.width() * fx)), 1, target.width()),
                    std::clamp(static_cast<int>(std::lround(f.pic.height() * fy)), 1, target.height()));
  if (!f.pic.scaleTo(AV_PIX_FMT_BGRA, inner.width(), inner.height()) ||
      !f.pic.padTo(target.width(), target.height())) {
    shareLogErr("fit %dx%d into %dx%d failed", inner.width(), inner.height(), target.width(),
                target.height());
    return;
  }
  const QSize grown = target - inner;
  f.cursorPos = QPoint(static_cast<int>(std::lround(f.cursorPos.x() * fx)) + grown.width() / 2,
                       static_cast<int>(std::lround(f.cursorPos.y() * fy)) + grown.height() / 2);
}

void CatchThread::slot_DoEnc(SCDoEnc job) {
  m_retryTimer->stop();
  m_job = job;
  slot_DoEnc();
}

void CatchThread::slot_DoEnc() {
  if (!m_screen) {
    if (!m_jobWaitsForCfg) shareLogWarn("frame request %d waits for the capture settings", m_job.sn);
    m_jobWaitsForCfg = true;
    return;
  }
  CatchFrame f;
  {
    QMutexLocker hold(&m_frameMutex);
    f = m_lastSentFrame;
    if (f.pic.isEmpty() && !m_latestFrame.pic.isEmpty()) f = m_latestFrame;
    if (m_job.bNewFrame && !m_latestFrame.pic.isEmpty()) f = m_latestFrame;
  }
  if (f.pic.isEmpty()) {
    m_retryTimer->start(kRetryMs);
    return;
  }
  QByteArray packet;
  if (encodeFrame(f, m_job.sn, packet) > 0) {
    emit s_CatchRsp(packet);
    return;
  }
  emit s_CatchFailed();
}

int CatchThread::encodeFrame(const CatchFrame& frame, int sn, QByteArray& packet) {
  if (packFrame(frame, sn, packet) <= 0) return -1;
  QMutexLocker hold(&m_frameMutex);
  m_lastSentFrame = frame;
  return 1;
}

int CatchThread::packFrame(const CatchFrame& frame, int sn, QByteArray& packet) {
  using namespace FramePacket;
  const int w = frame.pic.width();
  const int h = frame.pic.height();
  const bool keyAsked = m_job.iFrame > 0;
  packet.resize(w * h + 1024);
  auto* out = reinterpret_cast<uint8_t*>(packet.data());
  WriteHeader(out, sn, m_sharer, PictureWord(keyAsked, w, h), 0);

  if (m_encoder && (vpu_getEncWidth(m_encoder.get()) != w || vpu_getEncHeight(m_encoder.get()) != h))
    m_encoder.reset();
  openEncH264(w, h);
  if (!m_encoder) {
    shareLogErr("%s", "openEncH264 failed!");
    return -1;
  }

  // The cursor record may follow the video record, so its room is kept free.
  const int capacity =
      std::min(packet.size() - kVideoDataOffset - kCursorRecordSize, kMaxVideoBytes);
  int picType = keyAsked ? 1 : 0;
  const int rslt = vpu_encodeVideo(m_encoder.get(), frame.pic, &picType, out + kVideoDataOffset,
                                   capacity);
  if (rslt < 0) {
    shareLogWarn("encode video failed, rslt:%d", rslt);
    return -1;
  }
  PutU32(out + kPictureWordOffset, PictureWord(picType == 1, w, h));
  PutU32(out + kHeaderSize, VideoRecordHead(rslt));
  int end = kVideoDataOffset + rslt;

  QPoint lastCursor;
  {
    QMutexLocker hold(&m_frameMutex);
    lastCursor = m_lastSentFrame.cursorPos;
  }
  if (m_cfg.cursorType == 0 && (frame.cursorPos != lastCursor || keyAsked)) {
    PutU32(out + end, CursorRecord(frame.cursorPos));
    end += kCursorRecordSize;
  }
  PutU32(out + kPayloadLengthOffset, static_cast<uint32_t>(end - kHeaderSize));
  packet.resize(end);
  return end;
}

void CatchThread::openEncH264(int width, int height) {
  if (m_encoder) return;
  const int boxKeyIntMs = g_h264EncOpt.iFrameMSecond.load();
  const int keyIntMs = boxKeyIntMs > 0 ? boxKeyIntMs : kDefaultKeyIntMs;
  const int64_t bitRate = static_cast<int64_t>(m_cfg.kbps) * 1000;
  m_encoder.reset(vpu_openEncH264(
      -1, width, height, /*rcMode=*/1, static_cast<float>(m_cfg.h264crf),
      static_cast<int>(std::clamp<int64_t>(bitRate, 0, INT_MAX)), frameRate(), keyIntMs,
      "superfast", "zerolatency", vpu_profileName(g_h264EncOpt.profile.load())));
}
