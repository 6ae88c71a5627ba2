// Time from a frame request (s_DoEnc) to its packet (s_CatchRsp) at 1920x1080
// while the screen changes, beside the encoder alone on the same pictures in
// the same run. The difference is what capture, conversion, packing and the
// two thread hops add to a box's wait.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include "BenchStats.h"
#include "CatchThread.h"
#include "CodecSetup.h"
#include "EncH264.h"
#include "FrameRecycler.h"
#include "RootPainter.h"
#include "SpinEvents.h"
#include "ScreenContent.h"
#include "ScreenInfo.h"
#include "VideoFrame.h"

// Last: Xlib's macros break Qt headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kFps = 12;
constexpr int kWarmUp = 5;

using Clock = std::chrono::steady_clock;

void PrintRow(const char* what, const BenchStats& s, double kib) {
  printf("| %-44s | %8.2f | %8.2f | %8.2f | %7.1f |\n", what, s.p50, s.p95, s.mean, kib);
}

// The capture thread as the connection controller drives it; between
// requests the screen changes and at least one capture tick passes.
bool RequestLatency(const std::vector<std::vector<uint8_t>>& pics, RootPainter& root, BenchStats* stats,
                    double* kib) {
  CatchThread thread;
  std::vector<QByteArray> packets;
  int failures = 0;
  Clock::time_point got;
  QObject receiver;
  QObject::connect(&thread, &CatchThread::s_CatchRsp, &receiver, [&](const QByteArray& p) {
    got = Clock::now();
    packets.push_back(p);
  });
  QObject::connect(&thread, &CatchThread::s_CatchFailed, &receiver, [&] { ++failures; });
  thread.start();
  CORVANESDK::SSCFG cfg;
  cfg.monitorID = 0;
  cfg.fps = kFps;
  emit thread.s_CatchCfg(1, cfg);
  emit thread.s_StartCatch();

  std::vector<double> ms;
  double bytes = 0;
  bool ok = true;
  for (size_t i = 0; i < pics.size() && ok; ++i) {
    root.PaintPicture(pics[i], kW, kH);
    QThread::msleep(1000 / kFps + 5);
    const size_t before = packets.size();
    SCDoEnc job;
    job.bNewFrame = true;
    job.sn = static_cast<int>(i);
    const auto t0 = Clock::now();
    emit thread.s_DoEnc(job);
    ok = SpinEventsUntil([&] { return packets.size() > before || failures > 0; }, 5000) && failures == 0;
    if (ok && i >= kWarmUp) {
      ms.push_back(std::chrono::duration<double, std::milli>(got - t0).count());
      bytes += packets.back().size();
    }
  }
  emit thread.s_StopCatch();
  thread.quit();
  thread.wait();
  *stats = Summarise(ms);
  *kib = ms.empty() ? 0 : bytes / ms.size() / 1024;
  return ok;
}

// vpu_encodeVideo alone with the capture thread's encoder settings, on the
// same pictures converted beforehand.
BenchStats EncoderOnly(const std::vector<std::vector<uint8_t>>& pics, double* kib) {
  VPUEncoderPtr enc(vpu_openEncH264(-1, kW, kH, 1, 22.0f, 2000 * 1000, kFps, 3600000, "superfast",
                                    "zerolatency", vpu_profileName(5)));
  std::vector<uint8_t> out(kW * kH + 1024);
  std::vector<double> ms;
  double bytes = 0;
  for (size_t i = 0; i < pics.size() && enc; ++i) {
    VideoFrame f;
    f.fillFrom(AV_PIX_FMT_BGRA, kW, kH, pics[i].data(), static_cast<int>(pics[i].size()), 0);
    f.scaleTo(AV_PIX_FMT_YUV420P, kW, kH);
    int key = 0;
    const auto t0 = Clock::now();
    const int n = vpu_encodeVideo(enc.get(), f, &key, out.data(), static_cast<int>(out.size()) - 26);
    const double t = MsSince(t0);
    if (i >= kWarmUp) {
      ms.push_back(t);
      bytes += n;
    }
  }
  *kib = ms.empty() ? 0 : bytes / ms.size() / 1024;
  return Summarise(ms);
}

struct TickSplit {
  BenchStats capture, copy, convert, release, total;
};

