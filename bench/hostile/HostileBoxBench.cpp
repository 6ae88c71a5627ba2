// The SDK against a box that misbehaves: what each abuse costs the host in
// time and memory. The SDK runs in this process through its exports; the box
// is a bare socket on this thread that writes exactly what a scenario asks.
// Each scenario runs in a process of its own, so that its memory figures
// start from the same place. Run by hand under an X server of its own:
//   tests/tools/with-xvfb.sh build/bench/hostile_box_bench [scenario ...]
// Without arguments every scenario runs, one process each, and a table is
// printed.
#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include "BenchStats.h"
#include "CorvaneSDK.h"
#include "FWInterfaces.h"
#include "RootPainter.h"
#include "ScreenContent.h"
#include "SpinEvents.h"
#include "SimBoxConfig.h"
#include "SimFrame.h"
#include "SimFrameReader.h"
#include "SpinEvents.h"

namespace {

using namespace CORVANESDK;

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kSessionId = 4711;

// Kilobytes of one line of /proc/self/status.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  return -1;
}
double RssMiB() { return StatusKb("VmRSS") / 1024.0; }
double PeakMiB() { return StatusKb("VmHWM") / 1024.0; }
// Starts the peak over from the resident size now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Counts the SDK's log lines that start with one of a few texts.
class CountingLog : public FWlogger {
 public:
  void writeLog(int, const char*, const char* fmt, va_list args) override {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, args);
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& [prefix, count] : counts_)
      if (std::strncmp(text, prefix.c_str(), prefix.size()) == 0) ++count;
  }
  void watch(const std::string& prefix) {
    std::lock_guard<std::mutex> hold(lock_);
    counts_.push_back({prefix, 0});
  }
  int count(const std::string& prefix) {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& [p, count] : counts_)
      if (p == prefix) return count;
    return 0;
  }

 private:
  std::mutex lock_;
  std::vector<std::pair<std::string, int>> counts_;
};

class Notes : public ITransCtrlCallBack {
 public:
  void onNetNfy(NET_NOTIFY nty, const std::map<std::string, std::string>&) override {
    last = nty;
    ++count;
  }
  std::atomic<int> last{-1};
  std::atomic<int> count{0};
};

// The box: takes one connection, answers what a willing box answers, and
// sends whatever the scenario writes.
class Box : public QObject {
 public:
  Box() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        if (socket_ != nullptr) socket_->deleteLater();
        socket_ = s;
        ++connections;
        connect(s, &QTcpSocket::readyRead, this, [this] { readSome(); });
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  QTcpSocket* socket() { return socket_; }
  void write(const QByteArray& bytes) {
    if (socket_ != nullptr) socket_->write(bytes);
  }
  void request(int act, const QByteArray& body) { write(SimFrame{sn_++, act, false, body}.encode()); }
  // A box that stops reading: Qt keeps at most this much, the kernel's
  // buffers fill, and the host has to keep what it cannot send.
  void setReading(bool reading) {
    reading_ = reading;
    if (socket_ == nullptr) return;
    socket_->setReadBufferSize(reading ? 0 : 4096);
    if (reading) readSome();
  }
  // Writes no more until what was written left.
  bool drained() const { return socket_ == nullptr || socket_->bytesToWrite() == 0; }

  int frames = 0;
  int connections = 0;
  qint64 stopShareAtMs = -1;
  qint64 disconnectAtMs = -1;
  QElapsedTimer clock;

 private:
  void readSome() {
    if (!reading_ || socket_ == nullptr) return;
    reader_.feed(socket_->readAll());
    SimFrame f;
    while (reader_.take(&f)) {
      if (f.response && f.act == 81) {
        ++frames;
        continue;
      }
      if (f.response) continue;
      if (f.act == 7 && stopShareAtMs < 0) stopShareAtMs = clock.elapsed();
      if (f.act == 5 && disconnectAtMs < 0) disconnectAtMs = clock.elapsed();
      QByteArray answer;
      switch (f.act) {
        case 2: answer = SimAnswer::Connected(kSessionId, 0); break;
        case 6: answer = SimAnswer::Code(0, {{QStringLiteral("Sharer"), 1}}); break;
        case 7: answer = "{}"; break;
        case 8: answer = R"({"SN":1})"; break;
        default: continue;
      }
      socket_->write(SimFrame{f.sn, f.act, true, answer}.encode());
    }
  }

