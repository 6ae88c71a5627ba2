// Icons of other programs' windows. Windows asks the program (WM_GETICON) or
// its window class; X keeps both kinds in properties the server answers for,
// so a program that hangs cannot hold the caller up.
#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/User.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "IconObject.h"
#include "WindowMessagePort.h"
#include "XAtoms.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"
#include "XWindowQuery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// _NET_WM_ICON holds every size a program offers; 512 x 512 with a few
// smaller ones fits, and nothing larger is read.
constexpr long kMaxIconItems = 512 * 512 * 2;
// Icon pixmaps of WM_HINTS larger than this are not read.
constexpr unsigned kMaxPixmapSide = 512;
constexpr int kSmallIconSide = 16;
// Windows gone since their icon was asked for are dropped past this many.
constexpr size_t kPruneAbove = 256;

enum IconSource { kNetSmall = 0, kNetBig = 1, kHints = 2 };

// One handle per window and source: the icon belongs to the window, as on
// Windows, and asking again replaces it.
std::mutex g_iconsLock;
std::map<std::pair<unsigned long, int>, HICON>& Icons() {
  static auto* icons = new std::map<std::pair<unsigned long, int>, HICON>;  // lives through exit
  return *icons;
}

HICON Keep(Display* display, unsigned long window, int source, std::shared_ptr<IconObject> icon) {
  std::lock_guard<std::mutex> guard(g_iconsLock);
  auto& icons = Icons();
  const auto key = std::make_pair(window, source);
  auto found = icons.find(key);
  if (found != icons.end()) {
    UnregisterGdiObject(found->second);
    icons.erase(found);
  }
  if (icons.size() > kPruneAbove) {
    for (auto it = icons.begin(); it != icons.end();) {
      if (WindowExists(display, it->first.first)) {
        ++it;
        continue;
      }
      UnregisterGdiObject(it->second);
      it = icons.erase(it);
    }
  }
  if (!icon) return nullptr;
  icon->shared = true;  // DestroyIcon leaves the window's icon alone
  HICON handle = static_cast<HICON>(RegisterGdiObject(std::move(icon)));
  icons.emplace(key, handle);
  return handle;
}

// The entry of _NET_WM_ICON (width, height, then width x height ARGB pixels,
// repeated) that fits best; an entry cut short or with a zero side ends the list.
std::shared_ptr<IconObject> NetWmIcon(Display* display, unsigned long window, bool big) {
  std::vector<unsigned long> data;
  if (!ReadLongs(display, window, AtomNamed(display, "_NET_WM_ICON"), XA_CARDINAL, &data, kMaxIconItems)) {
    return nullptr;
  }
  size_t best = 0, bestWidth = 0, bestHeight = 0;
  long bestScore = -1;
  for (size_t at = 0; at + 2 <= data.size();) {
    const unsigned long width = data[at], height = data[at + 1];
    if (width == 0 || height == 0 || width > 4096 || height > 4096 || width * height > data.size() - at - 2) break;
    const long side = static_cast<long>(std::max(width, height));
    // Big: the largest; small: the one nearest 16 pixels, the larger on a tie.
    const long score = big ? static_cast<long>(width * height) : 100000 - 2 * std::labs(side - kSmallIconSide) +
                                                                     (side > kSmallIconSide ? 1 : 0);
    if (score > bestScore) {
      bestScore = score;
      best = at + 2;
      bestWidth = width;
      bestHeight = height;
    }
    at += 2 + width * height;
  }
  if (bestScore < 0) return nullptr;
  auto icon = std::make_shared<IconObject>();
  icon->width = static_cast<int>(bestWidth);
  icon->height = static_cast<int>(bestHeight);
  icon->pixels.reserve(bestWidth * bestHeight);
  // Each 32-bit item arrives in a long; the pixels are straight ARGB.
  for (size_t i = 0; i < bestWidth * bestHeight; ++i) icon->pixels.push_back(static_cast<uint32_t>(data[best + i]));
  return icon;
}

