// A DC of a window of the window layer: GetDC, BeginPaint. The window layer
// says where the window's pixels are; gdi only draws.
#pragma once

#include <functional>

#include "DrawDc.h"

class WindowDc : public DrawDc {
 public:
  bool Surface(DrawSurface* surface) override { return surfaceOf && surfaceOf(surface); }

  HWND window = nullptr;
  std::function<bool(DrawSurface*)> surfaceOf;
};

// GetDC and ReleaseDC of a window that is not an X window id go to the user
// layer, which installs these when it makes its first window.
struct WindowDcSource {
  bool (*owns)(HWND window);
  HDC (*getDc)(HWND window);
  int (*releaseDc)(HWND window, HDC dc);
};
void SetWindowDcSource(const WindowDcSource& source);
const WindowDcSource* CurrentWindowDcSource();
