#include "RootPainter.h"

#include <cmath>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

RootPainter::RootPainter() { display_ = XOpenDisplay(nullptr); }

RootPainter::~RootPainter() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

std::vector<uint8_t> RootPainter::Pattern(int variant, int width, int height) {
  std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
  if (variant < 0) {
    // Fixed-seed noise: no encoder can make it much smaller than it is.
    uint32_t state = 12345u;
    for (uint8_t& byte : bgra) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<uint8_t>(state >> 24);
    }
    return bgra;
  }
  const int cell = 128 + 32 * variant;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = bgra.data() + (static_cast<size_t>(y) * width + x) * 4;
      const bool light = ((x / cell) + (y / cell) + variant) % 2 == 0;
      p[0] = static_cast<uint8_t>(128 + 100 * std::cos(y / 71.0 + variant));
      p[1] = light ? 190 : 60;
      p[2] = static_cast<uint8_t>(128 + 100 * std::sin(x / 97.0 + variant));
      p[3] = 0xFF;
    }
  }
  return bgra;
}

int RootPainter::width() const { return display_ != nullptr ? DisplayWidth(display_, DefaultScreen(display_)) : 0; }

int RootPainter::height() const { return display_ != nullptr ? DisplayHeight(display_, DefaultScreen(display_)) : 0; }

bool RootPainter::Fits(int width, int height) const {
  return display_ != nullptr && this->width() == width && this->height() == height &&
         DefaultDepth(display_, DefaultScreen(display_)) == 24;
}

bool RootPainter::Paint(int variant) {
  if (display_ == nullptr || DefaultDepth(display_, DefaultScreen(display_)) != 24) return false;
  return PaintPicture(Pattern(variant, width(), height()), width(), height());
}

bool RootPainter::PaintPicture(const std::vector<uint8_t>& bgra, int width, int height) {
  if (display_ == nullptr || width <= 0 || height <= 0 || bgra.size() < static_cast<size_t>(width) * height * 4) {
    return false;
  }
  // An image over the caller's bytes: XInitImage fills in the functions and
  // nothing here is handed to XDestroyImage, which would free() them.
  XImage image{};
  image.width = width;
  image.height = height;
  image.format = ZPixmap;
  image.data = const_cast<char*>(reinterpret_cast<const char*>(bgra.data()));
  image.byte_order = LSBFirst;
  image.bitmap_unit = 32;
  image.bitmap_bit_order = LSBFirst;
  image.bitmap_pad = 32;
  image.depth = 24;
  image.bytes_per_line = width * 4;
  image.bits_per_pixel = 32;
  image.red_mask = 0xFF0000;
  image.green_mask = 0xFF00;
  image.blue_mask = 0xFF;
  if (!XInitImage(&image)) return false;
  const Window root = DefaultRootWindow(display_);
  GC gc = XCreateGC(display_, root, 0, nullptr);
  XPutImage(display_, root, gc, &image, 0, 0, 0, 0, width, height);
  XFreeGC(display_, gc);
  XSync(display_, False);
  return true;
}
