// The calls that take both kinds of window (IsWindow, GetWindowRect,
// ShowWindow...) are defined once, in this X11 half, and hand a handle of the
// updater's window layer (platform/windowlayer) over to that layer. The layer
// is a library of its own that only the updater links, so this half cannot
// call it by name: the layer gives its table here when it starts, as it gives
// its hooks to the queue and gdi layers. So every call keeps one definition,
// whichever of the two libraries a program links, and no link order matters.
#pragma once

#include <platform/User.h>

#include <cstdint>

// X window ids have 29 bits; the layer's handles carry this bit, so the two
// kinds never meet and an X call never sees a truncated handle of the layer.
constexpr uintptr_t kLayerHandleTag = uintptr_t{1} << 40;
inline bool IsLayerHandle(HWND window) { return (reinterpret_cast<uintptr_t>(window) & kLayerHandleTag) != 0; }

// The layer's halves of the shared calls, each with the public call's contract.
struct WindowLayerCalls {
  BOOL (*isWindow)(HWND window);
  int (*getWindowText)(HWND window, LPWSTR text, int count);
  BOOL (*isWindowVisible)(HWND window);
  LONG_PTR (*getWindowLongPtr)(HWND window, int index);
  DWORD (*getWindowThreadProcessId)(HWND window, LPDWORD processId);
  HWND (*getParent)(HWND window);
  BOOL (*getWindowRect)(HWND window, LPRECT rect);
  int (*getWindowRgn)(HWND window, HRGN region);
  BOOL (*setWindowPos)(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
  BOOL (*showWindow)(HWND window, int command);
  int (*setWindowRgn)(HWND window, HRGN region, BOOL redraw);
};

// The layer, once, as it starts; the table must outlive every call.
void SetWindowLayerCalls(const WindowLayerCalls* calls);
// Where a layer handle goes. Until the layer started none of its windows
// exists, so a handle of its kind answers as the layer answers for a window
// that is gone.
const WindowLayerCalls& WindowLayer();
