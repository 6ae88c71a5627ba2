#include "TestHooks.h"

#include <platform/Kernel.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "Trace.h"

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

void UpdaterTestPause(const char* name) {
  const long ms = UpdaterTestHook(name, 0);
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}
