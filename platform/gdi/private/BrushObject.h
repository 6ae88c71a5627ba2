// A solid or hollow brush: all FillRect needs.
#pragma once

#include "GdiObject.h"

class BrushObject : public GdiObject {
 public:
  explicit BrushObject(COLORREF c, bool isHollow = false, bool isStock = false)
      : color(c), hollow(isHollow), stock(isStock) {}
  COLORREF color;
  bool hollow;  // the null brush paints nothing
  bool stock;   // DeleteObject leaves stock objects alone
};
