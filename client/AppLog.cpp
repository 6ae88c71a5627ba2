#include "AppLog.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

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
  AppLogDbg("---------- Corvane running... (pid:%d)----------", static_cast<int>(QCoreApplication::applicationPid()));
  return true;
}
