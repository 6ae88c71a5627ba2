// The cursor picture built from an icon's mask and colour bitmaps, and its
// blend into a 32-bit BGRX picture.
#pragma once

#include <cstdint>
#include <vector>

#include <platform/Gdi.h>

struct BitmapBytes {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int rowBytes = 0;
  std::vector<uint8_t> bytes;
};

struct CursorImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;  // straight alpha, 4 bytes per pixel, top-down
};

// False when the bitmap cannot be read whole.
bool ReadBitmapBytes(HBITMAP bitmap, BitmapBytes& out);
// color may be null (a monochrome cursor: AND mask above XOR mask). False when
// there is nothing to draw.
bool MakeCursorImage(const BitmapBytes& mask, const BitmapBytes* color, CursorImage& image);
// Draws the image with its top-left corner at (left, top); only the part that
// overlaps the picture is touched, and each pixel's fourth byte is kept.
void BlendCursorImage(const CursorImage& image, int left, int top, uint8_t* pixels, int width, int height);
