// DC helpers in the shape the updater's painting code is written against.
#pragma once

#include <platform/Gdi.h>
#include <platform/User.h>

namespace atl {

class CDCHandle {
 public:
  explicit CDCHandle(HDC dc = nullptr) : m_hDC(dc) {}
  operator HDC() const { return m_hDC; }

  void FillSolidRect(const RECT* rect, COLORREF colour) const {
    const COLORREF previous = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
  }
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) const {
    const RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(&rect, colour);
  }
  void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight) const {
    Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
  }
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) const {
    FillSolidRect(x, y, cx - 1, 1, topLeft);
    FillSolidRect(x, y, 1, cy - 1, topLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
  }
  int FillRect(const RECT* rect, HBRUSH brush) const { return ::FillRect(m_hDC, rect, brush); }
  int SetBkMode(int mode) const { return ::SetBkMode(m_hDC, mode); }
  COLORREF SetTextColor(COLORREF colour) const { return ::SetTextColor(m_hDC, colour); }
  COLORREF SetBkColor(COLORREF colour) const { return ::SetBkColor(m_hDC, colour); }
  HGDIOBJ SelectObject(HGDIOBJ object) const { return ::SelectObject(m_hDC, object); }
  int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) const {
    return ::DrawTextW(m_hDC, text, count, rect, format);
  }
  BOOL DrawState(POINT at, SIZE size, HICON icon, UINT flags, HBRUSH brush = nullptr) const {
    return ::DrawStateW(m_hDC, brush, nullptr, reinterpret_cast<LPARAM>(icon), 0, at.x, at.y, size.cx, size.cy,
                        flags | DST_ICON);
  }
  BOOL BitBlt(int x, int y, int cx, int cy, HDC source, int sx, int sy, DWORD rop) const {
    return ::BitBlt(m_hDC, x, y, cx, cy, source, sx, sy, rop);
  }

  HDC m_hDC;
};

}  // namespace atl
