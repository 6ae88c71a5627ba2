#include "SdkLog.h"

#include <platform/Log.h>

#include <atomic>
#include <cstdarg>

#include "FWInterfaces.h"

namespace {

std::atomic<FWlogger*> g_log{nullptr};
std::atomic<FWCfgger*> g_cfg{nullptr};

void Write(int level, const char* module, const char* fmt, va_list args) {
  FWlogger* log = g_log.load(std::memory_order_acquire);
  if (log) log->writeLog(level, module, fmt, args);
}

void PlatformLine(const char* line) { sdkLogWarn("%s", line); }

}  // namespace

void SetSdkLogger(FWlogger* log) {
  g_log.store(log, std::memory_order_release);
  // What the platform layer saw (a capture falling back, a settings file
  // refused) belongs in the host's log; without one it goes to stderr again.
  // A host that installed its own sink keeps it: it outlives this logger.
  if (log != nullptr) {
    ReplacePlatformLogSink(nullptr, PlatformLine);
  } else {
    ReplacePlatformLogSink(PlatformLine, nullptr);
  }
}
void SetSdkCfgger(FWCfgger* cfg) { g_cfg.store(cfg, std::memory_order_release); }

#define CORVANE_LOG_HELPER(name, level, module) \
  void name(const char* fmt, ...) {             \
    va_list args;                               \
    va_start(args, fmt);                        \
    Write(level, module, fmt, args);            \
    va_end(args);                               \
  }

CORVANE_LOG_HELPER(sdkLog, 0, "Corvane")
CORVANE_LOG_HELPER(sdkLogWarn, 2, "Corvane")
CORVANE_LOG_HELPER(shareLog, 0, "ScreenShr")
CORVANE_LOG_HELPER(shareLogErr, 3, "ScreenShr")
CORVANE_LOG_HELPER(shareLogWarn, 2, "ScreenShr")
