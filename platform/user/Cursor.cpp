#include <platform/Kernel.h>
#include <platform/User.h>

#include <QtGlobal>

#include "BitmapObject.h"
#include "GdiObject.h"
#include "IconObject.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdint>
#include <vector>

namespace {

// XFixes gives premultiplied ARGB; the cursor blend multiplies by alpha itself.
uint32_t Unpremultiply(unsigned long premultiplied) {
  const uint32_t pixel = static_cast<uint32_t>(premultiplied & 0xffffffffu);
  const uint32_t alpha = pixel >> 24;
  if (alpha == 0) return 0;
  if (alpha == 255) return pixel;
  uint32_t result = alpha << 24;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t channel = (pixel >> shift) & 0xff;
    result |= std::min<uint32_t>(255, (channel * 255 + alpha / 2) / alpha) << shift;
  }
  return result;
}

struct CurrentCursor {
  HCURSOR handle = nullptr;
  unsigned long serial = 0;
  ~CurrentCursor() {
    if (handle != nullptr) UnregisterGdiObject(handle);
  }
};

// One shared cursor per thread, replaced when the cursor image changes.
thread_local CurrentCursor t_cursor;

HCURSOR SharedCursorFor(XFixesCursorImage* image) {
  if (t_cursor.handle != nullptr && t_cursor.serial == image->cursor_serial && LookupGdiObject(t_cursor.handle)) {
    return t_cursor.handle;
  }
  auto icon = std::make_shared<IconObject>();
  icon->width = image->width;
  icon->height = image->height;
  icon->hotX = image->xhot;
  icon->hotY = image->yhot;
  icon->shared = true;
  icon->pixels.resize(static_cast<size_t>(image->width) * image->height);
  for (size_t i = 0; i < icon->pixels.size(); ++i) icon->pixels[i] = Unpremultiply(image->pixels[i]);
  if (t_cursor.handle != nullptr) UnregisterGdiObject(t_cursor.handle);
  t_cursor.handle = static_cast<HCURSOR>(RegisterGdiObject(std::move(icon)));
  t_cursor.serial = image->cursor_serial;
  return t_cursor.handle;
}

bool HasXFixes(Display* display) {
  int eventBase = 0, errorBase = 0;
  return XFixesQueryExtension(display, &eventBase, &errorBase) == True;
}

// Windows pads the rows of device-dependent bitmaps to 16 bits.
int MaskStride(int width) { return (width + 15) / 16 * 2; }

}  // namespace

BOOL GetCursorPos(LPPOINT point) {
  Display* display = ThreadDisplay();
  if (display == nullptr || point == nullptr) {
    SetLastError(point == nullptr ? ERROR_INVALID_PARAMETER : ERROR_NOT_READY);
    return FALSE;
  }
  Window root = None, child = None;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int mask = 0;
  XErrorTrap trap(display);
  if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask) ||
      trap.FailedByReply()) {
    SetLastError(ERROR_ACCESS_DENIED);  // the pointer is on another screen
    return FALSE;
  }
  *point = POINT{rootX, rootY};
  return TRUE;
}

BOOL GetCursorInfo(PCURSORINFO info) {
  if (info == nullptr || info->cbSize != sizeof(CURSORINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Display* display = ThreadDisplay();
  if (display == nullptr || !HasXFixes(display)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  XErrorTrap trap(display);
  const XFreePtr<XFixesCursorImage> image(XFixesGetCursorImage(display));
  if (!image || trap.FailedByReply() || image->width == 0 || image->height == 0) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  info->flags = CURSOR_SHOWING;
  info->hCursor = SharedCursorFor(image.get());
  info->ptScreenPos = POINT{image->x, image->y};
  return TRUE;
}

HICON CopyIcon(HICON icon) {
  auto source = LookupGdiAs<IconObject>(icon);
  if (!source) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return nullptr;
  }
  auto copy = std::make_shared<IconObject>(*source);
  copy->shared = false;
  return static_cast<HICON>(RegisterGdiObject(std::move(copy)));
}

BOOL GetIconInfo(HICON icon, PICONINFO info) {
  auto source = LookupGdiAs<IconObject>(icon);
  if (!source || info == nullptr) {
    SetLastError(source ? ERROR_INVALID_PARAMETER : ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  const int width = source->width;
  const int height = source->height;
  std::vector<uint8_t> color(static_cast<size_t>(width) * height * 4);
  const int maskStride = MaskStride(width);
  std::vector<uint8_t> mask(static_cast<size_t>(maskStride) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = source->pixels[static_cast<size_t>(y) * width + x];
      uint8_t* out = &color[(static_cast<size_t>(y) * width + x) * 4];
      out[0] = pixel & 0xff;
      out[1] = (pixel >> 8) & 0xff;
      out[2] = (pixel >> 16) & 0xff;
      out[3] = pixel >> 24;
      // A set AND bit keeps the screen: transparent pixels.
      if ((pixel >> 24) == 0) mask[static_cast<size_t>(y) * maskStride + x / 8] |= 0x80 >> (x % 8);
    }
  }
  HBITMAP colorBitmap = CreateBitmapWithBits(width, height, 32, width * 4, std::move(color));
  HBITMAP maskBitmap = CreateBitmapWithBits(width, height, 1, maskStride, std::move(mask));
  if (colorBitmap == nullptr || maskBitmap == nullptr) {
    if (colorBitmap != nullptr) DeleteObject(colorBitmap);
    if (maskBitmap != nullptr) DeleteObject(maskBitmap);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  *info = ICONINFO{FALSE, static_cast<DWORD>(source->hotX), static_cast<DWORD>(source->hotY), maskBitmap, colorBitmap};
  return TRUE;
}

BOOL DestroyIcon(HICON icon) {
  auto object = LookupGdiAs<IconObject>(icon);
  if (!object) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  if (!object->shared) UnregisterGdiObject(icon);
  return TRUE;
}
