#include "ScreenContent.h"

#include <cstddef>

const char* ContentName(ScreenContent content) {
  switch (content) {
    case ScreenContent::TextPage: return "text page";
    case ScreenContent::Scrolling: return "scrolling";
    case ScreenContent::Still: return "still screen";
  }
  return "?";
}

// A page of glyph-like ink: title bar, side bar with a gradient, and text rows
// of 18 px; (scrollY) moves the text up, (typed) glyphs of the last line show.
static void DrawPage(std::vector<uint8_t>& px, int w, int h, int scrollY, int typed) {
  const int typedLine = 30;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 4];
      uint8_t b = 250, g = 250, r = 250;
      if (y < 40) {
        b = 120; g = 80; r = 40;
      } else if (x < 260) {
        b = static_cast<uint8_t>(200 - y * 60 / h);
        g = static_cast<uint8_t>(190 - y * 40 / h);
        r = 180;
      } else {
        const int ty = y - 40 + scrollY;
        const int line = ty / 18, inLine = ty % 18;
        const int tx = x - 280;
        const int glyph = tx / 9;
        const unsigned hash = static_cast<unsigned>(glyph * 2654435761u) ^ (line * 40503u);
        const bool shown = tx >= 0 && tx < 1500 && (line != typedLine || glyph < typed);
        const bool word = (glyph * 7 + line * 3) % 11 != 0;
        if (shown && word && inLine >= 4 && inLine < 15 && (tx % 9) < 7 &&
            ((hash >> ((tx % 9) + (inLine % 3) * 7)) & 1u))
          b = g = r = 25;
      }
      p[0] = b; p[1] = g; p[2] = r; p[3] = 255;
    }
  }
}

std::vector<uint8_t> ContentPicture(ScreenContent content, int width, int height, int index) {
  std::vector<uint8_t> px(static_cast<size_t>(width) * height * 4);
  switch (content) {
    case ScreenContent::TextPage: DrawPage(px, width, height, 0, index); break;
    case ScreenContent::Scrolling: DrawPage(px, width, height, index * 6, 0); break;
    case ScreenContent::Still: DrawPage(px, width, height, 0, 40); break;
  }
  return px;
}
