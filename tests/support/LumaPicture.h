// The luma plane of a decoded picture and what the tests compare it with.
#pragma once

#include <cstdint>
#include <vector>

struct LumaPicture {
  int width = 0;
  int height = 0;
  bool key = false;
  std::vector<uint8_t> y;  // tightly packed rows
};

// Y plane of a 32-bit BGRA picture after the same kind of conversion the
// capture thread runs (bicubic when the size changes), for comparison.
std::vector<uint8_t> ReferenceLuma(const std::vector<uint8_t>& bgra, int width, int height,
                                   int targetWidth, int targetHeight);

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
