// The trace log's facade over the process's CTraceManager, and the
// printf-style front-ends every updater module logs through. Wide texts are
// passed as UTF-8 with "%s".
#pragma once

#include <cstdarg>

struct STraceCfg;

bool StartTrace(const STraceCfg* cfg);
void StopTrace();
int GetLastLogData(char* buf, int len);
// The tail on disk, safe inside a crash handler on any thread.
int GetLastLogDataInCrash(char* buf, int len);
int GetLastErrLogData(char* buf, int len, bool deleteAfter);
void TraceMsgV(int level, const char* module, const char* fmt, va_list args);
// True: the platform layer's lines (HTTP, kernel, windows) go into this log
// as warnings while it runs; false: to stderr again.
void RoutePlatformLogToTrace(bool route);

void TraceErr(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void TraceWar(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void TraceInf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void TraceDbg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
