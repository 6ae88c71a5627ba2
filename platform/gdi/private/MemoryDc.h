// A memory DC: draws into the bitmap selected into it.
#pragma once

#include <QRegion>
#include <memory>

#include "BitmapObject.h"
#include "GdiObject.h"

class MemoryDc : public GdiObject {
 public:
  std::shared_ptr<BitmapObject> bitmap;  // the stock bitmap when nothing else is selected
  HGDIOBJ selectedHandle = nullptr;
  bool hasClip = false;
  QRegion clip;  // bitmap coordinates
};

// The 1x1 bitmap a new memory DC holds; deleting it does nothing.
HBITMAP StockBitmapHandle();
