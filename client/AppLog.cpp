#include "AppLog.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

#include <platform/Log.h>
#include <platform/Scribe.h>

CAppLog theAppLog;

void CAppLog::writeLog(int level, const char* module, const char* fmt, va_list args) {
  ScribeWrite(level, module, fmt, args);
}

#define CORVANE_LOG_FUNCTION(name, level, module) \
  void name(const char* fmt, ...) {               \
    va_list args;                                 \
    va_start(args, fmt);                          \
    ScribeWrite(level, module, fmt, args);        \
    va_end(args);                                 \
  }

CORVANE_LOG_FUNCTION(AppLogDbg, 0, "Corvane")
CORVANE_LOG_FUNCTION(AppLogInf, 1, "Corvane")
CORVANE_LOG_FUNCTION(AppLogWar, 2, "Corvane")
CORVANE_LOG_FUNCTION(AppLogErr, 3, "Corvane")
CORVANE_LOG_FUNCTION(MainLogDbg, 0, "Main")
CORVANE_LOG_FUNCTION(MainLogErr, 3, "Main")

#undef CORVANE_LOG_FUNCTION

namespace {

// ScribeWrite takes its own lock and reports its own failures to stderr, so
// any thread may call this, several at once, and it never logs into itself.
void PlatformLine(const char* line) { AppLogWar("%s", line); }

}  // namespace

bool OpenAppLog() {
  const QString logDir = QStringLiteral("./log/");
  QDir().mkpath(logDir);
  const QByteArray dir = logDir.toLocal8Bit();
  char paths[2][kScribePathSize] = {};
  snprintf(paths[0], kScribePathSize, "%s%s", dir.constData(), "Corvane.log");
  snprintf(paths[1], kScribePathSize, "%s%s", dir.constData(), "Corvane.err");
  if (ScribeOpen(paths) == 0) return false;
  ScribeSetMaxSize(0, 5242880);
  ScribeSetMaxSize(1, 20480);
  // One sink per process, and the program's wins: it is in place from here,
  // before the SDK's init, and stays if the SDK drops its logger. The SDK lends
  // the platform its host's log only where the host installed none; its lines
  // would read the same here.
  SetPlatformLogSink(PlatformLine);
  AppLogDbg("---------- Corvane running... (pid:%d)----------", static_cast<int>(QCoreApplication::applicationPid()));
  return true;
}
