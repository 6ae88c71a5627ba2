#include <platform/Gdi.h>
#include <platform/Kernel.h>

#include "RegionObject.h"

int RegionType(const QRegion& region) {
  if (region.isEmpty()) return NULLREGION;
  return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

QRect QRectFromRect(const RECT& rect) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return QRect();
  return QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

RECT RectFromQRect(const QRect& rect) {
  if (rect.isEmpty()) return RECT{0, 0, 0, 0};
  return RECT{rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()};
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // Windows accepts the corners in either order.
  const RECT rect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  auto region = std::make_shared<RegionObject>();
  region->region = QRegion(QRectFromRect(rect));
  return static_cast<HRGN>(RegisterGdiObject(std::move(region)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode) {
  auto dst = LookupGdiAs<RegionObject>(destination);
  auto first = LookupGdiAs<RegionObject>(source1);
  auto second = mode == RGN_COPY ? first : LookupGdiAs<RegionObject>(source2);
  if (!dst || !first || !second) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  switch (mode) {
    case RGN_AND: dst->region = first->region & second->region; break;
    case RGN_OR: dst->region = first->region | second->region; break;
    case RGN_DIFF: dst->region = first->region - second->region; break;
    case RGN_COPY: dst->region = first->region; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return RGN_ERROR;
  }
  return RegionType(dst->region);
}

int OffsetRgn(HRGN region, int dx, int dy) {
  auto object = LookupGdiAs<RegionObject>(region);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  object->region.translate(dx, dy);
  return RegionType(object->region);
}

int GetRgnBox(HRGN region, LPRECT rect) {
  auto object = LookupGdiAs<RegionObject>(region);
  if (!object || rect == nullptr) {
    SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  *rect = RectFromQRect(object->region.boundingRect());
  return RegionType(object->region);
}
