// Paints a known picture straight onto the X root window, so a test knows
// what every captured pixel must be.
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
  // Covers the whole root with pattern `variant` (smooth ramps under a
  // checkerboard: shifts and stretches show, the encoder keeps it well);
  // a negative variant is noise.
  bool Paint(int variant);
  // The pattern's top-left width x height as BGRA bytes.
  static std::vector<uint8_t> Pattern(int variant, int width, int height);

 private:
  _XDisplay* display_ = nullptr;
};
