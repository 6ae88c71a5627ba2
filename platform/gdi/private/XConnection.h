// X connections of the platform layer and the trap that keeps X errors from
// ending the process.
#pragma once

#include <memory>
#include <string>

struct _XDisplay;

struct DisplayCloser {
  void operator()(_XDisplay* display) const;
};
using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

// Opens $DISPLAY with our error handler in place; null (logged) without a server.
DisplayPtr OpenDisplay();

// The calling thread's connection for window, monitor and cursor queries,
// opened on first use and closed when the thread ends. Null without a server.
_XDisplay* ThreadDisplay();

// Records X errors on one display while alive. Xlib reports errors
// asynchronously, so Failed() syncs before it answers.
class XErrorTrap {
 public:
  explicit XErrorTrap(_XDisplay* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  bool Failed();
  // "BadWindow (request 15)" style text of the first error, for log lines.
  std::string Text() const;

 private:
  _XDisplay* display_;
  int errorCode_ = 0;
  int requestCode_ = 0;
  bool checked_ = false;
};