  QTcpServer server_;
  QTcpSocket* socket_ = nullptr;
  SimFrameReader reader_;
  quint16 sn_ = 1;
  bool reading_ = true;
};

struct Bench {
  CountingLog log;
  Notes notes;
  Box box;
  ITransCtrl& ctrl = GetTransCtrlEngine();

  bool Connect() {
    ctrl.setCallBack(&notes);
    BOX_INFO info;
    info.ip = "127.0.0.1";
    info.port = box.port();
    ctrl.connectBox(info);
    return SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_CONNECTED; }, 5000);
  }
  bool Share() {
    if (!Connect()) return false;
    ctrl.startShare();
    if (!SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_SHARING; }, 5000)) return false;
    SSCFG cfg;
    cfg.monitorID = 0;
    cfg.fps = 30;
    ctrl.setCaptureCfg(cfg);
    // The first pull waits for a picture; afterwards the share runs.
    return Pull(true) >= 0;
  }
  // One frame request; the milliseconds until its response, -1 on none.
  double Pull(bool key, int sn = 1) {
    const int before = box.frames;
    QElapsedTimer clock;
    clock.start();
    box.request(81, SimAnswer::Json({{QStringLiteral("IFrame"), key ? 1 : 0}, {QStringLiteral("SN"), sn}}));
    if (!SpinEventsUntil([&] { return box.frames > before; }, 10000)) return -1;
    return clock.nsecsElapsed() / 1e6;
  }
  void Settle(int ms) { SpinEventsUntil([] { return false; }, ms); }
  void Disconnect() {
    ctrl.disconnectBox();
    SpinEventsUntil([&] { return ctrl.getState() == CVSTATE_IDLE; }, 120000);
  }
};

// 10,000 frame requests, then the box stops the share; the host disconnects
// as soon as it hears of it, as the client does.
int StopBehindRequests(Bench& b) {
  if (!b.Share()) return 1;
  QByteArray burst;
  for (int i = 0; i < 10000; ++i)
    burst += SimFrame{static_cast<quint16>(100 + i), 81, false,
                      SimAnswer::Json({{QStringLiteral("IFrame"), 0}, {QStringLiteral("SN"), i}})}
                 .encode();
  burst += SimFrame{20000, 83, false, "{}"}.encode();
  b.box.clock.start();
  b.box.write(burst);
  SpinEventsUntil([&] { return b.notes.last.load() == CVNTY_BOX_STOPPED_SHARE; }, 120000);
  b.ctrl.disconnectBox();
  SpinEventsUntil([&] { return b.box.disconnectAtMs >= 0; }, 120000);
  std::printf("RESULT stop: disconnect reached the box %lld ms after the box's stop; %d frames sent meanwhile\n",
              static_cast<long long>(b.box.disconnectAtMs), b.box.frames);
  return 0;
}

// A JSON body of about `size` bytes whose key "a" comes twice, the first
// time with a large array: the value that the duplicate replaces.
QByteArray DuplicateKeyBody(int size) {
  QByteArray array = "[";
  while (array.size() < size - 32) array += "1,";
  array += "1]";
  return R"({"a":)" + array + R"(,"a":[1],"MaxWidth":1920})";
}

// count bodies of `size` bytes with a repeated key, act `act`, each written
// once the previous one left.
int DuplicateKeys(Bench& b, int count, int size, int act) {
  if (!b.Connect()) return 1;
  b.Settle(300);
  const double before = b.box.connections, rss0 = RssMiB();
  const QByteArray body = DuplicateKeyBody(size);
  QElapsedTimer clock;
  clock.start();
  int sent = 0;
  for (; sent < count && b.box.connections == before; ++sent) {
    b.box.request(act, body);
    SpinEventsUntil([&] { return b.box.drained(); }, 5000);
  }
  b.Settle(1000);
  std::printf("RESULT dupkeys %d x %d KB act %d: RSS %.0f -> %.0f MiB (peak %.0f), %lld ms, %d sent, %s\n", count,
              size / 1024, act, rss0, RssMiB(), PeakMiB(), static_cast<long long>(clock.elapsed()), sent,
              b.box.connections == before ? "connection kept" : "connection dropped by the host");
  b.Disconnect();
  return 0;
}

