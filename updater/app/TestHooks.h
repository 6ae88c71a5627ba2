// Tests of the real program shorten its waits and slow chosen steps through
// the environment, "CORVANE_UPDATE_TEST_<NAME>=<number>". Unset (the product),
// every hook gives the program's own value.
#pragma once

// The hook's value, or `productValue` when it is unset or not a whole number
// (a bad value is logged and ignored).
long UpdaterTestHook(const char* name, long productValue);

// Waits for the hook's milliseconds when set: tests hold the program at a
// named step long enough to act there; the product never waits.
void UpdaterTestPause(const char* name);

// Where the hook CRASH (one of these) makes the program fault, so tests see
// a crash on each kind of thread end the process with its dump.
enum { kTestCrashUpdateThread = 1, kTestCrashTransferThread = 2, kTestCrashTraceWriter = 3 };
// Faults when the hook names `where` (the writer faults in its next pass,
// after this returns); the product never does.
void UpdaterTestCrash(long where);
