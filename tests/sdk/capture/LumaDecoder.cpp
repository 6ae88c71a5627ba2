#include "LumaDecoder.h"

#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

LumaDecoder::LumaDecoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (codec == nullptr) return;
  ctx_ = avcodec_alloc_context3(codec);
  if (ctx_ == nullptr) return;
  // A pulled stream: every access unit has to come out as soon as it goes in.
  ctx_->flags |= AV_CODEC_FLAG_LOW_DELAY;
  ctx_->thread_count = 1;
  if (avcodec_open2(ctx_, codec, nullptr) < 0) {
    avcodec_free_context(&ctx_);
    return;
  }
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
}

LumaDecoder::~LumaDecoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&ctx_);
}

bool LumaDecoder::Decode(const std::vector<uint8_t>& annexB, LumaPicture* out) {
  if (!ok() || annexB.empty()) return false;
  av_packet_unref(packet_);
  if (av_new_packet(packet_, static_cast<int>(annexB.size())) < 0) return false;
  memcpy(packet_->data, annexB.data(), annexB.size());
  if (avcodec_send_packet(ctx_, packet_) < 0) return false;
  av_frame_unref(frame_);
  if (avcodec_receive_frame(ctx_, frame_) < 0) return false;
  if (frame_->format != AV_PIX_FMT_YUV420P) return false;
  out->width = frame_->width;
  out->height = frame_->height;
  out->key = frame_->key_frame != 0;
  out->y.resize(static_cast<size_t>(out->width) * out->height);
  for (int row = 0; row < out->height; ++row)
    memcpy(out->y.data() + static_cast<size_t>(row) * out->width,
           frame_->data[0] + static_cast<ptrdiff_t>(row) * frame_->linesize[0], out->width);
  return true;
}

int LumaDecoder::profile() const { return ctx_ != nullptr ? ctx_->profile : -1; }

std::vector<uint8_t> ReferenceLuma(const std::vector<uint8_t>& bgra, int width, int height,
                                   int targetWidth, int targetHeight) {
  std::vector<uint8_t> y(static_cast<size_t>(targetWidth) * targetHeight);
  std::vector<uint8_t> u(static_cast<size_t>(targetWidth / 2) * (targetHeight / 2));
  std::vector<uint8_t> v(u.size());
  const int flags = (width == targetWidth && height == targetHeight) ? SWS_POINT : SWS_BICUBIC;
  SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, targetWidth, targetHeight,
                                   AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
  if (sws == nullptr) return {};
  const uint8_t* src[4] = {bgra.data(), nullptr, nullptr, nullptr};
  const int srcStride[4] = {width * 4, 0, 0, 0};
  uint8_t* dst[4] = {y.data(), u.data(), v.data(), nullptr};
  const int dstStride[4] = {targetWidth, targetWidth / 2, targetWidth / 2, 0};
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
