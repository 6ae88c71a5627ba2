#include "RootPainter.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

BenchRootPainter::BenchRootPainter() : display_(XOpenDisplay(nullptr)) {}

BenchRootPainter::~BenchRootPainter() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

bool BenchRootPainter::Fits(int width, int height) const {
  return display_ != nullptr && DisplayWidth(display_, 0) == width && DisplayHeight(display_, 0) == height &&
         DefaultDepth(display_, 0) == 24;
}

void BenchRootPainter::Paint(const std::vector<uint8_t>& bgra, int width, int height) {
  if (display_ == nullptr || bgra.size() < static_cast<size_t>(width) * height * 4) return;
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
  XInitImage(&image);
  const Window root = DefaultRootWindow(display_);
  GC gc = XCreateGC(display_, root, 0, nullptr);
  XPutImage(display_, root, gc, &image, 0, 0, 0, 0, width, height);
  XFreeGC(display_, gc);
  XSync(display_, False);
}

bool SpinEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}
