#include "TestPictures.h"

#include <cmath>

extern "C" {
#include <libavutil/frame.h>
}

#include "VideoFrame.h"

std::vector<uint8_t> ScreenLikeBgra(int width, int height, int shift) {
  std::vector<uint8_t> px(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &px[(static_cast<size_t>(y) * width + x) * 4];
      uint8_t b = 245, g = 245, r = 240;
      if (x < width / 5) {  // a side panel with a smooth gradient
        b = static_cast<uint8_t>(90 + y * 120 / height);
        g = static_cast<uint8_t>(60 + x * 80 / (width / 5 + 1));
        r = 40;
      } else {
        const int tx = x + shift;
        const int line = y / 16;
        const int inLine = y % 16;
        const int glyph = tx / 8;
        // A pseudo-random glyph shape per cell, blank gaps between words.
        const unsigned h = static_cast<unsigned>(glyph * 2654435761u) ^ (line * 40503u);
        const bool word = (glyph + line) % 9 != 0;
        const bool ink = word && inLine >= 3 && inLine < 13 &&
                         ((h >> ((tx % 8) + (inLine % 4) * 3)) & 1u) && (tx % 8) != 7;
        if (ink) b = g = r = 30;
      }
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 255;
    }
  }
  return px;
}

double PlanePsnr(const VideoFrame& a, const uint8_t* const data[3], const int linesize[3],
                 int plane) {
  const AVFrame* f = a.avFrame();
  const int w = plane == 0 ? f->width : (f->width + 1) / 2;
  const int h = plane == 0 ? f->height : (f->height + 1) / 2;
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* pa = f->data[plane] + static_cast<ptrdiff_t>(y) * f->linesize[plane];
    const uint8_t* pb = data[plane] + static_cast<ptrdiff_t>(y) * linesize[plane];
    for (int x = 0; x < w; ++x) {
      const double d = static_cast<double>(pa[x]) - pb[x];
      sum += d * d;
    }
  }
  if (sum == 0) return 99.0;
  const double mse = sum / (static_cast<double>(w) * h);
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}
