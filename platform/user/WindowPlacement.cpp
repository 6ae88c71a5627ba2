// The placement calls as the system makes them: argument checks here, the
// work in the half for the handle's kind of window.
#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/User.h>

#include "GdiObject.h"
#include "WindowLayerCalls.h"
#include "X11WindowPlacement.h"

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (IsLayerHandle(window)) return WindowLayer().setWindowPos(window, insertAfter, x, y, cx, cy, flags);
  // Moving and sizing go through Qt in this system; only restacking comes here.
  if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE) || window == nullptr ||
      insertAfter == nullptr || insertAfter == window) {
    PlatformLog("user: SetWindowPos(%p, %p, flags 0x%x) is not offered", static_cast<void*>(window),
                static_cast<void*>(insertAfter), flags);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return X11RestackBelow(window, insertAfter);
}

BOOL ShowWindow(HWND window, int command) {
  if (IsLayerHandle(window)) return WindowLayer().showWindow(window, command);
  if (command != SW_SHOWNORMAL && command != SW_SHOW && command != SW_HIDE) {
    PlatformLog("user: ShowWindow command %d is not offered", command);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return X11ShowWindow(window, command);
}

BOOL BringWindowToTop(HWND window) { return X11BringWindowToTop(window); }

BOOL SetForegroundWindow(HWND window) { return X11SetForegroundWindow(window); }

int SetWindowRgn(HWND window, HRGN region, BOOL redraw) {
  if (IsLayerHandle(window)) return WindowLayer().setWindowRgn(window, region, redraw);
  if (region != nullptr && !LookupGdiObject(region)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!X11SetWindowShape(window, region)) return 0;
  // The window keeps its own copy of the shape; the region is the layer's now.
  if (region != nullptr) UnregisterGdiObject(region);
  return 1;
}
