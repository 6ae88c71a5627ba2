// What every DC that can be drawn on shares: its state (colours, font,
// brush, viewport origin, clip region), the stack SaveDC keeps, and where its
// pixels are. Memory DCs draw into their bitmap, window DCs into their
// top-level window's image.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <memory>
#include <vector>

#include <platform/Gdi.h>

#include "GdiObject.h"

class FontObject;

struct DcState {
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  int bkMode = OPAQUE;
  HFONT fontHandle = nullptr;  // null: the default UI font
  std::shared_ptr<FontObject> font;
  HBRUSH brushHandle = nullptr;
  QPoint viewportOrg;
  bool hasClip = false;
  QRegion clip;  // device coordinates
};

// The pixels of a DC: image wraps them without copying; the DC's device point
// (0, 0) lies at origin of the image, and only limit (image coordinates) belongs to it.
struct DrawSurface {
  QImage image;
  QPoint origin;
  QRegion limit;
};

class DrawDc : public GdiObject {
 public:
  // False when there is nothing to draw on (the 1x1 stock bitmap, a window gone).
  virtual bool Surface(DrawSurface* surface) = 0;

  DcState state;
  std::vector<DcState> saved;
};

// Where logical (0, 0) lies in the surface image.
QPoint LogicalToImage(const DrawDc& dc, const DrawSurface& surface);
// The part of the image the DC may touch: its limit and its clip region.
QRegion DrawableArea(const DrawDc& dc, const DrawSurface& surface);
// Writes B, G, R and a zero fourth byte, as GDI does into 32-bit bitmaps.
void FillSolid(QImage& image, const QRegion& area, COLORREF color);
QRect QRectFromLogical(const RECT& rect, const QPoint& offset);
