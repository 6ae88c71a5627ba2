#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/Log.h>

#include <algorithm>

#include "DrawDc.h"
#include "RegionObject.h"

namespace {

// The channel at step i of n between a and b, computed in 16 bits and kept
// to its top 8: the same pixel every time, whatever QPainter would round.
uint8_t Channel(COLOR16 a, COLOR16 b, int64_t i, int64_t n) {
  const int64_t value = a + (static_cast<int64_t>(b) - a) * i / n;
  return static_cast<uint8_t>(value >> 8);
}

}  // namespace

BOOL GradientFill(HDC dc, TRIVERTEX* vertices, ULONG vertexCount, void* mesh, ULONG meshCount, ULONG mode) {
  auto found = LookupGdiAs<DrawDc>(dc);
  if (!found || vertices == nullptr || mesh == nullptr || vertexCount < 2 ||
      (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DrawSurface surface;
  if (!found->Surface(&surface)) return TRUE;
  const QPoint offset = LogicalToImage(*found, surface);
  const QRegion area = DrawableArea(*found, surface) & surface.image.rect();
  const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
  for (ULONG r = 0; r < meshCount; ++r) {
    if (rects[r].UpperLeft >= vertexCount || rects[r].LowerRight >= vertexCount) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    const TRIVERTEX& first = vertices[rects[r].UpperLeft];
    const TRIVERTEX& second = vertices[rects[r].LowerRight];
    const RECT logical{std::min(first.x, second.x), std::min(first.y, second.y), std::max(first.x, second.x),
                       std::max(first.y, second.y)};
    const QRect whole = QRectFromLogical(logical, offset);
    if (whole.isEmpty()) continue;
    const bool horizontal = mode == GRADIENT_FILL_RECT_H;
    const int64_t steps = horizontal ? whole.width() : whole.height();
    for (const QRect& part : area & whole) {
      for (int y = part.top(); y <= part.bottom(); ++y) {
        uint8_t* row = surface.image.scanLine(y);
        for (int x = part.left(); x <= part.right(); ++x) {
          const int64_t i = horizontal ? x - whole.left() : y - whole.top();
          uint8_t* pixel = row + x * 4;
          pixel[0] = Channel(first.Blue, second.Blue, i, steps);
          pixel[1] = Channel(first.Green, second.Green, i, steps);
          pixel[2] = Channel(first.Red, second.Red, i, steps);
          pixel[3] = 0;
        }
      }
    }
  }
  return TRUE;
}
