// A log sink that keeps every line, for checks on what the SDK logged.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "FWInterfaces.h"

struct LoggedLine {
  int level;
  std::string module;
  std::string text;
};

class RecordingLogger : public FWlogger {
 public:
  void writeLog(int level, const char* module, const char* fmt, va_list args) override {
    char text[1024];
    std::vsnprintf(text, sizeof(text), fmt, args);
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back({level, module ? module : "", text});
  }

  std::vector<LoggedLine> lines() {
    std::lock_guard<std::mutex> hold(lock_);
    return lines_;
  }

  bool has(const std::string& text) {
    for (const LoggedLine& line : lines())
      if (line.text == text) return true;
    return false;
  }

 private:
  std::mutex lock_;
  std::vector<LoggedLine> lines_;
};
