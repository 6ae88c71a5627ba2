#include "RootPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

bool RootPainter::Paint(int variant) {
  if (display_ == nullptr) return false;
  const int screen = DefaultScreen(display_);
  const int width = DisplayWidth(display_, screen);
  const int height = DisplayHeight(display_, screen);
  if (DefaultDepth(display_, screen) != 24) return false;
  // XDestroyImage frees the data with free(), so it is malloc'ed here.
  const std::vector<uint8_t> pattern = Pattern(variant, width, height);
  auto* data = static_cast<char*>(malloc(pattern.size()));
  if (data == nullptr) return false;
  std::copy(pattern.begin(), pattern.end(), data);
  XImage* image = XCreateImage(display_, DefaultVisual(display_, screen), 24, ZPixmap, 0, data,
                               width, height, 32, width * 4);
  if (image == nullptr) {
    free(data);
    return false;
  }
  const Window root = DefaultRootWindow(display_);
  GC gc = XCreateGC(display_, root, 0, nullptr);
  XPutImage(display_, root, gc, image, 0, 0, 0, 0, width, height);
  XFreeGC(display_, gc);
  XDestroyImage(image);
  XSync(display_, False);
  return true;
}
