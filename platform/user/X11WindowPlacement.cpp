#include "X11WindowPlacement.h"

#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/User.h>

#include <vector>

#include "RegionObject.h"
#include "XAtoms.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XWindowQuery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

namespace {

// EWMH source indication: a pager or similar tool, whose requests window
// managers honour without focus-stealing checks.
constexpr long kSourcePager = 2;
constexpr long kNetWmStateRemove = 0;

Display* DisplayFor(HWND window) {
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr) return nullptr;
  if (!WindowExists(display, XWindowOf(window))) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return display;
}

// A request to the window manager, as EWMH root messages are sent.
bool SendToRoot(Display* display, Window window, const char* type, long l0, long l1, long l2, long l3 = 0) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = AtomNamed(display, type);
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  XErrorTrap trap(display);
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  if (trap.Failed()) {
    PlatformLog("user: %s for window 0x%lx failed: %s", type, window, trap.Text().c_str());
    return false;
  }
  return true;
}

bool Viewable(Display* display, Window window) {
  XWindowAttributes attributes;
  XErrorTrap trap(display);
  return XGetWindowAttributes(display, window, &attributes) != 0 && !trap.Failed() &&
         attributes.map_state == IsViewable;
}

// Without a window manager nobody else updates WM_STATE, and IsIconic reads it.
void MarkNormal(Display* display, Window window) {
  const Atom wmState = AtomNamed(display, "WM_STATE");
  std::vector<unsigned long> state;
  if (!ReadLongs(display, window, wmState, wmState, &state) || state.empty() || state[0] != IconicState) return;
  state[0] = NormalState;
  XErrorTrap trap(display);
  XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(state.data()), static_cast<int>(state.size()));
}

bool Map(Display* display, Window window, bool managed) {
  XErrorTrap trap(display);
  // A window manager takes the map request of an iconic window as a restore.
  XMapWindow(display, window);
  if (trap.Failed()) return false;
  if (!managed) MarkNormal(display, window);
  return true;
}

}  // namespace

BOOL X11RestackBelow(HWND window, HWND sibling) {
  Display* display = DisplayFor(window);
  if (display == nullptr) return FALSE;
  if (!WindowExists(display, XWindowOf(sibling))) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (WindowManagerRuns(display)) {
    // A reparenting window manager stacks frames, which only it may restack.
    return SendToRoot(display, XWindowOf(window), "_NET_RESTACK_WINDOW", kSourcePager,
                      static_cast<long>(XWindowOf(sibling)), Below)
               ? TRUE
               : FALSE;
  }
  const Window top = TopLevelOf(display, XWindowOf(window));
  const Window below = TopLevelOf(display, XWindowOf(sibling));
  XWindowChanges changes{};
  changes.sibling = below;
  changes.stack_mode = Below;
  XErrorTrap trap(display);
  XConfigureWindow(display, top, CWSibling | CWStackMode, &changes);
  if (trap.Failed()) {
    PlatformLog("user: restacking 0x%lx below 0x%lx failed: %s", top, below, trap.Text().c_str());
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL X11ShowWindow(HWND window, int command) {
  Display* display = DisplayFor(window);
  if (display == nullptr) return FALSE;
  const Window id = XWindowOf(window);
  const BOOL wasVisible = Viewable(display, id) ? TRUE : FALSE;
  const bool managed = WindowManagerRuns(display);
  if (command == SW_HIDE) {
    XErrorTrap trap(display);
    // Withdrawing tells a window manager too, which a plain unmap would not.
    XWithdrawWindow(display, id, DefaultScreen(display));
    if (trap.Failed()) PlatformLog("user: hiding 0x%lx failed: %s", id, trap.Text().c_str());
    return wasVisible;
  }
  if (!Map(display, id, managed)) PlatformLog("user: showing 0x%lx failed", id);
  if (command == SW_SHOWNORMAL && managed) {
    SendToRoot(display, id, "_NET_WM_STATE", kNetWmStateRemove,
               static_cast<long>(AtomNamed(display, "_NET_WM_STATE_MAXIMIZED_VERT")),
               static_cast<long>(AtomNamed(display, "_NET_WM_STATE_MAXIMIZED_HORZ")), kSourcePager);
  }
  return wasVisible;
}

BOOL X11BringWindowToTop(HWND window) {
  Display* display = DisplayFor(window);
  if (display == nullptr) return FALSE;
  const Window id = XWindowOf(window);
  if (WindowManagerRuns(display)) {
    // Bringing a top-level window to the top also activates it, as on Windows.
    const bool raised = SendToRoot(display, id, "_NET_RESTACK_WINDOW", kSourcePager, None, Above);
    return raised && SendToRoot(display, id, "_NET_ACTIVE_WINDOW", kSourcePager, CurrentTime, None) ? TRUE : FALSE;
  }
  XErrorTrap trap(display);
  XRaiseWindow(display, TopLevelOf(display, id));
  return trap.Failed() ? FALSE : TRUE;
}

BOOL X11SetForegroundWindow(HWND window) {
  Display* display = DisplayFor(window);
  if (display == nullptr) return FALSE;
  const Window id = XWindowOf(window);
  if (WindowManagerRuns(display)) {
    return SendToRoot(display, id, "_NET_ACTIVE_WINDOW", kSourcePager, CurrentTime, None) ? TRUE : FALSE;
  }
  if (!Map(display, id, false)) return FALSE;
  XErrorTrap trap(display);
  XRaiseWindow(display, id);
  XSetInputFocus(display, id, RevertToParent, CurrentTime);
  if (trap.Failed()) {
    PlatformLog("user: focusing 0x%lx failed: %s", id, trap.Text().c_str());
    return FALSE;
  }
  return TRUE;
}

int X11SetWindowShape(HWND window, HRGN region) {
  Display* display = DisplayFor(window);
  if (display == nullptr) return 0;
  int eventBase = 0, errorBase = 0;
  if (!XShapeQueryExtension(display, &eventBase, &errorBase)) {
    PlatformLog("user: the X server has no SHAPE extension");
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  const Window id = XWindowOf(window);
  XWindowAttributes attributes;
  XErrorTrap trap(display);
  if (!XGetWindowAttributes(display, id, &attributes)) return 0;
  if (region == nullptr) {
    XShapeCombineMask(display, id, ShapeBounding, 0, 0, None, ShapeSet);
    return trap.Failed() ? 0 : 1;
  }
  auto object = LookupGdiAs<RegionObject>(region);
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<XRectangle> rects;
  for (const QRect& rect : object->region) {
    rects.push_back(XRectangle{static_cast<short>(rect.x()), static_cast<short>(rect.y()),
                               static_cast<unsigned short>(rect.width()), static_cast<unsigned short>(rect.height())});
  }
  // Windows measures from the window's corner, X from inside the border.
  const int border = attributes.border_width;
  XShapeCombineRectangles(display, id, ShapeBounding, -border, -border, rects.data(), static_cast<int>(rects.size()),
                          ShapeSet, Unsorted);
  if (trap.Failed()) {
    PlatformLog("user: shaping 0x%lx failed: %s", id, trap.Text().c_str());
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return 1;
}