// One capture tick taken apart: the screen into the DIB, then the picture to
// YUV either copied into fresh buffers (as every tick did before) or read in
// place into a recycled buffer. The freshly allocated buffers fault in on the
// first touch, inside the copy and the conversion.
bool MeasureTicks(const std::vector<std::vector<uint8_t>>& pics, RootPainter& root, bool inPlace,
                  TickSplit* split) {
  CScreenInfo screen(0);
  if (!screen.IsMonitorValid()) return false;
  FrameRecycler recycler;
  VideoFrame latest, sent;
  std::vector<double> capture, copy, convert, release, total;
  for (size_t i = 0; i < pics.size(); ++i) {
    root.PaintPicture(pics[i], kW, kH);
    const auto t0 = Clock::now();
    if (screen.CatchScreenDIB() != CScreenInfo::kCaptured) return false;
    const double tCapture = MsSince(t0);
    auto t = Clock::now();
    VideoFrame f;
    const int rc = inPlace ? f.wrap(AV_PIX_FMT_BGRA, kW, kH, screen.GetDIBBits(), screen.GetDIBBytes(), 0)
                           : f.fillFrom(AV_PIX_FMT_BGRA, kW, kH, screen.GetDIBBits(), screen.GetDIBBytes(), 0);
    if (rc != 0) return false;
    const double tCopy = MsSince(t);
    t = Clock::now();
    // The size the capture thread converts this screen to.
    const QSize target = CatchThread::targetSize(QSize(kW, kH), QSize(1920, 1920));
    if (!f.scaleTo(AV_PIX_FMT_YUV420P, target.width(), target.height(), inPlace ? &recycler : nullptr))
      return false;
    const double tConvert = MsSince(t);
    t = Clock::now();
    // As the capture thread: the new picture replaces the newest, and every
    // other one is still held by the encoder as the last sent frame.
    latest.swap(f);
    if (i % 2 == 0) sent = latest;
    if (inPlace) recycler.give(f);
    f = VideoFrame();
    const double tRelease = MsSince(t);
    if (i >= static_cast<size_t>(kWarmUp)) {
      capture.push_back(tCapture);
      copy.push_back(tCopy);
      convert.push_back(tConvert);
      release.push_back(tRelease);
      total.push_back(MsSince(t0));
    }
  }
  *split = TickSplit{Summarise(capture), Summarise(copy), Summarise(convert), Summarise(release),
                     Summarise(total)};
  return true;
}

void PrintTicks(const std::vector<std::vector<uint8_t>>& pics, RootPainter& root) {
  printf("\none capture tick at %dx%d, ms (p50 / p95)\n\n", kW, kH);
  printf("| %-34s | %-13s | %-13s | %-13s | %-13s | %-13s |\n", "way", "XShm capture", "copy DIB",
         "convert", "free", "whole tick");
  printf("|------------------------------------|---------------|---------------|---------------|---------------|---------------|\n");
  for (bool inPlace : {false, true}) {
    TickSplit s;
    if (!MeasureTicks(pics, root, inPlace, &s)) {
      fprintf(stderr, "capture tick failed\n");
      return;
    }
    printf("| %-34s |", inPlace ? "in place, recycled YUV (now)" : "copied, fresh buffers (before)");
    for (const BenchStats* b : {&s.capture, &s.copy, &s.convert, &s.release, &s.total})
      printf(" %5.2f / %5.2f |", b->p50, b->p95);
    printf("\n");
  }
  fflush(stdout);
}

