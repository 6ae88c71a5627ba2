// The calls both kinds of window reach: this layer's own windows and X
// window ids (the capture's, the client's, other programs'). Each public
// call serves a handle of ours by the layer's half; an X id goes to the X
// half. Where the X half is not on this branch yet, an X id fails.
#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/User.h>

#include "QtWindow.h"
#include "XConnection.h"
#include "XErrorTrap.h"

#include <X11/Xlib.h>

namespace {

// Placement and shaping of X windows come with the client's window calls.
BOOL NoXHalf(const char* call, HWND window) {
  PlatformLog("user: %s of X window 0x%lx is not offered", call, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)));
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return FALSE;
}

}  // namespace

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (std::shared_ptr<LayerWindow> shared = SharedWindowOf(handle)) {
    BOOL result = FALSE;
    RunOnWindowThread(shared->threadId, [&] {
      if (LayerWindow* window = LayerWindowOf(handle)) result = LayerSetWindowPos(window, insertAfter, x, y, cx, cy, flags);
    }, true);
    return result;
  }
  return NoXHalf("SetWindowPos", handle);
}

BOOL ShowWindow(HWND handle, int command) {
  if (std::shared_ptr<LayerWindow> shared = SharedWindowOf(handle)) {
    const BOOL wasVisible = (shared->style & WS_VISIBLE) ? TRUE : FALSE;
    // Another thread (the update thread) does not wait for the GUI thread.
    RunOnWindowThread(shared->threadId, [handle, command] {
      if (LayerWindow* window = LayerWindowOf(handle)) LayerShowWindow(window, command);
    }, false);
    return wasVisible;
  }
  return NoXHalf("ShowWindow", handle);
}

int SetWindowRgn(HWND handle, HRGN region, BOOL redraw) {
  if (LayerWindow* window = LayerWindowOf(handle)) return LayerSetWindowRgn(window, region, redraw);
  return NoXHalf("SetWindowRgn", handle);
}

BOOL IsWindow(HWND handle) {
  if (IsLayerHandle(handle)) {
    std::shared_ptr<LayerWindow> window = SharedWindowOf(handle);
    return window && !window->destroyed ? TRUE : FALSE;
  }
  Display* display = ThreadDisplay();
  if (display == nullptr || handle == nullptr) return FALSE;
  XWindowAttributes attributes;
  XErrorTrap trap(display);
  const bool exists = XGetWindowAttributes(display, static_cast<Window>(reinterpret_cast<uintptr_t>(handle)),
                                           &attributes) != 0 && !trap.Failed();
  return exists ? TRUE : FALSE;
}

int GetWindowTextW(HWND handle, LPWSTR text, int count) {
  if (text == nullptr || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  text[0] = L'\0';
  if (LayerWindowOf(handle) != nullptr) {
    return static_cast<int>(SendMessageW(handle, WM_GETTEXT, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(text)));
  }
  return NoXHalf("GetWindowTextW", handle);
}
