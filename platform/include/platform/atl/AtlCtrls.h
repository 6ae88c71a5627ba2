// Handle wrappers of the built-in controls.
#pragma once

#include <platform/atl/AtlWindow.h>

namespace atl {

class CButton : public CWindow {
 public:
  explicit CButton(HWND hWnd = nullptr) : CWindow(hWnd) {}
  UINT GetButtonStyle() const { return static_cast<UINT>(GetStyle()) & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) const {
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (GetStyle() & ~0xFFFF) | (style & 0xFFFF));
    if (redraw) Invalidate();
  }
};

class CStatic : public CWindow {
 public:
  explicit CStatic(HWND hWnd = nullptr) : CWindow(hWnd) {}
};

class CProgressBarCtrl : public CWindow {
 public:
  explicit CProgressBarCtrl(HWND hWnd = nullptr) : CWindow(hWnd) {}
  DWORD SetRange32(int low, int high) const {
    return static_cast<DWORD>(SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(low), high));
  }
  int SetPos(int position) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0)); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0)); }
};

}  // namespace atl