// CPU of the whole process on a still screen with the box pulling once a
// second, per second of wall time; the whole screen, or the windows of the
// process that owns `shared`.
bool StillScreenCpu(RootPainter& root, int seconds, double* cpuPerSecond, HWND shared = nullptr) {
  root.PaintPicture(ContentPicture(ScreenContent::TextPage, kW, kH, 0), kW, kH);
  CatchThread thread;
  // Counted on the capture thread, so this one can sleep instead of running
  // an event loop that would count as CPU too.
  std::atomic<int> packets{0}, failures{0};
  QObject receiver;
  QObject::connect(&thread, &CatchThread::s_CatchRsp, &receiver, [&](const QByteArray&) { ++packets; },
                   Qt::DirectConnection);
  QObject::connect(&thread, &CatchThread::s_CatchFailed, &receiver, [&] { ++failures; }, Qt::DirectConnection);
  thread.start();
  CORVANESDK::SSCFG cfg;
  cfg.monitorID = 0;
  cfg.fps = kFps;
  if (shared != nullptr) cfg.catchWndPro.insert(shared);
  emit thread.s_CatchCfg(1, cfg);
  emit thread.s_StartCatch();
  // The first ticks capture, and the first pull opens the encoder and sends
  // a key frame; the still stretch starts after them.
  QThread::msleep(1000);
  SCDoEnc first;
  first.bNewFrame = true;
  first.sn = seconds;
  emit thread.s_DoEnc(first);
  const auto warm0 = Clock::now();
  while (packets == 0 && failures == 0 && MsSince(warm0) < 5000) QThread::msleep(5);
  QThread::msleep(500);
  const std::clock_t cpu0 = std::clock();
  const auto wall0 = Clock::now();
  for (int i = 0; i < seconds; ++i) {
    SCDoEnc job;
    job.bNewFrame = true;
    job.sn = i;
    emit thread.s_DoEnc(job);
    while (MsSince(wall0) < 1000.0 * (i + 1)) QThread::msleep(5);
  }
  const double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  *cpuPerSecond = cpu / (MsSince(wall0) / 1000.0);
  emit thread.s_StopCatch();
  thread.quit();
  thread.wait();
  return failures == 0 && packets >= seconds + 1;
}

// Top-level windows of this process on the still screen, one of them the
// shared one's; closed with the connection.
struct StillWindows {
  Display* display = XOpenDisplay(nullptr);
  std::vector<Window> windows;
  ~StillWindows() {
    if (display != nullptr) XCloseDisplay(display);
  }
  HWND Grow(int total) {
    if (display == nullptr) return nullptr;
    const unsigned long pid = static_cast<unsigned long>(getpid());
    while (static_cast<int>(windows.size()) < total) {
      const int i = static_cast<int>(windows.size());
      windows.push_back(XCreateSimpleWindow(display, DefaultRootWindow(display), 20 + (i * 37) % 1500,
                                            20 + (i * 53) % 800, 300, 200, 0, 0, 0x102030u * (i % 7 + 1)));
      // Every fifth window is the shared program's.
      if (i % 5 == 0) {
        XChangeProperty(display, windows.back(), XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
      }
      XMapWindow(display, windows.back());
    }
    XSync(display, False);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(windows.front()));
  }
};

void PrintStill(RootPainter& root) {
  printf("\nstill screen, capture at %d fps, one pull a second, s CPU per s\n\n", kFps);
  printf("| %-34s | %8s |\n", "share", "CPU/s");
  printf("|------------------------------------|----------|\n");
  double cpu = 0;
  bool ok = StillScreenCpu(root, 10, &cpu);
  printf("| %-34s | %8.4f |%s\n", "whole screen", cpu, ok ? "" : " (some pulls failed)");
  fflush(stdout);
  StillWindows windows;
  for (int total : {5, 50, 200}) {
    const HWND shared = windows.Grow(total);
    if (shared == nullptr) {
      fprintf(stderr, "no X display for the windows\n");
      return;
    }
    ok = StillScreenCpu(root, 10, &cpu, shared);
    const std::string name = "window share, " + std::to_string(total) + " windows";
    printf("| %-34s | %8.4f |%s\n", name.c_str(), cpu, ok ? "" : " (some pulls failed)");
    fflush(stdout);
  }
}