// A pixmap's pixels, or an empty list when it is gone or too large.
XImagePtr PixmapImage(Display* display, Pixmap pixmap, unsigned* width, unsigned* height, unsigned* depth) {
  Window root = None;
  int x = 0, y = 0;
  unsigned border = 0;
  XErrorTrap trap(display);
  if (!XGetGeometry(display, pixmap, &root, &x, &y, width, height, &border, depth) || trap.Failed()) return nullptr;
  if (*width == 0 || *height == 0 || *width > kMaxPixmapSide || *height > kMaxPixmapSide) return nullptr;
  XImagePtr image(XGetImage(display, pixmap, 0, 0, *width, *height, AllPlanes, ZPixmap));
  if (trap.Failed()) return nullptr;
  return image;
}

// 0xRRGGBB of a pixel of the default visual (TrueColor on every server we meet).
uint32_t Rgb(Visual* visual, unsigned long pixel) {
  auto channel = [pixel](unsigned long mask) -> uint32_t {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / max);
  };
  return channel(visual->red_mask) << 16 | channel(visual->green_mask) << 8 | channel(visual->blue_mask);
}

std::shared_ptr<IconObject> HintsIcon(Display* display, unsigned long window) {
  XErrorTrap trap(display);
  const XFreePtr<XWMHints> hints(XGetWMHints(display, window));
  if (trap.Failed() || !hints || (hints->flags & IconPixmapHint) == 0 || hints->icon_pixmap == None) return nullptr;
  unsigned width = 0, height = 0, depth = 0;
  XImagePtr image = PixmapImage(display, hints->icon_pixmap, &width, &height, &depth);
  if (!image) return nullptr;
  XImagePtr mask;
  unsigned maskWidth = 0, maskHeight = 0, maskDepth = 0;
  if ((hints->flags & IconMaskHint) != 0 && hints->icon_mask != None) {
    mask = PixmapImage(display, hints->icon_mask, &maskWidth, &maskHeight, &maskDepth);
    if (mask && maskDepth != 1) mask.reset();
  }
  Visual* visual = DefaultVisual(display, DefaultScreen(display));
  auto icon = std::make_shared<IconObject>();
  icon->width = static_cast<int>(width);
  icon->height = static_cast<int>(height);
  icon->pixels.reserve(static_cast<size_t>(width) * height);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image.get(), static_cast<int>(x), static_cast<int>(y));
      // A bitmap icon is drawn in black on white, as ICCCM says.
      const uint32_t rgb = depth == 1 ? (pixel != 0 ? 0x000000u : 0xffffffu) : Rgb(visual, pixel);
      const bool opaque = !mask || x >= maskWidth || y >= maskHeight ||
                          XGetPixel(mask.get(), static_cast<int>(x), static_cast<int>(y)) != 0;
      icon->pixels.push_back((opaque ? 0xff000000u : 0u) | rgb);
    }
  }
  return icon;
}

}  // namespace

LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT, UINT timeout,
                            PDWORD_PTR result) {
  if (result != nullptr) *result = 0;
  if (message >= WM_USER) return SendPortMessage(window, message, wParam, lParam, timeout, result);
  if (message != WM_GETICON || (wParam != ICON_BIG && wParam != ICON_SMALL)) {
    PlatformLog("user: SendMessageTimeoutW message 0x%x (%lu) is not offered", message,
                static_cast<unsigned long>(wParam));
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  unsigned long id = 0;
  Display* display = DisplayForWindow(window, &id);
  if (display == nullptr) return 0;
  const bool big = wParam == ICON_BIG;
  HICON icon = Keep(display, id, big ? kNetBig : kNetSmall, NetWmIcon(display, id, big));
  if (result != nullptr) *result = reinterpret_cast<ULONG_PTR>(icon);
  return 1;
}

ULONG_PTR GetClassLongW(HWND window, int index) {
  if (index != GCL_HICON && index != GCL_HICONSM) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  unsigned long id = 0;
  Display* display = DisplayForWindow(window, &id);
  if (display == nullptr) return 0;
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<ULONG_PTR>(Keep(display, id, kHints, HintsIcon(display, id)));
}
