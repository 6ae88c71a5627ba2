#include <platform/QtWin.h>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>
#include <platform/User.h>

#include <QImage>

#include <vector>

namespace {

bool ReadBitmap(HBITMAP bitmap, BITMAP* header, std::vector<uint8_t>* bytes) {
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof(BITMAP), header) != sizeof(BITMAP)) return false;
  if (header->bmWidth <= 0 || header->bmHeight <= 0 || header->bmWidthBytes <= 0) return false;
  bytes->resize(static_cast<size_t>(header->bmWidthBytes) * header->bmHeight);
  const LONG size = static_cast<LONG>(bytes->size());
  return GetBitmapBits(bitmap, size, bytes->data()) == size;
}

// An icon drawn without alpha: the AND mask's set bits are transparent.
void ApplyMask(QImage& image, const BITMAP& mask, const std::vector<uint8_t>& maskBytes) {
  const int height = std::min(image.height(), static_cast<int>(mask.bmHeight));
  const int width = std::min(image.width(), static_cast<int>(mask.bmWidth));
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const uint8_t* bits = &maskBytes[static_cast<size_t>(y) * mask.bmWidthBytes];
    for (int x = 0; x < width; ++x) {
      const bool transparent = (bits[x / 8] & (0x80 >> (x % 8))) != 0;
      row[x] = transparent ? 0 : (row[x] | 0xff000000u);
    }
  }
}

}  // namespace

QPixmap QtWin::fromHICON(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return QPixmap();
  // GetIconInfo hands out two new bitmaps.
  const UniqueGdiObject colorBitmap(info.hbmColor);
  const UniqueGdiObject maskBitmap(info.hbmMask);
  BITMAP color{};
  std::vector<uint8_t> colorBytes;
  if (!ReadBitmap(colorBitmap.get(), &color, &colorBytes) || color.bmBitsPixel != 32) return QPixmap();
  // BGRA bytes are QImage's ARGB32 on a little-endian machine.
  QImage image(color.bmWidth, color.bmHeight, QImage::Format_ARGB32);
  bool hasAlpha = false;
  for (int y = 0; y < color.bmHeight; ++y) {
    const uint8_t* source = &colorBytes[static_cast<size_t>(y) * color.bmWidthBytes];
    memcpy(image.scanLine(y), source, static_cast<size_t>(color.bmWidth) * 4);
    for (int x = 0; x < color.bmWidth && !hasAlpha; ++x) hasAlpha = source[x * 4 + 3] != 0;
  }
  BITMAP mask{};
  std::vector<uint8_t> maskBytes;
  if (!hasAlpha && ReadBitmap(maskBitmap.get(), &mask, &maskBytes) && mask.bmBitsPixel == 1) {
    ApplyMask(image, mask, maskBytes);
  }
  return QPixmap::fromImage(image);
}
