// Frame pulls end to end: the simulated box pulls 1920x1080 frames over
// loopback from the SDK (through its exports) while the screen scrolls, at 12
// and 30 pulls per second. Reports request-to-last-byte latency and the CPU
// time of the SDK's own threads per second, beside ffmpeg grabbing the same
// screen with x11grab and x264 at the same CRF and VBV, in the same run.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include "BenchStats.h"
#include "CorvaneSDK.h"
#include "RootPainter.h"
#include "SpinEvents.h"
#include "ScreenContent.h"
#include "SimBox.h"
#include "SimFramePuller.h"

// After every Qt header: Xlib defines Status, None and Bool as macros.

extern char** environ;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kCrf = 22;
constexpr int kKbps = 2000;  // the SDK's default rate, also its VBV size
constexpr int kPictures = 90;

using namespace CORVANESDK;

// Paints the next picture of a scrolling page onto the root window.
class ScreenChanger {
 public:
  ScreenChanger() {
    for (int i = 0; i < kPictures; ++i) pictures_.push_back(ContentPicture(ScreenContent::Scrolling, kW, kH, i));
  }
  bool ok() const { return painter_.Fits(kW, kH); }
  void Next() { painter_.PaintPicture(pictures_[next_++ % pictures_.size()], kW, kH); }

 private:
  RootPainter painter_;
  std::vector<std::vector<uint8_t>> pictures_;
  size_t next_ = 0;
};

// CPU seconds of this process's threads with one of these names.
double ThreadCpuSeconds(const std::vector<std::string>& names) {
  const long ticks = sysconf(_SC_CLK_TCK);
  double total = 0;
  for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    std::ifstream comm("/proc/self/task/" + tid.toStdString() + "/comm");
    std::string name;
    std::getline(comm, name);
    if (std::find(names.begin(), names.end(), name) == names.end()) continue;
    std::ifstream stat("/proc/self/task/" + tid.toStdString() + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the parenthesised name: state is field 3, utime 14, stime 15.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::vector<std::string> fields;
    size_t pos = close + 2;
    while (pos < line.size() && fields.size() < 13) {
      const size_t space = line.find(' ', pos);
      fields.push_back(line.substr(pos, space - pos));
      if (space == std::string::npos) break;
      pos = space + 1;
    }
    if (fields.size() < 13) continue;
    total += (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / ticks;
  }
  return total;
}

struct Row {
  std::string what;
  int rate = 0;
  BenchStats latency;
  double cpuPerSecond = 0;
  int frames = 0;
  int skipped = 0;
  int errors = 0;
  double kib = 0;
};

class Host : public ITransCtrlCallBack {
 public:
  void onNetNfy(NET_NOTIFY nty, const std::map<std::string, std::string>&) override { last = nty; }
  std::atomic<int> last{0};
};

Row RunSdk(SimBox& box, Host& host, ScreenChanger& screen, int rate, int seconds) {
  Row row;
  row.what = "SDK, box pulling";
  row.rate = rate;
  ITransCtrl& ctrl = GetTransCtrlEngine();
  ctrl.startShare();
  if (!SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_SHARING; }, 10000)) {
    std::fprintf(stderr, "transctrl_bench: the share did not start\n");
    return row;
  }
  SSCFG cfg;
  cfg.monitorID = 0;
  cfg.fps = rate;
  cfg.kbps = kKbps;
  cfg.h264crf = kCrf;
  ctrl.setCaptureCfg(cfg);

  std::vector<double> latencies;
  double bytes = 0;
  QObject context;
  QObject::connect(box.puller(), &SimFramePuller::frameReceived, &context, [&](const SimPulledFrame& frame) {
    if (!frame.error.isEmpty()) {
      ++row.errors;
      return;
    }
    latencies.push_back(frame.latencyMs);
    bytes += static_cast<double>(frame.packet.video.size());
  });
  QTimer changer;
  changer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&changer, &QTimer::timeout, [&] { screen.Next(); });
  changer.start(1000 / rate);
  // Warm-up: the encoder opens and the first key frame goes out.
  box.puller()->start(rate);
  SpinEventsUntil([] { return false; }, 1000);
  latencies.clear();
  bytes = 0;
  const int skippedBefore = box.puller()->skippedTicks();
  const double cpuBefore = ThreadCpuSeconds({"TransCtrl", "CatchThread"});
  QElapsedTimer clock;
  clock.start();
  SpinEventsUntil([] { return false; }, seconds * 1000);
  const double elapsed = clock.elapsed() / 1000.0;
  row.cpuPerSecond = (ThreadCpuSeconds({"TransCtrl", "CatchThread"}) - cpuBefore) / elapsed;
  box.puller()->stop();
  changer.stop();
  row.skipped = box.puller()->skippedTicks() - skippedBefore;
  row.frames = static_cast<int>(latencies.size());
  row.kib = row.frames > 0 ? bytes / row.frames / 1024.0 : 0;
  row.latency = Summarise(latencies);
  SpinEventsUntil([&] { return !box.puller()->outstanding(); }, 5000);
  ctrl.stopShare();
  SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_CONNECTED; }, 10000);
  (void)host;
  return row;
}

