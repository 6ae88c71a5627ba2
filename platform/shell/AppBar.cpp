// SHAppBarMessage: the taskbar read from the X desktop's work area.
#include <QtGlobal>

#include <platform/Shell.h>
#include <platform/Log.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"

namespace {

struct Taskbar {
  bool found = false;
  UINT edge = ABE_BOTTOM;
  RECT rc = {0, 0, 0, 0};
};

}  // namespace

// The 32-bit CARDINALs of a root property (Xlib hands them out as longs).
static bool ReadCardinals(Display* display, Window root, const char* name, long* values, unsigned long wanted,
                          unsigned long* count) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* raw = nullptr;
  const int status = XGetWindowProperty(display, root, atom, 0, static_cast<long>(wanted), False, XA_CARDINAL, &type,
                                        &format, &items, &after, &raw);
  const XFreePtr<unsigned char> data(raw);
  if (status != Success || type != XA_CARDINAL || format != 32 || !data) return false;
  const long* longs = reinterpret_cast<const long*>(data.get());
  *count = std::min(items, wanted);
  for (unsigned long i = 0; i < *count; ++i) values[i] = longs[i];
  return true;
}

static void Consider(Taskbar* best, UINT edge, long left, long top, long right, long bottom) {
  const long long area = static_cast<long long>(right - left) * (bottom - top);
  const long long bestArea =
      best->found ? static_cast<long long>(best->rc.right - best->rc.left) * (best->rc.bottom - best->rc.top) : 0;
  if (area <= bestArea) return;
  best->found = true;
  best->edge = edge;
  best->rc = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
}

static Taskbar FindTaskbar() {
  Taskbar taskbar;
  // Our X connections share one error handler that records per connection.
  DisplayPtr display = OpenDisplay();
  if (!display) return taskbar;
  XErrorTrap trap(display.get());
  const Window root = DefaultRootWindow(display.get());
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display.get(), root, &attributes) || trap.Failed()) {
    PlatformLog("shell: the root window's size could not be read");
    return taskbar;
  }
  const long width = attributes.width;
  const long height = attributes.height;

  // _NET_WORKAREA holds x, y, width, height for each desktop.
  long desktop = 0;
  unsigned long count = 0;
  if (!ReadCardinals(display.get(), root, "_NET_CURRENT_DESKTOP", &desktop, 1, &count) || count != 1 ||
      desktop < 0 || desktop > 64)
    desktop = 0;
  long areas[4 * 65];
  if (!ReadCardinals(display.get(), root, "_NET_WORKAREA", areas, 4 * 65, &count) || trap.Failed() || count < 4)
    return taskbar;
  const long* area = static_cast<unsigned long>(4 * desktop + 4) <= count ? areas + 4 * desktop : areas;
  const long x = area[0], y = area[1], w = area[2], h = area[3];
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > width || y + h > height) {
    PlatformLog("shell: work area %ld,%ld %ldx%ld does not lie on the %ldx%ld screen, ignored", x, y, w, h, width,
             height);
    return taskbar;
  }
  // Panels on several edges: the largest is the taskbar; on equal size the
  // order here decides, bottom first as Windows places it.
  if (y + h < height) Consider(&taskbar, ABE_BOTTOM, 0, y + h, width, height);
  if (y > 0) Consider(&taskbar, ABE_TOP, 0, 0, width, y);
  if (x > 0) Consider(&taskbar, ABE_LEFT, 0, 0, x, height);
  if (x + w < width) Consider(&taskbar, ABE_RIGHT, x + w, 0, width, height);
  return taskbar;
}

UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data) {
  if (message == ABM_GETSTATE) return FindTaskbar().found ? ABS_ALWAYSONTOP : 0;
  if (message != ABM_GETTASKBARPOS || !data) return 0;
  const Taskbar taskbar = FindTaskbar();
  data->uEdge = taskbar.edge;
  data->rc = taskbar.rc;
  return taskbar.found ? TRUE : FALSE;
}