// A box pulling lock-step at `rate` pulls a second while the screen changes
// between pulls: the time from each pull to its packet.
bool PullLatency(const std::vector<std::vector<uint8_t>>& pics, RootPainter& root, int rate, BenchStats* stats) {
  CatchThread thread;
  std::atomic<int> packets{0}, failures{0};
  std::atomic<int64_t> gotNs{0};
  QObject receiver;
  QObject::connect(&thread, &CatchThread::s_CatchRsp, &receiver,
                   [&](const QByteArray&) {
                     gotNs = Clock::now().time_since_epoch().count();
                     ++packets;
                   },
                   Qt::DirectConnection);
  QObject::connect(&thread, &CatchThread::s_CatchFailed, &receiver, [&] { ++failures; }, Qt::DirectConnection);
  thread.start();
  CORVANESDK::SSCFG cfg;
  cfg.monitorID = 0;
  cfg.fps = rate;
  emit thread.s_CatchCfg(1, cfg);
  emit thread.s_StartCatch();
  QThread::msleep(300);
  std::vector<double> ms;
  const double slotMs = 1000.0 / rate;
  const auto start = Clock::now();
  bool ok = true;
  for (size_t i = 0; i < pics.size() && ok; ++i) {
    while (MsSince(start) < slotMs * i) QThread::usleep(200);
    const int before = packets;
    SCDoEnc job;
    job.bNewFrame = true;
    job.sn = static_cast<int>(i);
    const auto t0 = Clock::now();
    emit thread.s_DoEnc(job);
    while (packets == before && failures == 0 && MsSince(t0) < 5000) QThread::usleep(100);
    ok = packets > before;
    if (ok && i >= static_cast<size_t>(kWarmUp))
      ms.push_back(static_cast<double>(gotNs - t0.time_since_epoch().count()) / 1e6);
    root.PaintPicture(pics[(i + 1) % pics.size()], kW, kH);
  }
  emit thread.s_StopCatch();
  thread.quit();
  thread.wait();
  *stats = Summarise(ms);
  return ok;
}

void PrintPulls(const std::vector<std::vector<uint8_t>>& pics, RootPainter& root) {
  printf("\npull latency, box pulling lock-step, screen changing between pulls, ms\n\n");
  printf("| %-12s | %8s | %8s | %8s |\n", "pulls/s", "p50", "p95", "mean");
  printf("|--------------|----------|----------|----------|\n");
  for (int rate : {12, 30, 60}) {
    BenchStats s;
    const bool ok = PullLatency(pics, root, rate, &s);
    printf("| %-12d | %8.2f | %8.2f | %8.2f |%s\n", rate, s.p50, s.p95, s.mean, ok ? "" : " (a pull got no packet)");
    fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int count = argc > 1 ? std::max(kWarmUp + 10, atoi(argv[1])) : 80;
  RootPainter root;
  if (!root.Fits(kW, kH)) {
    fprintf(stderr, "needs an X screen of %dx%dx24 (run under tests/tools/with-xvfb.sh)\n", kW, kH);
    return 1;
  }
  vpu_init(4);
  printf("%dx%d, %d requests per content (%d warm-up not counted), capture at %d fps, ms\n\n", kW,
         kH, count, kWarmUp, kFps);
  printf("| %-12s | %-44s | %8s | %8s | %8s | %7s |\n", "content", "measured", "p50", "p95", "mean",
         "KiB");
  printf("|--------------|----------------------------------------------|----------|----------|----------|---------|\n");
  int rc = 0;
  {
    std::vector<std::vector<uint8_t>> pics;
    for (int i = 0; i < count; ++i) pics.push_back(ContentPicture(ScreenContent::TextPage, kW, kH, i));
    PrintTicks(pics, root);
    if (argc > 2 && std::string(argv[2]) == "ticks") return 0;
    PrintStill(root);
    if (argc > 2 && std::string(argv[2]) == "still") return 0;
    PrintPulls(pics, root);
    if (argc > 2 && std::string(argv[2]) == "pulls") return 0;
    printf("\n");
  }
  for (ScreenContent content : {ScreenContent::TextPage, ScreenContent::Scrolling}) {
    std::vector<std::vector<uint8_t>> pics;
    for (int i = 0; i < count; ++i) pics.push_back(ContentPicture(content, kW, kH, i));
    BenchStats latency, encoder;
    double latencyKib = 0, encoderKib = 0;
    if (!RequestLatency(pics, root, &latency, &latencyKib)) {
      fprintf(stderr, "a frame request got no packet\n");
      rc = 1;
    }
    encoder = EncoderOnly(pics, &encoderKib);
    printf("| %-12s ", ContentName(content));
    PrintRow("s_DoEnc -> s_CatchRsp (capture thread)", latency, latencyKib);
    printf("| %-12s ", ContentName(content));
    PrintRow("vpu_encodeVideo alone (same pictures)", encoder, encoderKib);
    fflush(stdout);
  }
  return rc;
}