// One body just below 16 MiB: an array of eight million numbers. The box
// builds it first and writes it in pieces as they leave, so that the peak
// counts what the host keeps of it, not the box's copies.
int OneBigBody(Bench& b) {
  if (!b.Connect()) return 1;
  b.log.watch("CTransCtrl::EncParamChanged");
  b.log.watch("Unmatch header format");
  b.log.watch("act 84: body of");
  QByteArray array = "[";
  array.reserve(16 * 1024 * 1024);
  while (array.size() < 16 * 1024 * 1024 - 64) array += "0,";
  array += "0]";
  const QByteArray body = R"({"MaxWidth":1920,"a":)" + array + "}";
  array.clear();
  array.squeeze();
  const QByteArray message = SimFrame{900, 84, false, body}.encode();
  b.Settle(300);
  ResetPeak();
  const double rss0 = RssMiB();
  const int seen = b.log.count("CTransCtrl::EncParamChanged");
  const int notesBefore = b.notes.count.load();
  QElapsedTimer clock;
  clock.start();
  constexpr int kPiece = 64 * 1024;
  for (int at = 0; at < message.size() && b.box.connections == 1; at += kPiece) {
    b.box.write(message.mid(at, kPiece));
    SpinEventsUntil([&] { return b.box.drained(); }, 5000);
  }
  SpinEventsUntil([&] { return b.log.count("CTransCtrl::EncParamChanged") > seen || b.log.count("Unmatch header format") > 0 ||
                              b.log.count("act 84: body of") > 0; },
                  2000);
  const qint64 ms = clock.elapsed();
  // The session must go on over the same connection.
  b.Settle(300);
  const char* outcome = b.log.count("Unmatch header format") > 0 ? "refused at the header"
                        : b.log.count("act 84: body of") > 0      ? "read past"
                                                                  : "parsed";
  std::printf("RESULT bigbody %d bytes: host took %lld ms; RSS %.0f MiB, peak %.0f MiB (+%.0f); %s; %d connection(s), "
              "%d notification(s)\n",
              static_cast<int>(body.size()), static_cast<long long>(ms), rss0, PeakMiB(), PeakMiB() - rss0, outcome,
              b.box.connections, b.notes.count.load() - notesBefore);
  return 0;
}

// Pulls of a 1920x1080 screen with the box asking for `ratio`.
int AspectPulls(Bench& b, const char* ratio) {
  RootPainter painter;
  if (!painter.Fits(kW, kH)) {
    std::fprintf(stderr, "needs a %dx%d X screen\n", kW, kH);
    return 1;
  }
  painter.PaintPicture(ContentPicture(ScreenContent::TextPage, kW, kH, 0), kW, kH);
  if (!b.Share()) return 1;
  b.box.request(84, QByteArray(R"({"MaxWidth":1920,"MaxHeight":1920,"H264Profile":2,"AspectRatio":)") + ratio + "}");
  b.Settle(500);
  std::vector<double> ms;
  for (int i = 0; i < 40; ++i) {
    const double took = b.Pull(false, i);
    if (took < 0) return 1;
    ms.push_back(took);
  }
  const BenchStats stats = Summarise(ms);
  std::printf("RESULT aspect %s: pull median %.1f ms, p95 %.1f ms; peak RSS %.0f MiB\n", ratio, stats.p50, stats.p95,
              PeakMiB());
  b.Disconnect();
  return 0;
}

