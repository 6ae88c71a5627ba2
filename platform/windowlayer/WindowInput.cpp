// Mouse and keyboard for the layer's windows: hit-testing, capture, the
// caption move, activation and focus, kept per thread as Windows keeps them.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <QEvent>
#include <QGuiApplication>

#include <algorithm>
#include <set>

#include "LayerWindow.h"
#include "TopLevelWindow.h"
#include "XConnection.h"

#include <X11/Xlib.h>

namespace {

constexpr UINT kDoubleClickMs = 500;
constexpr int kDoubleClickDistance = 4;

struct InputState {
  HWND capture = nullptr;
  HWND active = nullptr;
  HWND focus = nullptr;
  bool leftDown = false;
  std::set<int> keysDown;
  // The last press, for double clicks.
  HWND lastPressTarget = nullptr;
  DWORD lastPressTime = 0;
  QPoint lastPressPoint;
  // A caption drag we move ourselves (no window manager to ask).
  HWND moving = nullptr;
  QPoint moveGrab;   // the pointer's offset from the window's corner
};

thread_local InputState t_input;

bool Usable(const LayerWindow* window) {
  return window != nullptr && (window->style & WS_VISIBLE) && !(window->style & WS_DISABLED);
}

// The deepest visible child under point (client coordinates of window).
LayerWindow* ChildAt(LayerWindow* window, const QPoint& point) {
  for (HWND handle : window->children) {  // the first child is on top
    LayerWindow* child = LayerWindowOf(handle);
    if (child == nullptr || !(child->style & WS_VISIBLE) || !child->rect.contains(point)) continue;
    return ChildAt(child, point - child->rect.topLeft());
  }
  return window;
}

LPARAM PointParam(const QPoint& point) {
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(point.x())), static_cast<WORD>(static_cast<short>(point.y())));
}

}  // namespace

void ForgetWindowInput(HWND window) {
  if (t_input.capture == window) ReleaseCapture();
  if (t_input.focus == window) t_input.focus = nullptr;
  if (t_input.active == window) t_input.active = nullptr;
  if (t_input.moving == window) t_input.moving = nullptr;
  if (t_input.lastPressTarget == window) t_input.lastPressTarget = nullptr;
}

