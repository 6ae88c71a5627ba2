#include <platform/DeviceCaps.h>
#include <platform/Log.h>
#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/Log.h>

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <cmath>

#include "DisplayDc.h"
#include "DrawDc.h"
#include "GdiObject.h"
#include "WindowDc.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The screen DC of GetDC(nullptr): it answers GetDeviceCaps, asking the
// calling thread's X connection each time, and measures text; nothing is
// drawn through it.
class ScreenDc : public DrawDc {
 public:
  bool Surface(DrawSurface*) override { return false; }
};

// Xft.dpi of the resource database the desktop keeps on the root window
// (xrdb). Read from the property, not from the copy Xlib took when the
// connection opened, so that a later xrdb counts. 0 when not set or not a number.
int XftDpi(Display* display) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  XErrorTrap trap(display);
  const int status = XGetWindowProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, 0, 1 << 20,
                                        False, XA_STRING, &type, &format, &count, &after, &raw);
  const XFreePtr<unsigned char> data(raw);
  if (status != Success || trap.Failed() || !data) return 0;
  const QByteArray text(reinterpret_cast<const char*>(data.get()), static_cast<int>(count));
  int dpi = 0;
  for (const QByteArray& line : text.split('\n')) {
    const int colon = line.indexOf(':');
    if (colon < 0 || line.left(colon).trimmed() != "Xft.dpi") continue;
    bool ok = false;
    const double value = line.mid(colon + 1).trimmed().toDouble(&ok);
    if (ok && value > 0 && value < 10000) dpi = static_cast<int>(std::lround(value));
    else PlatformLog("gdi: ignoring Xft.dpi resource \"%s\"", line.mid(colon + 1).trimmed().constData());
  }
  return dpi;
}

int ScreenDpi(Display* display) {
  const int dpi = XftDpi(display);
  if (dpi > 0) return dpi;
  const int screen = DefaultScreen(display);
  const int millimetres = DisplayWidthMM(display, screen);
  if (millimetres <= 0) return 96;  // a server that reports no size: the Windows default
  return static_cast<int>(std::lround(DisplayWidth(display, screen) * 25.4 / millimetres));
}

}  // namespace

HDC GetDC(HWND window) {
  if (window != nullptr) {
    const WindowDcSource* source = CurrentWindowDcSource();
    if (source != nullptr && source->owns(window)) return source->getDc(window);
    PlatformLog("gdi: GetDC of an X window is not supported");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Text is measured on a screen DC even where no X server runs (offscreen);
  // GetDeviceCaps then reports 0.
  return static_cast<HDC>(RegisterGdiObject(std::make_shared<ScreenDc>()));
}

int ReleaseDC(HWND window, HDC dc) {
  if (window != nullptr) {
    const WindowDcSource* source = CurrentWindowDcSource();
    if (source != nullptr && source->owns(window)) return source->releaseDc(window, dc);
  }
  if (!LookupGdiAs<ScreenDc>(dc)) return 0;
  UnregisterGdiObject(dc);
  return 1;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!LookupGdiAs<ScreenDc>(dc) && !LookupGdiAs<DisplayDc>(dc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (index != LOGPIXELSX && index != LOGPIXELSY) return 0;
  Display* display = ThreadDisplay();
  return display != nullptr ? ScreenDpi(display) : 0;
}
