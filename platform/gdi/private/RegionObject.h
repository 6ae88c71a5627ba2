// A region object: QRegion already keeps the non-overlapping rectangles that
// combining, moving and clipping need.
#pragma once

#include <QRegion>

#include "GdiObject.h"

class RegionObject : public GdiObject {
 public:
  QRegion region;
};

// NULLREGION, SIMPLEREGION or COMPLEXREGION.
int RegionType(const QRegion& region);
QRect QRectFromRect(const RECT& rect);  // an inverted rectangle is empty
RECT RectFromQRect(const QRect& rect);
