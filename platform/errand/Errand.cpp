#include <platform/Errand.h>

#include <cstdarg>
#include <mutex>

#include "FWInterfaces.h"

namespace {

class LocalErrand final : public Errand {
 public:
  int init(FWlogger* log, FWCfgger* cfg, const QString& name, const QString& version,
           const QString& usrId) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.log = log;
    record_.cfg = cfg;
    record_.name = name;
    record_.version = version;
    record_.usrId = usrId;
    Log("init name:%s, version:%s, usrId:%s", qUtf8Printable(name), qUtf8Printable(version),
        qUtf8Printable(usrId));
    return 0;
  }
  void reserved1() override {}
  void setServers(const QByteArray& list) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.servers = list;
    Log("setServers %s (reports are kept local)", list.constData());
  }
  void setLocalIp(const QString& ip) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.localIp = ip;
    Log("setLocalIp %s", qUtf8Printable(ip));
  }
  void setTypeCode(int code) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.typeCode = code;
    Log("setTypeCode %d", code);
  }
  void setClientIp(const QString& ip) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.clientIp = ip;
    Log("setClientIp %s", qUtf8Printable(ip));
  }
  void reserved6() override {}
  void setLogFile(const QString& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.logFile = text;
    Log("setLogFile %s", qUtf8Printable(text));
  }
  void reserved8() override {}
  void reserved9() override {}
  void stop() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.calls;
    record_.stopped = true;
    Log("stop");
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
  // Called with mutex_ held; the sink accepts calls from any thread.
  void Log(const char* fmt, ...) {
    if (!record_.log) return;
    va_list args;
    va_start(args, fmt);
    record_.log->writeLog(0, "Errand", fmt, args);
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
