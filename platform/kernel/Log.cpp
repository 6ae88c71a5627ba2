#include <platform/Log.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

void WriteToStderr(const char* line) { std::fprintf(stderr, "%s\n", line); }

std::atomic<PlatformLogSink> g_sink{WriteToStderr};

}  // namespace

PlatformLogSink SetPlatformLogSink(PlatformLogSink sink) {
  return g_sink.exchange(sink != nullptr ? sink : WriteToStderr);
}

bool ReplacePlatformLogSink(PlatformLogSink expected, PlatformLogSink sink) {
  PlatformLogSink current = expected != nullptr ? expected : WriteToStderr;
  return g_sink.compare_exchange_strong(current, sink != nullptr ? sink : WriteToStderr);
}

void PlatformLog(const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    va_end(again);
    g_sink.load()(small);
    return;
  }
  std::string large(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&large[0], large.size(), format, again);
  va_end(again);
  g_sink.load()(large.c_str());
}
