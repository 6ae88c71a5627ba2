// The lines both writers of the scribe tests write, and their check.
#pragma once

#include <platform/Scribe.h>

#include <cstdarg>
#include <string>

// Long enough that a torn write would show, short enough for many lines.
inline const std::string& TestPayload() {
  static const std::string payload(180, 'p');
  return payload;
}

inline int WriteVa(int level, const char* module, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int n = ScribeWrite(level, module, fmt, args);
  va_end(args);
  return n;
}

inline void WriteTestLine(int level, const char* tag, int thread, int n) {
  WriteVa(level, "Test", "%s-%d-%d %s|", tag, thread, n, TestPayload().c_str());
}
