// A solid brush: all FillRect needs.
#pragma once

#include "GdiObject.h"

class BrushObject : public GdiObject {
 public:
  explicit BrushObject(COLORREF c) : color(c) {}
  COLORREF color;
};
