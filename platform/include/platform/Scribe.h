// The client's log files: a main log and an error log that also receives
// every error line. Callers never see a failure: a line that cannot be written
// is dropped.
#pragma once

#include <cstdarg>

constexpr int kScribePathSize = 260;
constexpr int kScribeLogPathsSize = 524;

// paths[0] is the main log, paths[1] the error log; either may be empty (no
// such file). Non-zero when the main log is open. Opening again closes the
// previous files first.
int ScribeOpen(const char paths[2][kScribePathSize]);
// Every line written so far is in the files; later calls are dropped.
void ScribeClose();
// One line: time, level (0 DBG, 1 INF, 2 WAR, 3 ERR), module, thread id and
// the formatted text, appended whole by one write so that threads and other
// processes on the same files never interleave. Level 3 and above also goes to
// the error log. Safe from any thread at any time, before open and after close
// included (then nothing is written). Returns the bytes written to the main log.
int ScribeWrite(int level, const char* module, const char* fmt, va_list args);
// Copies the last min(size, file size) bytes of the main log into buffer and
// returns the count (0 while closed). Takes no lock and allocates nothing, so
// a crash handler may call it.
int ScribeReadTail(char* buffer, int size);
// file 0 is the main log, 1 the error log; maxBytes <= 0 lifts the limit. A
// file that would pass it is renamed to "<name>.1" (replacing the older one)
// and started anew; a single line longer than the limit is cut to fit.
// Non-zero when file names a log.
int ScribeSetMaxSize(int file, int maxBytes);
// The lines written so far reach the disk.
void ScribeFlush();
// "<main>;<error>" into buffer (kScribeLogPathsSize bytes), NUL-terminated
// and cut to fit; empty while closed. Returns the length.
int ScribeGetLogPaths(char* buffer);
