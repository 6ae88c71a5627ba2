// This layer's halves of the calls that X window ids reach too: the public
// calls (platform/user) hand a handle of ours here, on whatever thread they
// are called, and an X id to the X11 half.
#include <platform/Kernel.h>
#include <platform/User.h>

#include "LayerWindow.h"
#include "WindowLayerCalls.h"

namespace {

BOOL SetWindowPosCall(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  std::shared_ptr<LayerWindow> shared = SharedWindowOf(handle);
  if (!shared || shared->destroyed) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  BOOL result = FALSE;
  RunOnWindowThread(shared->threadId, [&] {
    if (LayerWindow* window = LayerWindowOf(handle)) {
      result = LayerSetWindowPos(window, insertAfter, x, y, cx, cy, flags);
    }
  }, true);
  return result;
}

BOOL ShowWindowCall(HWND handle, int command) {
  std::shared_ptr<LayerWindow> shared = SharedWindowOf(handle);
  if (!shared || shared->destroyed) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const BOOL wasVisible = (shared->style & WS_VISIBLE) ? TRUE : FALSE;
  // Another thread (the update thread) does not wait for the GUI thread.
  RunOnWindowThread(shared->threadId, [handle, command] {
    if (LayerWindow* window = LayerWindowOf(handle)) LayerShowWindow(window, command);
  }, false);
  return wasVisible;
}

int SetWindowRgnCall(HWND handle, HRGN region, BOOL redraw) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return 0;
  return LayerSetWindowRgn(window, region, redraw);
}

BOOL IsWindowCall(HWND handle) {
  std::shared_ptr<LayerWindow> window = SharedWindowOf(handle);
  return window && !window->destroyed ? TRUE : FALSE;
}

int GetWindowTextCall(HWND handle, LPWSTR text, int count) {
  if (LayerWindowOrFail(handle) == nullptr) return 0;
  return static_cast<int>(SendMessageW(handle, WM_GETTEXT, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(text)));
}

BOOL GetWindowRectCall(HWND handle, LPRECT rect) { return LayerGetWindowRect(LayerWindowOf(handle), rect); }

const WindowLayerCalls kLayerCalls{
    IsWindowCall,     GetWindowTextCall, IsLayerWindowVisible, GetWindowLongPtrW, LayerWindowThreadProcessId,
    LayerGetParent,   GetWindowRectCall, LayerGetWindowRgn,    SetWindowPosCall,  ShowWindowCall,
    SetWindowRgnCall,
};

}  // namespace

void RegisterLayerCalls() { SetWindowLayerCalls(&kLayerCalls); }
