#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/User.h>

#include <QImage>
#include <QPainter>

#include "DrawDc.h"
#include "IconObject.h"

namespace {

QImage ImageOf(const IconObject& icon) {
  // Straight 0xAARRGGBB words are what Format_ARGB32 holds.
  return QImage(reinterpret_cast<const uchar*>(icon.pixels.data()), icon.width, icon.height, icon.width * 4,
                QImage::Format_ARGB32);
}

// Grey by luminance, lightened halfway to white: the look of a disabled
// button's icon, whatever lies under it.
QImage Disabled(const QImage& source) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int grey = 128 + qGray(row[x]) / 2;
      row[x] = qRgba(grey, grey, grey, qAlpha(row[x]));
    }
  }
  return image;
}

bool Paint(HDC dc, const QRect& logical, const QImage& image, const QRect* clip) {
  auto drawable = LookupGdiAs<DrawDc>(dc);
  if (!drawable) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DrawSurface surface;
  if (!drawable->Surface(&surface)) return true;
  const QPoint offset = LogicalToImage(*drawable, surface);
  QRegion area = DrawableArea(*drawable, surface);
  if (clip != nullptr) area &= clip->translated(offset);
  QPainter painter(&surface.image);
  painter.setClipRegion(area);
  painter.drawImage(logical.translated(offset), image);
  return true;
}

}  // namespace

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH, UINT flags) {
  auto object = LookupGdiAs<IconObject>(icon);
  if (!object) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  if ((flags & DI_NORMAL) == 0) return TRUE;
  const QRect target(x, y, width > 0 ? width : object->width, height > 0 ? height : object->height);
  return Paint(dc, target, ImageOf(*object), nullptr) ? TRUE : FALSE;
}

BOOL DrawStateW(HDC dc, HBRUSH, DRAWSTATEPROC, LPARAM data, WPARAM, int x, int y, int width, int height,
                UINT flags) {
  if ((flags & 0x000F) != DST_ICON) {
    PlatformLog("user: DrawStateW of kind %u is not offered", flags & 0x000F);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto object = LookupGdiAs<IconObject>(reinterpret_cast<HICON>(data));
  if (!object) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  const QImage image = (flags & DSS_DISABLED) ? Disabled(ImageOf(*object)) : ImageOf(*object);
  const QRect bounds(x, y, width > 0 ? width : object->width, height > 0 ? height : object->height);
  return Paint(dc, QRect(x, y, object->width, object->height), image, &bounds) ? TRUE : FALSE;
}
