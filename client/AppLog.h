// The client's log: the sink it lends to the SDK and its own log functions.
#pragma once

#include <cstdarg>

#include "FWInterfaces.h"

// Hands every line unchanged to the log files; holds no state, so it may be
// used before the files open and after they close, from any thread.
class CAppLog : public FWlogger {
 public:
  void writeLog(int level, const char* module, const char* fmt, va_list args) override;
};

extern CAppLog theAppLog;

// Module "Corvane": levels 0, 1, 2, 3.
void AppLogDbg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void AppLogInf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void AppLogWar(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void AppLogErr(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Module "Main": levels 0 and 3.
void MainLogDbg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void MainLogErr(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Opens ./log/Corvane.log and ./log/Corvane.err under the working folder, sets
// their limits, sends the platform layer's lines there (as warnings of module
// "Corvane") and writes the start banner. False when the main log did not
// open; the client runs on without it, platform lines on stderr.
bool OpenAppLog();
