// The client's log-report library. This build's stand-in sends nothing: it
// opens no socket, logs every call through the sink it was given and keeps a
// record of what it was told.
#pragma once

#include <QByteArray>
#include <QString>

class FWlogger;
class FWCfgger;

class Errand {
 public:
  // Slot order is the library's; the unnamed slots are ones the client never calls.
  virtual int init(FWlogger* log, FWCfgger* cfg, const QString& name, const QString& version,
                   const QString& usrId) = 0;                 // 0
  virtual void reserved1() = 0;                               // 1
  virtual void setServers(const QByteArray& list) = 0;        // 2: "host:port;host:port"
  virtual void setLocalIp(const QString& ip) = 0;             // 3
  virtual void setTypeCode(int code) = 0;                     // 4
  virtual void setClientIp(const QString& ip) = 0;            // 5
  virtual void reserved6() = 0;                               // 6
  virtual void setLogFile(const QString& text) = 0;           // 7
  virtual void reserved8() = 0;                               // 8
  virtual void reserved9() = 0;                               // 9
  virtual void stop() = 0;                                    // 10: returns at once

 protected:
  ~Errand() = default;
};

// The one report object; the same pointer on every call, from any thread.
Errand* getErrand();

// What the stand-in was told, for tests.
struct ErrandRecord {
  FWlogger* log = nullptr;
  FWCfgger* cfg = nullptr;
  QString name;
  QString version;
  QString usrId;
  QByteArray servers;
  QString localIp;
  int typeCode = 0;
  QString clientIp;
  QString logFile;
  bool stopped = false;
  int calls = 0;
};
ErrandRecord ErrandReadRecord();
void ErrandResetRecord();
