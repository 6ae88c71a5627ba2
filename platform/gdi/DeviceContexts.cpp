#include <platform/Gdi.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <QtGlobal>

#include <cstring>

#include "BrushObject.h"
#include "DisplayDc.h"
#include "FontObject.h"
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
  auto drawable = LookupGdiAs<DrawDc>(dc);
  if (!drawable) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  if (region == nullptr) {
    drawable->state.hasClip = false;
    drawable->state.clip = QRegion();
    return SIMPLEREGION;
  }
  auto object = LookupGdiAs<RegionObject>(region);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  // The DC keeps a copy: the caller may change or delete its region.
  drawable->state.hasClip = true;
  drawable->state.clip = object->region;
  return RegionType(drawable->state.clip);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto drawable = LookupGdiAs<DrawDc>(dc);
  std::shared_ptr<GdiObject> found = LookupGdiObject(object);
  if (!drawable || !found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (std::dynamic_pointer_cast<RegionObject>(found)) {
    const int type = SelectClipRgn(dc, static_cast<HRGN>(object));
    return type == RGN_ERROR ? HGDI_ERROR : reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(type));
  }
  if (auto font = std::dynamic_pointer_cast<FontObject>(found)) {
    HGDIOBJ previous = drawable->state.fontHandle != nullptr ? drawable->state.fontHandle : GetStockObject(DEFAULT_GUI_FONT);
    drawable->state.fontHandle = object;
    drawable->state.font = font;
    return previous;
  }
  if (std::dynamic_pointer_cast<BrushObject>(found)) {
    HGDIOBJ previous = drawable->state.brushHandle != nullptr ? drawable->state.brushHandle : GetStockObject(WHITE_BRUSH);
    drawable->state.brushHandle = object;
    return previous;
  }
  auto memory = std::dynamic_pointer_cast<MemoryDc>(drawable);
  auto bitmap = std::dynamic_pointer_cast<BitmapObject>(found);
  if (!bitmap || !memory) {
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
  auto drawable = LookupGdiAs<DrawDc>(dc);
  auto fill = LookupGdiAs<BrushObject>(brush);
  if (!drawable || !fill || rect == nullptr) {
    SetLastError(rect == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  DrawSurface surface;
  if (fill->hollow || !drawable->Surface(&surface)) return 1;  // nothing to see
  FillSolid(surface.image, DrawableArea(*drawable, surface) & QRectFromLogical(*rect, LogicalToImage(*drawable, surface)),
            fill->color);
  return 1;
}

namespace {

// Copies between two drawable DCs, even within one image: the rows are
// taken before any is written.
BOOL CopyBetween(DrawDc& destination, int x, int y, int width, int height, DrawDc& source, int sourceX,
                 int sourceY) {
  DrawSurface to, from;
  if (!destination.Surface(&to) || !source.Surface(&from)) return TRUE;
  const QPoint toOffset = LogicalToImage(destination, to);
  const QPoint fromOffset = LogicalToImage(source, from);
  const QRect target = QRect(x, y, width, height).translated(toOffset);
  // Where each target pixel comes from, in the source image.
  const QPoint shift = QPoint(sourceX, sourceY) + fromOffset - QPoint(x, y) - toOffset;
  const QRegion readable = from.limit & from.image.rect();
  const QRegion area = DrawableArea(destination, to) & to.image.rect() & target & readable.translated(-shift);
  const QImage copy = from.image.copy(area.boundingRect().translated(shift));
  const QPoint copyOrigin = area.boundingRect().topLeft();
  for (const QRect& part : area) {
    for (int row = part.top(); row <= part.bottom(); ++row) {
      const uchar* in = copy.constScanLine(row - copyOrigin.y()) + (part.left() - copyOrigin.x()) * 4;
      memcpy(to.image.scanLine(row) + part.left() * 4, in, static_cast<size_t>(part.width()) * 4);
    }
  }
  return TRUE;
}

}  // namespace

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
  // CAPTUREBLT asks for layered windows too; the X root already shows every window.
  if ((rop & ~CAPTUREBLT) != SRCCOPY) {
    PlatformLog("gdi: BitBlt raster operation 0x%08x is not supported", rop);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto drawable = LookupGdiAs<DrawDc>(destination);
  auto fromDrawable = LookupGdiAs<DrawDc>(source);
  if (drawable && fromDrawable) {
    if (width <= 0 || height <= 0) return TRUE;
    return CopyBetween(*drawable, x, y, width, height, *fromDrawable, sourceX, sourceY);
  }
  auto memory = std::dynamic_pointer_cast<MemoryDc>(drawable);
  auto display = LookupGdiAs<DisplayDc>(source);
  if (!memory || !display) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::shared_ptr<BitmapObject> bitmap = memory->bitmap;
  if (bitmap->bitsPerPixel() != 32 || width <= 0 || height <= 0) return TRUE;
  QRegion target = QRegion(QRect(x, y, width, height)) & QRect(0, 0, bitmap->width(), bitmap->height());
  if (memory->state.hasClip) target &= memory->state.clip;
  if (!display->CopyTo(bitmap, target, QPoint(sourceX - x, sourceY - y))) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  return TRUE;
}
