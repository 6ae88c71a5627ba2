#include "TestHooks.h"

#include <platform/ExceptionFilter.h>
#include <platform/Kernel.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "Trace.h"
#include "TraceManager.h"

long UpdaterTestHook(const char* name, long productValue) {
  const std::string variable = std::string("CORVANE_UPDATE_TEST_") + name;
  const char* text = std::getenv(variable.c_str());
  if (text == nullptr || *text == '\0') return productValue;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0') {
    TraceErr("test hook %s=%s is no number, ignored", variable.c_str(), text);
    return productValue;
  }
  return value;
}

void UpdaterTestCrash(long where) {
  static const long crashAt = UpdaterTestHook("CRASH", 0);
  if (crashAt != where) return;
  // What was logged before is on disk by now, as in a run that has been
  // going for a while: the dump's trailer must show it.
  Sleep(300);
  TraceErr("test hook: crash at %ld", where);
  if (where == kTestCrashTraceWriter) {
    TheTraceManager().FaultWriterForTests();
    return;
  }
  FaultForTests();
}

void UpdaterTestPause(const char* name) {
  const long ms = UpdaterTestHook(name, 0);
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}
