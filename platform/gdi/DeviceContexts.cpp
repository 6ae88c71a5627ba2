#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <QtGlobal>

#include <cstring>

#include "BrushObject.h"
#include "DisplayDc.h"
#include "MemoryDc.h"
#include "RegionObject.h"

namespace {

std::shared_ptr<BitmapObject> StockBitmap() {
  static auto* stock = new std::shared_ptr<BitmapObject>(
      BitmapObject::CreateWithBits(1, 1, 1, 2, std::vector<uint8_t>(2, 0)));  // lives through exit
  return *stock;
}

void Deselect(MemoryDc& dc) {
  if (dc.bitmap) --dc.bitmap->selections;
  dc.bitmap.reset();
}

}  // namespace

HBITMAP StockBitmapHandle() {
  static HBITMAP handle = static_cast<HBITMAP>(RegisterGdiObject(StockBitmap()));
  return handle;
}

HDC CreateDCW(LPCWSTR driver, LPCWSTR, LPCWSTR, const void*) {
  if (driver == nullptr || std::wcscmp(driver, L"DISPLAY") != 0) {
    PlatformLog("gdi: CreateDCW(%s): only DISPLAY is a device here", WideToUtf8(driver).c_str());
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<DisplayDc> dc = DisplayDc::Open();
  if (!dc) {
    SetLastError(ERROR_NOT_READY);
    return nullptr;
  }
  return static_cast<HDC>(RegisterGdiObject(std::move(dc)));
}

HDC CreateCompatibleDC(HDC) {
  auto dc = std::make_shared<MemoryDc>();
  StockBitmapHandle();
  dc->bitmap = StockBitmap();
  ++dc->bitmap->selections;
  return static_cast<HDC>(RegisterGdiObject(std::move(dc)));
}

BOOL DeleteDC(HDC dc) {
  std::shared_ptr<GdiObject> found = LookupGdiObject(dc);
  if (!std::dynamic_pointer_cast<MemoryDc>(found) && !std::dynamic_pointer_cast<DisplayDc>(found)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  UnregisterGdiObject(dc);
  if (auto memory = std::dynamic_pointer_cast<MemoryDc>(found)) Deselect(*memory);
  return TRUE;
}

int SelectClipRgn(HDC dc, HRGN region) {
  auto memory = LookupGdiAs<MemoryDc>(dc);
  if (!memory) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  if (region == nullptr) {
    memory->hasClip = false;
    memory->clip = QRegion();
    return SIMPLEREGION;
  }
  auto object = LookupGdiAs<RegionObject>(region);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  // The DC keeps a copy: the caller may change or delete its region.
  memory->hasClip = true;
  memory->clip = object->region;
  return RegionType(memory->clip);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto memory = LookupGdiAs<MemoryDc>(dc);
  std::shared_ptr<GdiObject> found = LookupGdiObject(object);
  if (!memory || !found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (std::dynamic_pointer_cast<RegionObject>(found)) {
    const int type = SelectClipRgn(dc, static_cast<HRGN>(object));
    return type == RGN_ERROR ? HGDI_ERROR : reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(type));
  }
  auto bitmap = std::dynamic_pointer_cast<BitmapObject>(found);
  if (!bitmap) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A bitmap lives in one DC at a time.
  if (bitmap->selections > 0 && bitmap != memory->bitmap && object != StockBitmapHandle()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HGDIOBJ previous = nullptr;
  if (memory->bitmap == StockBitmap()) previous = StockBitmapHandle();
  else previous = memory->selectedHandle;
  Deselect(*memory);
  memory->bitmap = bitmap;
  memory->selectedHandle = object;
  ++bitmap->selections;
  return previous;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  auto memory = LookupGdiAs<MemoryDc>(dc);
  auto fill = LookupGdiAs<BrushObject>(brush);
  if (!memory || !fill || rect == nullptr) {
    SetLastError(rect == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  BitmapObject& bitmap = *memory->bitmap;
  if (bitmap.bitsPerPixel() != 32) return 1;  // the stock bitmap: nothing to see
  QRegion area = QRegion(QRectFromRect(*rect)) & QRect(0, 0, bitmap.width(), bitmap.height());
  if (memory->hasClip) area &= memory->clip;
  const uint8_t pixel[4] = {GetBValue(fill->color), GetGValue(fill->color), GetRValue(fill->color), 0};
  for (const QRect& part : area) {
    for (int y = part.top(); y <= part.bottom(); ++y) {
      uint8_t* row = bitmap.bits() + static_cast<size_t>(y) * bitmap.stride() + part.x() * 4;
      for (int x = 0; x < part.width(); ++x) memcpy(row + x * 4, pixel, 4);
    }
  }
  return 1;
}

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
  // CAPTUREBLT asks for layered windows too; the X root already shows every window.
  if ((rop & ~CAPTUREBLT) != SRCCOPY) {
    PlatformLog("gdi: BitBlt raster operation 0x%08x is not supported", rop);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto memory = LookupGdiAs<MemoryDc>(destination);
  auto display = LookupGdiAs<DisplayDc>(source);
  if (!memory || !display) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::shared_ptr<BitmapObject> bitmap = memory->bitmap;
  if (bitmap->bitsPerPixel() != 32 || width <= 0 || height <= 0) return TRUE;
  QRegion target = QRegion(QRect(x, y, width, height)) & QRect(0, 0, bitmap->width(), bitmap->height());
  if (memory->hasClip) target &= memory->clip;
  if (!display->CopyTo(bitmap, target, QPoint(sourceX - x, sourceY - y))) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  return TRUE;
}
