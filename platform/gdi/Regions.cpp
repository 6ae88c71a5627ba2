#include <platform/Gdi.h>
#include <platform/Kernel.h>

#include "RegionObject.h"

#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  const int x0 = std::min(left, right), x1 = std::max(left, right);
  const int y0 = std::min(top, bottom), y1 = std::max(top, bottom);
  const int width = x1 - x0, height = y1 - y0;
  const double a = std::min(std::abs(ellipseWidth), width) / 2.0;
  const double b = std::min(std::abs(ellipseHeight), height) / 2.0;
  // One rectangle per run of rows with the same inset: a banded list that
  // QRegion takes as it is.
  QVector<QRect> rows;
  for (int row = 0; row < height; ++row) {
    const double centre = row + 0.5;
    double dy = 0;
    if (centre < b) dy = b - centre;
    else if (centre > height - b) dy = centre - (height - b);
    const double ratio = b > 0 ? dy / b : 0;
    const int inset = a > 0 ? static_cast<int>(std::lround(a - a * std::sqrt(std::max(0.0, 1 - ratio * ratio)))) : 0;
    const QRect line(x0 + inset, y0 + row, width - 2 * inset, 1);
    if (line.width() <= 0) continue;
    if (!rows.isEmpty() && rows.back().left() == line.left() && rows.back().right() == line.right() &&
        rows.back().bottom() + 1 == line.top()) {
      rows.back().setBottom(line.bottom());
    } else {
      rows.append(line);
    }
  }
  auto region = std::make_shared<RegionObject>();
  region->region.setRects(rows.constData(), rows.size());
  return static_cast<HRGN>(RegisterGdiObject(std::move(region)));
}
