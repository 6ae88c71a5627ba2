// The trap that keeps X errors from ending the process.
#pragma once

#include <string>

struct _XDisplay;

// Records X errors on one display while alive. Xlib reports errors
// asynchronously, so Failed() syncs before it answers.
class XErrorTrap {
 public:
  explicit XErrorTrap(_XDisplay* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  bool Failed();
  // Failed() without the sync, for a trap whose last request was answered by
  // a reply that has just been read: the server answers in order, so every
  // error of the trap's requests came in before that reply. Saves a round
  // trip on calls made every capture tick.
  bool FailedByReply();
  // "BadWindow (request 15)" style text of the first error, for log lines.
  std::string Text() const;

 private:
  _XDisplay* display_;
  int errorCode_ = 0;
  int requestCode_ = 0;
  bool checked_ = false;
};

// Xlib's handler is process-wide: installed once, before the first connection.
void InstallXErrorHandler();
// A closed display's recorded errors go with it: the next connection may get its address.
void ForgetXErrors(_XDisplay* display);
