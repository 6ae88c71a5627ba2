// Paints known pictures straight onto the X root window, so a test knows what
// every captured pixel must be, and a benchmark can change the screen under
// the capture.
#pragma once

#include <cstdint>
#include <vector>

struct _XDisplay;

class RootPainter {
 public:
  RootPainter();
  ~RootPainter();
  RootPainter(const RootPainter&) = delete;
  RootPainter& operator=(const RootPainter&) = delete;

  bool ok() const { return display_ != nullptr; }
  // The root's size (0 x 0 without a display).
  int width() const;
  int height() const;
  // True when the root is width x height at depth 24.
  bool Fits(int width, int height) const;
  // Covers the whole root with pattern `variant` (smooth ramps under a
  // checkerboard: shifts and stretches show, the encoder keeps it well);
  // a negative variant is noise.
  bool Paint(int variant);
  // bgra holds width x height 32-bit pixels, drawn at the root's origin;
  // returns once the server drew them.
  bool PaintPicture(const std::vector<uint8_t>& bgra, int width, int height);
  // The pattern's top-left width x height as BGRA bytes.
  static std::vector<uint8_t> Pattern(int variant, int width, int height);

 private:
  _XDisplay* display_ = nullptr;
};
