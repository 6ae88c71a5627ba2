// Screen-like BGRA pictures for the codec tests and the YUV comparisons they
// need.
#pragma once

#include <cstdint>
#include <vector>

class VideoFrame;

// Rows of glyph-like blocks on a light page with a gradient panel; `shift`
// scrolls the text sideways, so consecutive pictures differ everywhere there
// is text.
std::vector<uint8_t> ScreenLikeBgra(int width, int height, int shift);

// PSNR in dB of one plane of two YUV 4:2:0 pictures of the same size
// (plane 0 is luma); 99 for identical planes.
double PlanePsnr(const VideoFrame& a, const uint8_t* const data[3], const int linesize[3],
                 int plane);
