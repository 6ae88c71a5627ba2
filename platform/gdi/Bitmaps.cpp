#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/Log.h>

#include <QtGlobal>

#include <cstdint>
#include <cstring>

#include "BitmapObject.h"
#include "BrushObject.h"
#include "FontObject.h"
#include "MemoryDc.h"
#include "RegionObject.h"

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& header = info->bmiHeader;
  // Only what capture asks for: top-down 32-bit BGRX.
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biBitCount != 32 || header.biCompression != BI_RGB ||
      header.biPlanes != 1 || header.biWidth <= 0 || header.biHeight >= 0 || header.biHeight < -INT32_MAX) {
    PlatformLog("gdi: CreateDIBSection(%dx%d, %u bits) is not a top-down 32-bit DIB", header.biWidth,
             header.biHeight, header.biBitCount);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<BitmapObject> bitmap = BitmapObject::CreateDib(header.biWidth, -header.biHeight);
  if (!bitmap) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (bits != nullptr) *bits = bitmap->bits();
  return static_cast<HBITMAP>(RegisterGdiObject(std::move(bitmap)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  return static_cast<HBRUSH>(RegisterGdiObject(std::make_shared<BrushObject>(color)));
}

BOOL DeleteObject(HGDIOBJ object) {
  if (object == StockBitmapHandle()) return TRUE;
  std::shared_ptr<GdiObject> found = LookupGdiObject(object);
  auto brush = std::dynamic_pointer_cast<BrushObject>(found);
  auto font = std::dynamic_pointer_cast<FontObject>(found);
  if ((brush && brush->stock) || (font && font->stock)) return TRUE;
  const bool drawingObject = std::dynamic_pointer_cast<BitmapObject>(found) ||
                             std::dynamic_pointer_cast<RegionObject>(found) || brush || font;
  if (!drawingObject) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto bitmap = std::dynamic_pointer_cast<BitmapObject>(found);
  if (bitmap && bitmap->selections > 0) {
    SetLastError(ERROR_BUSY);  // still selected into a DC
    return FALSE;
  }
  UnregisterGdiObject(object);
  return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  if (auto font = LookupGdiAs<FontObject>(object)) {
    if (buffer == nullptr) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    memcpy(buffer, &font->logFont, sizeof(LOGFONTW));
    return sizeof(LOGFONTW);
  }
  auto bitmap = LookupGdiAs<BitmapObject>(object);
  if (!bitmap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (buffer == nullptr) return sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAP info{};
  info.bmWidth = bitmap->width();
  info.bmHeight = bitmap->height();
  info.bmWidthBytes = bitmap->stride();
  info.bmPlanes = 1;
  info.bmBitsPixel = static_cast<WORD>(bitmap->bitsPerPixel());
  info.bmBits = bitmap->isDib() ? bitmap->bits() : nullptr;
  memcpy(buffer, &info, sizeof(info));
  return sizeof(BITMAP);
}

LONG GetBitmapBits(HBITMAP object, LONG size, LPVOID bits) {
  auto bitmap = LookupGdiAs<BitmapObject>(object);
  if (!bitmap || bits == nullptr || size < 0) {
    SetLastError(bitmap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  const size_t count = std::min(static_cast<size_t>(size), bitmap->byteSize());
  memcpy(bits, bitmap->bits(), count);
  return static_cast<LONG>(count);
}
