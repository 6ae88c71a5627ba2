#include "XConnection.h"

#include <platform/Kernel.h>
#include <platform/Log.h>

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>

#include <cstdlib>

#include "XErrorTrap.h"

namespace {

struct ThreadConnection {
  DisplayPtr display;
  bool tried = false;
};

}  // namespace

void CloseDisplay(_XDisplay* display) {
  // Closing flushes requests whose errors are still recorded under this display.
  XCloseDisplay(display);
  ForgetXErrors(display);
}

DisplayPtr OpenDisplay() {
  InstallXErrorHandler();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    PlatformLog("x11: XOpenDisplay(%s) failed", name != nullptr ? name : "");
    return nullptr;
  }
  return DisplayPtr(display);
}

_XDisplay* ThreadDisplay() {
  thread_local ThreadConnection connection;
  if (!connection.tried) {
    connection.tried = true;
    connection.display = OpenDisplay();
  }
  return connection.display.get();
}

_XDisplay* DisplayOrFail(DWORD error) {
  Display* display = ThreadDisplay();
  if (display == nullptr) SetLastError(error);
  return display;
}

xcb_connection_t* XcbConnectionOf(_XDisplay* display) { return XGetXCBConnection(display); }
