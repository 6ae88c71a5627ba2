// A log sink for the SDK that keeps every line, for checks on what it logged.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "FWInterfaces.h"

class RecordingLog : public FWlogger {
 public:
  struct Line {
    int level;
    std::string module;
    std::string text;
  };

  void writeLog(int level, const char* module, const char* fmt, va_list args) override {
    char text[1024];
    std::vsnprintf(text, sizeof(text), fmt, args);
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back({level, module != nullptr ? module : "", text});
  }

  // Whether a line with exactly this text, level and module was written.
  bool Has(int level, const std::string& text, const std::string& module = "ScreenShr") {
    std::lock_guard<std::mutex> hold(lock_);
    for (const Line& line : lines_)
      if (line.level == level && line.text == text && line.module == module) return true;
    return false;
  }

  bool HasPrefix(int level, const std::string& prefix) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const Line& line : lines_)
      if (line.level == level && line.text.rfind(prefix, 0) == 0) return true;
    return false;
  }

 private:
  std::mutex lock_;
  std::vector<Line> lines_;
};