Row RunFfmpeg(ScreenChanger& screen, int rate, int seconds) {
  Row row;
  row.what = "ffmpeg x11grab + libx264";
  row.rate = rate;
  const char* display = std::getenv("DISPLAY");
  const std::string fps = std::to_string(rate);
  const std::string crf = std::to_string(kCrf);
  const std::string vbv = std::to_string(kKbps) + "k";
  const std::string duration = std::to_string(seconds + 1);
  std::vector<std::string> args = {"ffmpeg", "-nostdin", "-loglevel", "fatal", "-f", "x11grab", "-framerate", fps,
                                   "-video_size", "1920x1080", "-i", display != nullptr ? display : ":0",
                                   "-c:v", "libx264", "-preset", "superfast", "-tune", "zerolatency",
                                   "-crf", crf, "-maxrate", vbv, "-bufsize", vbv, "-threads", "1",
                                   "-t", duration, "-f", "null", "-"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "transctrl_bench: ffmpeg did not start\n");
    return row;
  }
  QTimer changer;
  changer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&changer, &QTimer::timeout, [&] { screen.Next(); });
  changer.start(1000 / rate);
  QElapsedTimer clock;
  clock.start();
  int status = 0;
  rusage usage{};
  // Bounded: ffmpeg stops itself after -t; a hung one is killed.
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (clock.elapsed() > (seconds + 20) * 1000) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      break;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  changer.stop();
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
  row.cpuPerSecond = cpu / std::max(1.0, clock.elapsed() / 1000.0);
  row.frames = -1;
  return row;
}

void Print(const Row& row) {
  if (row.frames < 0) {
    std::printf("| %-26s | %4d | %8s | %8s | %7.3f | %6s | %7s | %6s |\n", row.what.c_str(), row.rate, "n/a", "n/a",
                row.cpuPerSecond, "-", "-", "-");
    return;
  }
  std::printf("| %-26s | %4d | %8.2f | %8.2f | %7.3f | %6d | %7d | %6.1f |\n", row.what.c_str(), row.rate,
              row.latency.p50, row.latency.p95, row.cpuPerSecond, row.frames, row.skipped, row.kib);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (seconds < 1 || seconds > 600) {
    std::fprintf(stderr, "usage: transctrl_bench [seconds 1..600]\n");
    return 2;
  }
  ScreenChanger screen;
  if (!screen.ok()) {
    std::fprintf(stderr, "transctrl_bench: no X display (run under tests/tools/with-xvfb.sh)\n");
    return 1;
  }
  screen.Next();
  GetCorvaneSDK().init(nullptr, nullptr);
  Host host;
  ITransCtrl& ctrl = GetTransCtrlEngine();
  ctrl.setCallBack(&host);
  SimBoxConfig config;
  config.actReplies[2] = {SimActReply{SimActReply::Kind::Answer, SimAnswer::Connected(77, 0), -1}};
  config.actReplies[6] = {SimActReply{SimActReply::Kind::Answer, SimAnswer::Code(0, {{"Sharer", 1}}), -1}};
  config.actReplies[7] = {SimActReply{SimActReply::Kind::Answer, "{}", -1}};
  config.actReplies[8] = {SimActReply{SimActReply::Kind::Answer, R"({"SN":1})", -1}};
  SimBox box(config);
  if (!box.listen(QHostAddress::LocalHost, 0)) return 1;
  box.puller()->setSessionId(77);
  BOX_INFO info;
  info.ip = "127.0.0.1";
  info.port = box.tcpPort();
  ctrl.connectBox(info);
  if (!SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_CONNECTED; }, 12000)) {
    std::fprintf(stderr, "transctrl_bench: no session with the simulated box\n");
    return 1;
  }

  std::vector<Row> rows;
  for (int rate : {12, 30, 60}) {
    rows.push_back(RunSdk(box, host, screen, rate, seconds));
    rows.push_back(RunFfmpeg(screen, rate, seconds));
  }
  ctrl.disconnectBox();
  SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_IDLE; }, 5000);

  std::printf("\n1920x1080 scrolling screen, CRF %d, VBV %d kbit/s, %d s per row, loopback\n", kCrf, kKbps, seconds);
  std::printf("| %-26s | %4s | %8s | %8s | %7s | %6s | %7s | %6s |\n", "pipeline", "rate", "p50 ms", "p95 ms",
              "CPU s/s", "frames", "skipped", "KiB/fr");
  std::printf("|----------------------------|------|----------|----------|---------|--------|---------|--------|\n");
  for (const Row& row : rows) Print(row);
  std::printf("latency: box's request written to the response's last byte read; CPU: the SDK's protocol and\n"
              "capture threads (the box's decoding is not counted), ffmpeg: the whole process.\n");
  return 0;
}
