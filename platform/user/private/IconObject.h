// An icon or cursor image of the user layer.
#pragma once

#include <cstdint>
#include <vector>

#include "GdiObject.h"

// Straight (not premultiplied) alpha, 0xAARRGGBB per pixel.
class IconObject : public GdiObject {
 public:
  int width = 0;
  int height = 0;
  int hotX = 0;
  int hotY = 0;
  std::vector<uint32_t> pixels;
  // Handles the system hands out (the current cursor, stock icons) belong to
  // it, as Windows' shared icons do: DestroyIcon leaves them alone.
  bool shared = false;
};
