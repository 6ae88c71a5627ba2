// A memory DC: draws into the bitmap selected into it.
#pragma once

#include <memory>

#include "BitmapObject.h"
#include "DrawDc.h"

class MemoryDc : public DrawDc {
 public:
  bool Surface(DrawSurface* surface) override;

  std::shared_ptr<BitmapObject> bitmap;  // the stock bitmap when nothing else is selected
  HGDIOBJ selectedHandle = nullptr;
};

// The 1x1 bitmap a new memory DC holds; deleting it does nothing.
HBITMAP StockBitmapHandle();
