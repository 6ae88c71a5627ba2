#include <platform/Errand.h>

#include <cstdarg>
#include <mutex>

#include "FWInterfaces.h"

namespace {

class LocalErrand final : public Errand {
 public:
  int init(FWlogger* log, FWCfgger* cfg, const QString& name, const QString& version,
           const QString& usrId) override {
    FWlogger* sink = Record([&](ErrandRecord& record) {
      record.log = log;
      record.cfg = cfg;
      record.name = name;
      record.version = version;
      record.usrId = usrId;
    });
    Log(sink, "init name:%s, version:%s, usrId:%s", qUtf8Printable(name), qUtf8Printable(version),
        qUtf8Printable(usrId));
    return 0;
  }
  void reserved1() override {}
  void setServers(const QByteArray& list) override {
    FWlogger* sink = Record([&](ErrandRecord& record) { record.servers = list; });
    Log(sink, "setServers %s (reports are kept local)", list.constData());
  }
  void setLocalIp(const QString& ip) override {
    FWlogger* sink = Record([&](ErrandRecord& record) { record.localIp = ip; });
    Log(sink, "setLocalIp %s", qUtf8Printable(ip));
  }
  void setTypeCode(int code) override {
    FWlogger* sink = Record([&](ErrandRecord& record) { record.typeCode = code; });
    Log(sink, "setTypeCode %d", code);
  }
  void setClientIp(const QString& ip) override {
    FWlogger* sink = Record([&](ErrandRecord& record) { record.clientIp = ip; });
    Log(sink, "setClientIp %s", qUtf8Printable(ip));
  }
  void reserved6() override {}
  void setLogFile(const QString& text) override {
    FWlogger* sink = Record([&](ErrandRecord& record) { record.logFile = text; });
    Log(sink, "setLogFile %s", qUtf8Printable(text));
  }
  void reserved8() override {}
  void reserved9() override {}
  void stop() override {
    FWlogger* sink = Record([](ErrandRecord& record) { record.stopped = true; });
    Log(sink, "stop");
  }

  ErrandRecord Read() {
    std::lock_guard<std::mutex> lock(mutex_);
    return record_;
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    record_ = ErrandRecord();
  }

 private:
  // Counts the call and applies change under the lock; returns the sink to
  // log it through once the lock is released, so a sink that blocks or calls
  // back in holds up no other caller.
  template <typename Change>
  FWlogger* Record(Change change) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    change(record_);
    return record_.log;
  }

  // The sink accepts calls from any thread.
  __attribute__((format(printf, 2, 3))) static void Log(FWlogger* sink, const char* fmt, ...) {
    if (!sink) return;
    va_list args;
    va_start(args, fmt);
    sink->writeLog(0, "Errand", fmt, args);
    va_end(args);
  }

  std::mutex mutex_;
  ErrandRecord record_;
};

// Never destroyed: the client calls stop while it exits, after globals may be gone.
LocalErrand& Instance() {
  static LocalErrand* errand = new LocalErrand;
  return *errand;
}

}  // namespace

Errand* getErrand() { return &Instance(); }

ErrandRecord ErrandReadRecord() { return Instance().Read(); }

void ErrandResetRecord() { Instance().Reset(); }