// 1,000 key-frame requests to a host whose box reads nothing, all at once;
// then the box reads again and must get every answer.
int NoReader(Bench& b) {
  RootPainter painter;
  if (painter.Fits(kW, kH)) painter.PaintPicture(ContentPicture(ScreenContent::TextPage, kW, kH, 3), kW, kH);
  if (!b.Share()) return 1;
  b.log.watch("send a frame sn:");
  b.log.watch("frame requests wait:");
  b.Settle(300);
  ResetPeak();
  const double rss0 = RssMiB();
  const int framesBefore = b.box.frames;
  b.box.setReading(false);
  for (int i = 0; i < 1000; ++i)
    b.box.request(81, SimAnswer::Json({{QStringLiteral("IFrame"), 1}, {QStringLiteral("SN"), 5000 + i}}));
  // Until the host holds back, and a while longer: it must stay there.
  SpinEventsUntil([&] { return b.log.count("frame requests wait:") > 0 || b.log.count("send a frame sn:") >= 1000; },
                  120000);
  b.Settle(3000);
  const double rss1 = RssMiB();
  const int sent = b.log.count("send a frame sn:");
  b.box.setReading(true);
  QElapsedTimer clock;
  clock.start();
  SpinEventsUntil([&] { return b.box.frames - framesBefore >= 1000; }, 120000);
  const qint64 drainMs = clock.elapsed();
  std::printf("RESULT noread 1000 key frames: RSS %.0f -> %.0f MiB (+%.0f), peak %.0f MiB; %d sent before the host "
              "held back (%s); after reading again %d of 1000 answered in %lld ms\n",
              rss0, rss1, rss1 - rss0, PeakMiB(), sent, b.log.count("frame requests wait:") > 0 ? "held" : "never held",
              b.box.frames - framesBefore, static_cast<long long>(drainMs));
  b.Disconnect();
  return 0;
}

// 10,000 frame requests at once, 1920x1080: every one answered, how fast.
int BurstAnswered(Bench& b) {
  if (!b.Share()) return 1;
  const int before = b.box.frames;
  QByteArray burst;
  for (int i = 0; i < 10000; ++i)
    burst += SimFrame{static_cast<quint16>(100 + i), 81, false,
                      SimAnswer::Json({{QStringLiteral("IFrame"), 0}, {QStringLiteral("SN"), i}})}
                 .encode();
  const double rss0 = RssMiB();
  QElapsedTimer clock;
  clock.start();
  b.box.write(burst);
  SpinEventsUntil([&] { return b.box.frames - before >= 10000; }, 600000);
  std::printf("RESULT burst 10000 requests: %d answered in %lld ms; RSS %.0f -> %.0f MiB, peak %.0f MiB; "
              "%d connection(s)\n",
              b.box.frames - before, static_cast<long long>(clock.elapsed()), rss0, RssMiB(), PeakMiB(),
              b.box.connections);
  b.Disconnect();
  return 0;
}

int RunScenario(const QString& name) {
  Bench b;
  GetCorvaneSDK().init(&b.log, nullptr);
  int rc = 2;
  if (name == "stop") rc = StopBehindRequests(b);
  if (name == "dupkeys-200k") rc = DuplicateKeys(b, 400, 200 * 1024, 84);
  if (name == "dupkeys-60k") rc = DuplicateKeys(b, 400, 60 * 1024, 84);
  if (name == "unknown-act-60k") rc = DuplicateKeys(b, 400, 60 * 1024, 99);
  if (name == "bigbody") rc = OneBigBody(b);
  if (name == "aspect-0") rc = AspectPulls(b, "0");
  if (name == "aspect-0.0625") rc = AspectPulls(b, "0.0625");
  if (name == "aspect-16") rc = AspectPulls(b, "16");
  if (name == "noread") rc = NoReader(b);
  if (name == "burst") rc = BurstAnswered(b);
  if (rc == 2) std::fprintf(stderr, "unknown scenario %s\n", qPrintable(name));
  if (rc == 1) std::printf("RESULT %s: FAILED to set up\n", qPrintable(name));
  std::fflush(stdout);
  b.ctrl.setCallBack(nullptr);
  GetCorvaneSDK().init(nullptr, nullptr);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList scenarios = app.arguments().mid(1);
  if (scenarios.size() == 1) return RunScenario(scenarios.front());
  if (scenarios.isEmpty())
    scenarios = QStringList{"stop", "dupkeys-200k", "dupkeys-60k", "unknown-act-60k", "bigbody",
                 "aspect-0", "aspect-0.0625", "aspect-16", "noread", "burst"};
  for (const QString& scenario : scenarios) {
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(app.applicationFilePath(), {scenario});
    child.waitForFinished(300000);
    for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
      if (line.startsWith("RESULT ")) std::printf("%s\n", line.mid(7).constData());
    std::fflush(stdout);
  }
  return 0;
}
