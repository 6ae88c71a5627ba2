#include "LumaPicture.h"

#include <cmath>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

std::vector<uint8_t> ReferenceLuma(const std::vector<uint8_t>& bgra, int width, int height,
                                   int targetWidth, int targetHeight) {
  std::vector<uint8_t> y(static_cast<size_t>(targetWidth) * targetHeight);
  // swscale writes the rounded-up half of an odd size.
  const int chromaWidth = (targetWidth + 1) / 2;
  std::vector<uint8_t> u(static_cast<size_t>(chromaWidth) * ((targetHeight + 1) / 2));
  std::vector<uint8_t> v(u.size());
  const int flags = (width == targetWidth && height == targetHeight) ? SWS_POINT : SWS_BICUBIC;
  SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, targetWidth, targetHeight,
                                   AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
  if (sws == nullptr) return {};
  const uint8_t* src[4] = {bgra.data(), nullptr, nullptr, nullptr};
  const int srcStride[4] = {width * 4, 0, 0, 0};
  uint8_t* dst[4] = {y.data(), u.data(), v.data(), nullptr};
  const int dstStride[4] = {targetWidth, chromaWidth, chromaWidth, 0};
  sws_scale(sws, src, srcStride, 0, height, dst, dstStride);
  sws_freeContext(sws);
  return y;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  const double mse = sum / a.size();
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}
