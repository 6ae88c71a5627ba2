#include <platform/Kernel.h>
#include <platform/User.h>

#include <QVector>
#include <QtGlobal>

#include "RegionObject.h"
#include "WindowLayerCalls.h"
#include "WindowSnapshot.h"
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
#include <memory>
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

// The thread's window walk: how deeply walks nest, and the snapshot of the
// outermost one (null outside a walk, or without an xcb side to the display).
thread_local int t_walkDepth = 0;
thread_local std::unique_ptr<WindowSnapshot> t_snapshot;
void (*g_walkHook)() = nullptr;

const WindowFacts* WalkFacts(HWND window) {
  return t_snapshot && window != nullptr ? t_snapshot->Find(ToWindow(window)) : nullptr;
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

// X measures the rectangle inside the border, Windows from the window's corner.
RECT OuterRect(int x, int y, int width, int height, int border) {
  return RECT{x - border, y - border, x + width + border, y + height + border};
}

QRegion ShapeRegion(const std::vector<WindowFacts::Rect>& rects, bool banded, int border) {
  QVector<QRect> bands;
  bands.reserve(static_cast<int>(rects.size()));
  for (const WindowFacts::Rect& rect : rects) {
    bands.append(QRect(rect.x + border, rect.y + border, rect.width, rect.height));
  }
  // A region built rectangle by rectangle costs quadratic time, and another
  // program's shape may hold thousands; banded rectangles go in at once.
  QRegion shape;
  if (banded) {
    shape.setRects(bands.constData(), bands.size());
  } else {
    for (const QRect& rect : bands) shape |= rect;
  }
  return shape;
}

LONG StyleOf(Display* display, int depth, bool hasTypes, const std::vector<unsigned long>& types) {
  LONG style = 0;
  // A window with an alpha channel is blended by the compositor, as a layered window is.
  if (depth == 32) style |= WS_EX_LAYERED;
  if (hasTypes) {
    const Atom toolTypes[] = {AtomNamed(display, "_NET_WM_WINDOW_TYPE_UTILITY"),
                              AtomNamed(display, "_NET_WM_WINDOW_TYPE_TOOLTIP"),
                              AtomNamed(display, "_NET_WM_WINDOW_TYPE_DOCK")};
    for (unsigned long type : types) {
      if (std::find(std::begin(toolTypes), std::end(toolTypes), type) != std::end(toolTypes)) {
        style |= WS_EX_TOOLWINDOW;
      }
    }
  }
  return style;
}

// Toolkits make a parentless dialog transient for the root or for a hidden
// client-leader window of their own (Qt does so for every one): Windows would
// call such a window unowned. An owner is a window that is itself a mapped
// top-level window of the stack.
bool OwnerCounts(Display* display, HWND window, Window owner) {
  return owner != None && owner != DefaultRootWindow(display) && owner != ToWindow(window);
}

// The owner as a walk answers: the stack's snapshot holds every top-level window.
Window OwnerInWalk(Display* display, HWND window, const WindowFacts& facts) {
  if (!facts.hasOwner || !OwnerCounts(display, window, facts.owner)) return None;
  const WindowFacts* owner = t_snapshot->Find(facts.owner);
  return owner != nullptr && owner->attributes && owner->mapState != IsUnmapped ? facts.owner : None;
}

// The owner as the server answers now: a top-level window is a child of the
// root or a client that a window manager framed (WM_STATE), as the stack has it.
Window OwnerNow(Display* display, HWND window) {
  Window owner = None;
  {
    XErrorTrap trap(display);
    if (!XGetTransientForHint(display, ToWindow(window), &owner) || trap.FailedByReply()) return None;
  }
  if (!OwnerCounts(display, window, owner)) return None;
  XWindowAttributes attributes;
  if (!Attributes(display, ToHwnd(owner), &attributes) || attributes.map_state == IsUnmapped) return None;
  std::vector<unsigned long> children;
  unsigned long parent = None;
  if (!Children(display, owner, &children, &parent)) return None;
  return parent == DefaultRootWindow(display) || HasWmState(display, owner) ? owner : None;
}

// GetParent once the owner and the tree are known.
HWND ParentOf(Display* display, Window owner, bool tree, Window parent, bool hasWmState) {
  const Window root = DefaultRootWindow(display);
  SetLastError(ERROR_SUCCESS);
  if (owner != None) return ToHwnd(owner);
  if (!tree) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // A top-level window, framed or not, has no parent, only an owner.
  if (parent == root || parent == None || hasWmState) return nullptr;
  return ToHwnd(parent);
}

}  // namespace

WindowWalk::WindowWalk() {
  if (t_walkDepth++ > 0) return;
  Display* display = ThreadDisplay();
  if (display == nullptr) return;
  TakeStack(display);
  if (g_walkHook != nullptr) g_walkHook();
  std::vector<unsigned long> clients;
  clients.reserve(t_stack.size());
  for (const StackEntry& entry : t_stack) clients.push_back(entry.client);
  t_snapshot = std::make_unique<WindowSnapshot>(display, clients);
}

