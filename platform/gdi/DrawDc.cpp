#include "DrawDc.h"

#include <cstring>
#include <mutex>

#include "MemoryDc.h"
#include "RegionObject.h"
#include "WindowDc.h"

bool MemoryDc::Surface(DrawSurface* surface) {
  if (!bitmap || bitmap->bitsPerPixel() != 32) return false;
  // BGRX bytes are what Format_RGB32 keeps in a little-endian word.
  surface->image = QImage(bitmap->bits(), bitmap->width(), bitmap->height(), bitmap->stride(), QImage::Format_RGB32);
  surface->origin = QPoint();
  surface->limit = QRegion(0, 0, bitmap->width(), bitmap->height());
  return true;
}

QPoint LogicalToImage(const DrawDc& dc, const DrawSurface& surface) {
  return surface.origin + dc.state.viewportOrg;
}

QRegion DrawableArea(const DrawDc& dc, const DrawSurface& surface) {
  QRegion area = surface.limit;
  if (dc.state.hasClip) area &= dc.state.clip.translated(surface.origin);
  return area;
}

void FillSolid(QImage& image, const QRegion& area, COLORREF color) {
  const uint8_t pixel[4] = {GetBValue(color), GetGValue(color), GetRValue(color), 0};
  const QRegion inside = area & image.rect();
  for (const QRect& part : inside) {
    for (int y = part.top(); y <= part.bottom(); ++y) {
      uint8_t* row = image.scanLine(y) + part.x() * 4;
      for (int x = 0; x < part.width(); ++x) memcpy(row + x * 4, pixel, 4);
    }
  }
}

QRect QRectFromLogical(const RECT& rect, const QPoint& offset) {
  return QRectFromRect(rect).translated(offset);
}

namespace {

std::mutex g_sourceLock;
bool g_hasSource = false;
WindowDcSource g_source;

}  // namespace

void SetWindowDcSource(const WindowDcSource& source) {
  std::lock_guard<std::mutex> guard(g_sourceLock);
  g_source = source;
  g_hasSource = true;
}

const WindowDcSource* CurrentWindowDcSource() {
  std::lock_guard<std::mutex> guard(g_sourceLock);
  return g_hasSource ? &g_source : nullptr;
}
