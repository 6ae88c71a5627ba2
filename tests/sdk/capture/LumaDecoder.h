// libavcodec's H.264 decoder standing in for the box: decodes each video
// record and keeps the luma plane of the picture it yields.
#pragma once

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

struct LumaPicture {
  int width = 0;
  int height = 0;
  bool key = false;
  std::vector<uint8_t> y;  // tightly packed rows
};

class LumaDecoder {
 public:
  LumaDecoder();
  ~LumaDecoder();
  LumaDecoder(const LumaDecoder&) = delete;
  LumaDecoder& operator=(const LumaDecoder&) = delete;

  bool ok() const { return ctx_ != nullptr && packet_ != nullptr && frame_ != nullptr; }
  // False when the decoder rejects the data or yields no picture for it.
  bool Decode(const std::vector<uint8_t>& annexB, LumaPicture* out);
  // The stream's profile_idc, once a sequence parameter set was decoded.
  int profile() const;

 private:
  AVCodecContext* ctx_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

// Y plane of a 32-bit BGRA picture after the same kind of conversion the
// capture thread runs (bicubic when the size changes), for comparison.
std::vector<uint8_t> ReferenceLuma(const std::vector<uint8_t>& bgra, int width, int height,
                                   int targetWidth, int targetHeight);

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
