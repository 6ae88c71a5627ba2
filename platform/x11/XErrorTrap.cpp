#include "XErrorTrap.h"

#include <platform/Log.h>

#include <X11/Xlib.h>

#include <mutex>
#include <unordered_map>

namespace {

struct RecordedError {
  int errorCode = 0;
  int requestCode = 0;
  int trapDepth = 0;
};

// Xlib's handler is process-wide; errors are recorded per display.
std::mutex g_errorsLock;
std::unordered_map<Display*, RecordedError>& Errors() {
  static auto* errors = new std::unordered_map<Display*, RecordedError>;  // lives through exit
  return *errors;
}

int RecordError(Display* display, XErrorEvent* event) {
  std::lock_guard<std::mutex> guard(g_errorsLock);
  RecordedError& record = Errors()[display];
  if (record.trapDepth == 0) {
    // Outside a trap nobody waits for the result, but Xlib's default would end the process.
    PlatformLog("x11: unexpected X error %d, request %d.%d", event->error_code, event->request_code,
                event->minor_code);
    return 0;
  }
  if (record.errorCode == 0) {
    record.errorCode = event->error_code;
    record.requestCode = event->request_code;
  }
  return 0;
}

}  // namespace

void InstallXErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] { XSetErrorHandler(RecordError); });
}

void ForgetXErrors(_XDisplay* display) {
  std::lock_guard<std::mutex> guard(g_errorsLock);
  Errors().erase(display);
}

// Our connections are private and every trap ends synced, so no earlier error
// can still be on its way when a trap starts.
XErrorTrap::XErrorTrap(_XDisplay* display) : display_(display) {
  std::lock_guard<std::mutex> guard(g_errorsLock);
  RecordedError& record = Errors()[display_];
  if (record.trapDepth++ == 0) record.errorCode = record.requestCode = 0;
}

XErrorTrap::~XErrorTrap() {
  if (!checked_) XSync(display_, False);
  std::lock_guard<std::mutex> guard(g_errorsLock);
  --Errors()[display_].trapDepth;
}

bool XErrorTrap::Failed() {
  XSync(display_, False);
  return FailedByReply();
}

bool XErrorTrap::FailedByReply() {
  checked_ = true;
  std::lock_guard<std::mutex> guard(g_errorsLock);
  const RecordedError& record = Errors()[display_];
  errorCode_ = record.errorCode;
  requestCode_ = record.requestCode;
  return errorCode_ != 0;
}

std::string XErrorTrap::Text() const {
  char name[128] = {};
  XGetErrorText(display_, errorCode_, name, sizeof(name));
  return std::string(name) + " (request " + std::to_string(requestCode_) + ")";
}
