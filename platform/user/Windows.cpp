#include <platform/Kernel.h>
#include <platform/User.h>

#include <QVector>
#include <QtGlobal>

#include "QtWindow.h"
#include "RegionObject.h"
#include "XAtoms.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"
#include "XWindowQuery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <vector>

namespace {

Window ToWindow(HWND window) { return XWindowOf(window); }
HWND ToHwnd(Window window) { return HwndOf(window); }

struct StackEntry {
  Window frame;
  Window client;
};

// The top-level windows of the last walk, top first. A walk of GetWindow
// calls reads the stacking order once instead of once per step.
thread_local std::vector<StackEntry> t_stack;

void TakeStack(Display* display) {
  t_stack.clear();
  std::vector<unsigned long> children;
  if (!Children(display, DefaultRootWindow(display), &children)) return;
  std::reverse(children.begin(), children.end());  // top first
  const std::vector<unsigned long> clients = ClientsOf(display, children);
  for (size_t i = 0; i < children.size(); ++i) t_stack.push_back({children[i], clients[i]});
}

int FindInStack(Window window) {
  for (size_t i = 0; i < t_stack.size(); ++i) {
    if (t_stack[i].client == window || t_stack[i].frame == window) return static_cast<int>(i);
  }
  return -1;
}

bool Attributes(Display* display, HWND window, XWindowAttributes* attributes) {
  if (window == nullptr) return false;
  XErrorTrap trap(display);
  return XGetWindowAttributes(display, ToWindow(window), attributes) != 0 && !trap.FailedByReply();
}

}  // namespace

HWND GetTopWindow(HWND parent) {
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr) return nullptr;
  SetLastError(ERROR_SUCCESS);
  if (parent == nullptr) {
    TakeStack(display);
    return t_stack.empty() ? nullptr : ToHwnd(t_stack.front().client);
  }
  std::vector<unsigned long> children;
  if (!Children(display, ToWindow(parent), &children)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return children.empty() ? nullptr : ToHwnd(children.back());
}