WindowWalk::~WindowWalk() {
  if (--t_walkDepth == 0) t_snapshot.reset();
}

void SetWindowWalkHookForTests(void (*hook)()) { g_walkHook = hook; }

HWND GetTopWindow(HWND parent) {
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr) return nullptr;
  SetLastError(ERROR_SUCCESS);
  if (parent == nullptr) {
    // A walk's stack is the one its snapshot was read for.
    if (!t_snapshot) TakeStack(display);
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
  if (IsLayerHandle(window)) return WindowLayer().isWindowVisible(window);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (const WindowFacts* facts = WalkFacts(window)) {
    return facts->attributes && facts->mapState == IsViewable ? TRUE : FALSE;
  }
  XWindowAttributes attributes;
  if (display == nullptr || !Attributes(display, window, &attributes)) return FALSE;
  return attributes.map_state == IsViewable ? TRUE : FALSE;
}

LONG GetWindowLongW(HWND window, int index) {
  if (IsLayerHandle(window)) return static_cast<LONG>(WindowLayer().getWindowLongPtr(window, index));
  if (index != GWL_EXSTYLE && index != GWL_HWNDPARENT) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (const WindowFacts* facts = WalkFacts(window)) {
    if (!facts->attributes) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    SetLastError(ERROR_SUCCESS);
    // X ids have 29 bits, so the owner fits.
    if (index == GWL_HWNDPARENT) return static_cast<LONG>(OwnerInWalk(display, window, *facts));
    return StyleOf(display, facts->depth, facts->hasTypes, facts->types);
  }
  XWindowAttributes attributes;
  if (display == nullptr || !Attributes(display, window, &attributes)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index == GWL_HWNDPARENT) {
    const Window owner = OwnerNow(display, window);
    SetLastError(ERROR_SUCCESS);
    return static_cast<LONG>(owner);
  }
  std::vector<unsigned long> types;
  const bool hasTypes =
      ReadLongs(display, ToWindow(window), AtomNamed(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, &types);
  const LONG style = StyleOf(display, attributes.depth, hasTypes, types);
  SetLastError(ERROR_SUCCESS);
  return style;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  if (processId != nullptr) *processId = 0;
  if (IsLayerHandle(window)) return WindowLayer().getWindowThreadProcessId(window, processId);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (const WindowFacts* facts = WalkFacts(window)) {
    if (!facts->attributes) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (!facts->hasPid) return 0;
    const DWORD id = static_cast<DWORD>(facts->pid);
    if (processId != nullptr) *processId = id;
    return id;
  }
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
  if (IsLayerHandle(window)) return WindowLayer().getParent(window);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr || window == nullptr) return nullptr;
  if (const WindowFacts* facts = WalkFacts(window)) {
    return ParentOf(display, OwnerInWalk(display, window, *facts), facts->tree, facts->parent,
                    facts->hasWmState);
  }
  const Window root = DefaultRootWindow(display);
  const Window owner = OwnerNow(display, window);
  if (owner != None) return ParentOf(display, owner, false, None, false);
  std::vector<unsigned long> children;
  unsigned long parent = None;
  const bool tree = Children(display, ToWindow(window), &children, &parent);
  // WM_STATE is only asked when the tree leaves the answer open.
  const bool open = tree && parent != root && parent != None;
  return ParentOf(display, None, tree, parent, open && HasWmState(display, ToWindow(window)));
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  if (IsLayerHandle(window)) return WindowLayer().getWindowRect(window, rect);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (const WindowFacts* facts = WalkFacts(window)) {
    if (rect == nullptr || !facts->attributes || !facts->translated) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    *rect = OuterRect(facts->x, facts->y, facts->width, facts->height, facts->borderWidth);
    return TRUE;
  }
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
  *rect = OuterRect(x, y, attributes.width, attributes.height, attributes.border_width);
  return TRUE;
}

int GetWindowRgn(HWND window, HRGN region) {
  if (IsLayerHandle(window)) return WindowLayer().getWindowRgn(window, region);
  auto target = LookupGdiAs<RegionObject>(region);
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (const WindowFacts* facts = WalkFacts(window)) {
    // Like a window without a region when it has no shape.
    if (!target || !facts->attributes || !facts->shaped) return RGN_ERROR;
    target->region = ShapeRegion(facts->shape, facts->shapeBanded, facts->borderWidth);
    return RegionType(target->region);
  }
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
  if (!rects) count = 0;
  std::vector<WindowFacts::Rect> shape;
  shape.reserve(static_cast<size_t>(std::max(count, 0)));
  for (const XRectangle* rect = rects.get(); rect != rects.get() + std::max(count, 0); ++rect) {
    shape.push_back({rect->x, rect->y, rect->width, rect->height});
  }
  target->region = ShapeRegion(shape, ordering == YXBanded, attributes.border_width);
  return RegionType(target->region);
}
