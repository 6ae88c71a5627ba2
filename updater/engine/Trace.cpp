#include "Trace.h"

#include <platform/Log.h>

#include <cstdio>

#include "TraceManager.h"

namespace {

const char kModule[] = "DownLoad";

// Called from any thread, the writer's included (its file mutex logs), and
// from platform calls that queuing a line makes. Queuing never waits for the
// writer; a line raised while this thread is already queuing one, or while
// the log is off, goes to stderr, so nothing recurses.
void PlatformLine(const char* line) {
  thread_local bool inside = false;
  if (inside || !TheTraceManager().IsTracing()) {
    std::fprintf(stderr, "%s\n", line);
    return;
  }
  inside = true;
  TraceWar("%s", line);
  inside = false;
}

}  // namespace

bool StartTrace(const STraceCfg* cfg) { return TheTraceManager().Start(cfg); }

void StopTrace() { TheTraceManager().Stop(); }

int GetLastLogData(char* buf, int len) { return TheTraceManager().ReadLastLog(buf, len); }
int GetLastLogDataInCrash(char* buf, int len) { return TheTraceManager().ReadLastLogInCrash(buf, len); }

int GetLastErrLogData(char* buf, int len, bool deleteAfter) {
  return TheTraceManager().ReadLastErrLog(buf, len, deleteAfter);
}

void RoutePlatformLogToTrace(bool route) { SetPlatformLogSink(route ? PlatformLine : nullptr); }

void TraceMsgV(int level, const char* module, const char* fmt, va_list args) {
  TheTraceManager().Trace(level, module, fmt, args);
}

#define CORVANE_TRACE_FRONT_END(name, level)          \
  void name(const char* fmt, ...) {                   \
    va_list args;                                     \
    va_start(args, fmt);                              \
    TheTraceManager().Trace(level, kModule, fmt, args); \
    va_end(args);                                     \
  }

CORVANE_TRACE_FRONT_END(TraceErr, CTraceManager::kLevelErr)
CORVANE_TRACE_FRONT_END(TraceWar, CTraceManager::kLevelWar)
CORVANE_TRACE_FRONT_END(TraceInf, CTraceManager::kLevelInf)
CORVANE_TRACE_FRONT_END(TraceDbg, CTraceManager::kLevelDbg)