HWND GetWindow(HWND window, UINT command) {
  if (command != GW_HWNDNEXT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr) return nullptr;
  int index = FindInStack(ToWindow(window));
  if (index < 0) {
    TakeStack(display);
    index = FindInStack(ToWindow(window));
  }
  if (index < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  const size_t next = static_cast<size_t>(index) + 1;
  return next < t_stack.size() ? ToHwnd(t_stack[next].client) : nullptr;
}

BOOL IsWindowVisible(HWND window) {
  if (IsLayerHandle(window)) return IsLayerWindowVisible(window);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  XWindowAttributes attributes;
  if (display == nullptr || !Attributes(display, window, &attributes)) return FALSE;
  return attributes.map_state == IsViewable ? TRUE : FALSE;
}

LONG GetWindowLongW(HWND window, int index) {
  if (IsLayerHandle(window)) return static_cast<LONG>(GetWindowLongPtrW(window, index));
  if (index != GWL_EXSTYLE && index != GWL_HWNDPARENT) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  XWindowAttributes attributes;
  if (display == nullptr || !Attributes(display, window, &attributes)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index == GWL_HWNDPARENT) {
    SetLastError(ERROR_SUCCESS);
    Window owner = None;
    XErrorTrap trap(display);
    if (!XGetTransientForHint(display, ToWindow(window), &owner) || trap.FailedByReply()) return 0;
    // Transient for the root means a dialog of its whole group: owned all the same.
    // X ids have 29 bits, so the owner fits.
    return static_cast<LONG>(owner);
  }
  LONG style = 0;
  // A window with an alpha channel is blended by the compositor, as a layered window is.
  if (attributes.depth == 32) style |= WS_EX_LAYERED;
  std::vector<unsigned long> types;
  if (ReadLongs(display, ToWindow(window), AtomNamed(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, &types)) {
    const Atom toolTypes[] = {AtomNamed(display, "_NET_WM_WINDOW_TYPE_UTILITY"),
                              AtomNamed(display, "_NET_WM_WINDOW_TYPE_TOOLTIP"),
                              AtomNamed(display, "_NET_WM_WINDOW_TYPE_DOCK")};
    for (unsigned long type : types) {
      if (std::find(std::begin(toolTypes), std::end(toolTypes), type) != std::end(toolTypes)) {
        style |= WS_EX_TOOLWINDOW;
      }
    }
  }
  SetLastError(ERROR_SUCCESS);
  return style;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  if (processId != nullptr) *processId = 0;
  if (IsLayerHandle(window)) return LayerWindowThreadProcessId(window, processId);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  XWindowAttributes attributes;
  if (display == nullptr || !Attributes(display, window, &attributes)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  std::vector<unsigned long> pid;
  if (!ReadLongs(display, ToWindow(window), AtomNamed(display, "_NET_WM_PID"), XA_CARDINAL, &pid) || pid.empty()) {
    return 0;  // the window names no process
  }
  const DWORD id = static_cast<DWORD>(pid.front());
  if (processId != nullptr) *processId = id;
  return id;  // X knows no threads; a process's first thread has its id
}

HWND GetParent(HWND window) {
  if (IsLayerHandle(window)) return LayerGetParent(window);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr || window == nullptr) return nullptr;
  const Window root = DefaultRootWindow(display);
  Window owner = None;
  {
    XErrorTrap trap(display);
    if (!XGetTransientForHint(display, ToWindow(window), &owner) || trap.FailedByReply()) owner = None;
  }
  SetLastError(ERROR_SUCCESS);
  if (owner != None && owner != root && owner != ToWindow(window)) return ToHwnd(owner);
  std::vector<unsigned long> children;
  unsigned long parent = None;
  if (!Children(display, ToWindow(window), &children, &parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // A top-level window, framed or not, has no parent, only an owner.
  if (parent == root || parent == None || HasWmState(display, ToWindow(window))) return nullptr;
  return ToHwnd(parent);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  if (IsLayerHandle(window)) return LayerGetWindowRect(LayerWindowOf(window), rect);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  XWindowAttributes attributes;
  if (display == nullptr || rect == nullptr || !Attributes(display, window, &attributes)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  int x = 0, y = 0;
  Window child = None;
  XErrorTrap trap(display);
  if (!XTranslateCoordinates(display, ToWindow(window), DefaultRootWindow(display), 0, 0, &x, &y, &child) ||
      trap.FailedByReply()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const int border = attributes.border_width;
  *rect = RECT{x - border, y - border, x + attributes.width + border, y + attributes.height + border};
  return TRUE;
}

int GetWindowRgn(HWND window, HRGN region) {
  if (IsLayerHandle(window)) return LayerGetWindowRgn(window, region);
  auto target = LookupGdiAs<RegionObject>(region);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  XWindowAttributes attributes;
  if (!target || display == nullptr || !Attributes(display, window, &attributes)) return RGN_ERROR;
  int eventBase = 0, errorBase = 0;
  if (!XShapeQueryExtension(display, &eventBase, &errorBase)) return RGN_ERROR;
  Bool boundingShaped = False, clipShaped = False;
  int bx = 0, by = 0, cx = 0, cy = 0;
  unsigned int bw = 0, bh = 0, cw = 0, ch = 0;
  XErrorTrap trap(display);
  if (!XShapeQueryExtents(display, ToWindow(window), &boundingShaped, &bx, &by, &bw, &bh, &clipShaped, &cx, &cy,
                          &cw, &ch) ||
      trap.FailedByReply() || !boundingShaped) {
    return RGN_ERROR;  // like a window without a region
  }
  int count = 0, ordering = 0;
  const XFreePtr<XRectangle> rects(XShapeGetRectangles(display, ToWindow(window), ShapeBounding, &count, &ordering));
  if (trap.FailedByReply()) return RGN_ERROR;
  // X measures the shape from inside the border, Windows from the window's corner.
  const int border = attributes.border_width;
  QVector<QRect> bands;
  if (!rects) count = 0;
  bands.reserve(std::max(count, 0));
  for (const XRectangle* rect = rects.get(); rect != rects.get() + std::max(count, 0); ++rect) {
    bands.append(QRect(rect->x + border, rect->y + border, rect->width, rect->height));
  }
  // A region built rectangle by rectangle costs quadratic time, and another
  // program's shape may hold thousands; banded rectangles go in at once.
  QRegion shape;
  if (ordering == YXBanded) {
    shape.setRects(bands.constData(), bands.size());
  } else {
    for (const QRect& rect : bands) shape |= rect;
  }
  target->region = shape;
  return RegionType(shape);
}
