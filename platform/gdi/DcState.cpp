#include <platform/Gdi.h>
#include <platform/Kernel.h>

#include "BitmapObject.h"
#include "BrushObject.h"
#include "DrawDc.h"

namespace {

std::shared_ptr<DrawDc> DcOrFail(HDC dc) {
  auto found = LookupGdiAs<DrawDc>(dc);
  if (!found) SetLastError(ERROR_INVALID_HANDLE);
  return found;
}

}  // namespace

int SaveDC(HDC dc) {
  auto found = DcOrFail(dc);
  if (!found) return 0;
  found->saved.push_back(found->state);
  return static_cast<int>(found->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  auto found = DcOrFail(dc);
  if (!found) return FALSE;
  const int depth = static_cast<int>(found->saved.size());
  const int target = saved < 0 ? depth + saved + 1 : saved;  // -1: the newest save
  if (target < 1 || target > depth) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  found->state = found->saved[static_cast<size_t>(target) - 1];
  found->saved.resize(static_cast<size_t>(target) - 1);
  return TRUE;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
  auto found = DcOrFail(dc);
  if (!found) return FALSE;
  if (previous != nullptr) *previous = POINT{found->state.viewportOrg.x(), found->state.viewportOrg.y()};
  found->state.viewportOrg = QPoint(x, y);
  return TRUE;
}

BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
  auto found = DcOrFail(dc);
  if (!found || origin == nullptr) return FALSE;
  *origin = POINT{found->state.viewportOrg.x(), found->state.viewportOrg.y()};
  return TRUE;
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
  auto found = DcOrFail(dc);
  if (!found) return FALSE;
  if (previous != nullptr) *previous = POINT{found->state.viewportOrg.x(), found->state.viewportOrg.y()};
  found->state.viewportOrg += QPoint(dx, dy);
  return TRUE;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  auto found = DcOrFail(dc);
  if (!found) return CLR_INVALID;
  const COLORREF previous = found->state.bkColor;
  found->state.bkColor = color;
  return previous;
}

COLORREF GetBkColor(HDC dc) {
  auto found = DcOrFail(dc);
  return found ? found->state.bkColor : CLR_INVALID;
}

int SetBkMode(HDC dc, int mode) {
  auto found = DcOrFail(dc);
  if (!found) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int previous = found->state.bkMode;
  found->state.bkMode = mode;
  return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  auto found = DcOrFail(dc);
  if (!found) return CLR_INVALID;
  const COLORREF previous = found->state.textColor;
  found->state.textColor = color;
  return previous;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  // Every DC here is 32-bit, so a compatible bitmap is a 32-bit one.
  std::shared_ptr<BitmapObject> bitmap = BitmapObject::CreateDib(width, height);
  if (!bitmap) {
    SetLastError(width > 0 && height > 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HBITMAP>(RegisterGdiObject(std::move(bitmap)));
}
