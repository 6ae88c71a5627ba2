// A host log sink that keeps every line, for checks on what was logged.
// Platform lines reach it too while the SDK has it (SetSdkLogger).
#pragma once

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "FWInterfaces.h"

class RecordingLog final : public FWlogger {
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

  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> hold(lock_);
    return lines_;
  }

  // A line with exactly this text, at any level and from any module.
  bool HasText(const std::string& text) {
    for (const Line& line : Lines())
      if (line.text == text) return true;
    return false;
  }

  // A line with exactly this text, level and module.
  bool Has(int level, const std::string& text, const std::string& module = "ScreenShr") {
    for (const Line& line : Lines())
      if (line.level == level && line.text == text && line.module == module) return true;
    return false;
  }

  int CountPrefix(const std::string& prefix) {
    int count = 0;
    for (const Line& line : Lines()) count += line.text.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }

  bool HasPrefix(int level, const std::string& prefix) {
    for (const Line& line : Lines())
      if (line.level == level && line.text.rfind(prefix, 0) == 0) return true;
    return false;
  }

 private:
  std::mutex lock_;
  std::vector<Line> lines_;
};