void DeliverMouse(LayerWindow* top, int type, const QPoint& local, bool leftDown) {
  const QPoint global = top->rect.topLeft() + local;
  t_input.leftDown = leftDown;
  if (t_input.moving != nullptr) {
    LayerWindow* moving = LayerWindowOf(t_input.moving);
    if (moving != nullptr && type == QEvent::MouseMove) {
      SetWindowPos(moving->handle, nullptr, global.x() - t_input.moveGrab.x(), global.y() - t_input.moveGrab.y(), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (type == QEvent::MouseButtonRelease || moving == nullptr) t_input.moving = nullptr;
    return;
  }
  LayerWindow* target = LayerWindowOf(t_input.capture);
  if (target == nullptr) {
    if (!Usable(top)) return;  // a disabled window (the owner of a modal one) takes no input
    target = ChildAt(top, local);
    // A disabled control's clicks go to its parent.
    while (target != nullptr && target->child && (target->style & WS_DISABLED)) target = LayerWindowOf(target->parent);
    if (target == nullptr) return;
  }
  const QPoint client = global - ScreenOrigin(target);
  const WPARAM keys = leftDown ? MK_LBUTTON : 0;
  if (type == QEvent::MouseMove) {
    PostMessageW(target->handle, WM_MOUSEMOVE, keys, PointParam(client));
    return;
  }
  if (type == QEvent::MouseButtonRelease) {
    PostMessageW(target->handle, WM_LBUTTONUP, keys, PointParam(client));
    return;
  }
  if (GetActiveWindow() != top->handle) SetActiveWindow(top->handle);
  if (target == top && t_input.capture == nullptr) {
    const LRESULT hit = SendMessageW(top->handle, WM_NCHITTEST, 0, PointParam(global));
    if (hit == HTCAPTION) {
      // Ask the window manager first; without one, move it ourselves.
      if (!top->qt->startSystemMove()) {
        t_input.moving = top->handle;
        t_input.moveGrab = local;
      }
      return;
    }
  }
  const DWORD now = GetTickCount();
  const bool twice = t_input.lastPressTarget == target->handle && now - t_input.lastPressTime <= kDoubleClickMs &&
                     (client - t_input.lastPressPoint).manhattanLength() <= kDoubleClickDistance;
  t_input.lastPressTarget = twice ? nullptr : target->handle;
  t_input.lastPressTime = now;
  t_input.lastPressPoint = client;
  const UINT message = twice && (target->classStyle & CS_DBLCLKS) ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
  PostMessageW(target->handle, message, keys, PointParam(client));
}

void DeliverKey(LayerWindow* top, int virtualKey, bool down, bool alt) {
  if (down) t_input.keysDown.insert(virtualKey);
  else t_input.keysDown.erase(virtualKey);
  if (!Usable(top)) return;
  LayerWindow* focus = LayerWindowOf(t_input.focus);
  HWND target = focus != nullptr && TopLevelOf(focus) == top ? focus->handle : top->handle;
  const UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  PostMessageW(target, message, static_cast<WPARAM>(virtualKey), alt ? (1 << 29) : 0);
}

HWND SetCapture(HWND handle) {
  LayerWindow* window = LayerWindowOf(handle);
  const HWND previous = t_input.capture;
  if (window == nullptr || previous == handle) return previous;
  t_input.capture = handle;
  if (LayerWindow* top = TopLevelOf(window)) top->qt->setMouseGrabEnabled(true);
  if (LayerWindow* old = LayerWindowOf(previous)) {
    LayerWindow* oldTop = TopLevelOf(old);
    if (oldTop != TopLevelOf(window) && oldTop != nullptr) oldTop->qt->setMouseGrabEnabled(false);
    SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(handle));
  }
  return previous;
}

BOOL ReleaseCapture() {
  const HWND previous = t_input.capture;
  if (previous == nullptr) return TRUE;
  t_input.capture = nullptr;
  if (LayerWindow* old = LayerWindowOf(previous)) {
    if (LayerWindow* top = TopLevelOf(old)) {
      if (top->qt) top->qt->setMouseGrabEnabled(false);
    }
    SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}

HWND GetCapture() { return LayerWindowOf(t_input.capture) != nullptr ? t_input.capture : nullptr; }

HWND GetActiveWindow() { return LayerWindowOf(t_input.active) != nullptr ? t_input.active : nullptr; }

HWND SetActiveWindow(HWND handle) {
  LayerWindow* window = TopLevelOf(LayerWindowOf(handle));
  const HWND next = window != nullptr ? window->handle : nullptr;
  const HWND previous = GetActiveWindow();
  if (next == previous) return previous;
  t_input.active = next;
  if (previous != nullptr) SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(next));
  if (next != nullptr) {
    if (LayerWindow* still = LayerWindowOf(next)) {
      if (still->qt && still->qt->isVisible()) still->qt->requestActivate();
    }
    SendMessageW(next, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
  }
  return previous;
}

HWND SetFocus(HWND handle) {
  const HWND previous = t_input.focus;
  if (handle != nullptr && LayerWindowOf(handle) == nullptr) return nullptr;
  if (handle == previous) return previous;
  t_input.focus = handle;
  if (LayerWindowOf(previous) != nullptr) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
  if (handle != nullptr) SendMessageW(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND GetFocus() { return LayerWindowOf(t_input.focus) != nullptr ? t_input.focus : nullptr; }

short GetKeyState(int virtualKey) {
  bool down = t_input.keysDown.count(virtualKey) != 0;
  if (virtualKey == VK_LBUTTON) down = t_input.leftDown;
  return down ? static_cast<short>(0x8000) : 0;
}

UINT GetDoubleClickTime() { return kDoubleClickMs; }

BOOL EnableWindow(HWND handle, BOOL enable) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return FALSE;
  const bool wasDisabled = (window->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
  if (enable) window->style &= ~WS_DISABLED;
  else window->style |= WS_DISABLED;
  if (!enable && t_input.capture == handle) ReleaseCapture();
  if (!enable && t_input.focus == handle) SetFocus(nullptr);
  SendMessageW(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
  if (LayerWindow* still = LayerWindowOf(handle)) InvalidateRegion(still, QRegion(QRect(QPoint(), still->rect.size())), true);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
  LayerWindow* window = LayerWindowOf(handle);
  return window != nullptr && !(window->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND GetDesktopWindow() {
  Display* display = ThreadDisplay();
  // The X root; without an X server, a value no window of either kind has.
  if (display == nullptr) return reinterpret_cast<HWND>(static_cast<uintptr_t>(1));
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(DefaultRootWindow(display)));
}

HWND WindowFromPoint(POINT point) {
  const QPoint at(point.x, point.y);
  std::vector<LayerWindow*> tops = ThreadTopLevels();
  // Topmost windows first, then the newest.
  std::reverse(tops.begin(), tops.end());
  std::stable_sort(tops.begin(), tops.end(), [](const LayerWindow* a, const LayerWindow* b) {
    return (a->exStyle & WS_EX_TOPMOST) > (b->exStyle & WS_EX_TOPMOST);
  });
  for (auto it = tops.begin(); it != tops.end(); ++it) {
    LayerWindow* top = *it;
    if (!(top->style & WS_VISIBLE) || !top->rect.contains(at)) continue;
    const QPoint local = at - top->rect.topLeft();
    if (top->hasShape && !top->shape.contains(local)) continue;
    return ChildAt(top, local)->handle;
  }
  return GetDesktopWindow();
}
