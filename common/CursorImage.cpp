#include "CursorImage.h"

#include <cstring>

namespace {

// Mask rows are read with the bitmap's own row length, so masks whose width
// is not a multiple of 16 pixels are not read skewed.
bool MaskBit(const BitmapBytes& mask, int row, int column) {
  const uint8_t byte = mask.bytes[static_cast<size_t>(row) * mask.rowBytes + column / 8];
  return (byte & (0x80 >> (column % 8))) != 0;
}

bool HoldsRows(const BitmapBytes& bitmap, int bitsPerPixel, int rows) {
  return bitmap.width > 0 && rows > 0 && bitmap.rowBytes * 8 >= bitmap.width * bitsPerPixel &&
         bitmap.bytes.size() >= static_cast<size_t>(bitmap.rowBytes) * rows;
}

bool FromColor(const BitmapBytes& mask, const BitmapBytes& color, CursorImage& image) {
  if (color.bitsPerPixel < 32 || !HoldsRows(color, 32, color.height)) return false;
  image.width = color.width;
  image.height = color.height;
  image.bgra.resize(static_cast<size_t>(image.width) * image.height * 4);
  bool anyAlpha = false;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = color.bytes.data() + static_cast<size_t>(y) * color.rowBytes;
    memcpy(&image.bgra[static_cast<size_t>(y) * image.width * 4], row, static_cast<size_t>(image.width) * 4);
    for (int x = 0; x < image.width && !anyAlpha; ++x) anyAlpha = row[x * 4 + 3] != 0;
  }
  if (anyAlpha) return true;
  // An old-style cursor without alpha: the AND mask says what is transparent.
  const bool maskUsable = mask.bitsPerPixel == 1 && mask.width >= image.width && HoldsRows(mask, 1, image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const bool transparent = maskUsable && MaskBit(mask, y, x);
      image.bgra[(static_cast<size_t>(y) * image.width + x) * 4 + 3] = transparent ? 0 : 255;
    }
  }
  return true;
}

bool FromMonochrome(const BitmapBytes& mask, CursorImage& image) {
  const int height = mask.height / 2;
  if (mask.bitsPerPixel != 1 || !HoldsRows(mask, 1, height * 2)) return false;
  image.width = mask.width;
  image.height = height;
  image.bgra.assign(static_cast<size_t>(image.width) * image.height * 4, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const bool andBit = MaskBit(mask, y, x);
      const bool xorBit = MaskBit(mask, y + height, x);
      uint8_t* pixel = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
      if (andBit && !xorBit) continue;  // transparent
      // Inverting pixels (both bits set) cannot be blended; they show black.
      const uint8_t value = !andBit && xorBit ? 255 : 0;
      pixel[0] = pixel[1] = pixel[2] = value;
      pixel[3] = 255;
    }
  }
  return true;
}

}  // namespace

bool ReadBitmapBytes(HBITMAP bitmap, BitmapBytes& out) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return false;
  if (info.bmWidth <= 0 || info.bmHeight <= 0 || info.bmWidthBytes <= 0) return false;
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  out.bitsPerPixel = info.bmBitsPixel;
  out.rowBytes = info.bmWidthBytes;
  out.bytes.assign(static_cast<size_t>(info.bmWidthBytes) * info.bmHeight, 0);
  const LONG read = GetBitmapBits(bitmap, static_cast<LONG>(out.bytes.size()), out.bytes.data());
  return read == static_cast<LONG>(out.bytes.size());
}

bool MakeCursorImage(const BitmapBytes& mask, const BitmapBytes* color, CursorImage& image) {
  image = CursorImage();
  return color != nullptr ? FromColor(mask, *color, image) : FromMonochrome(mask, image);
}

void BlendCursorImage(const CursorImage& image, int left, int top, uint8_t* pixels, int width, int height) {
  for (int i = 0; i < image.height; ++i) {
    const int y = top + i;
    if (y < 0 || y >= height) continue;
    for (int j = 0; j < image.width; ++j) {
      const int x = left + j;
      if (x < 0 || x >= width) continue;
      const uint8_t* source = &image.bgra[(static_cast<size_t>(i) * image.width + j) * 4];
      uint8_t* target = pixels + (static_cast<size_t>(y) * width + x) * 4;
      const int alpha = source[3];
      for (int c = 0; c < 3; ++c) target[c] = static_cast<uint8_t>(source[c] * alpha / 255 + target[c] * (255 - alpha) / 255);
    }
  }
}
