// libavcodec's H.264 decoder standing in for the box: fed one access unit at a
// time, it keeps what it outputs. The codec tests look at the whole YUV
// picture; the simulated box and the capture tests only at its luma.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct LumaPicture;

class H264Decoder {
 public:
  struct Picture {
    bool key = false;
    bool corrupt = false;  // the decoder flagged errors or concealment
    int width = 0;
    int height = 0;
    std::shared_ptr<AVFrame> frame;  // YUV planes as decoded
  };

  H264Decoder();
  ~H264Decoder();
  H264Decoder(const H264Decoder&) = delete;
  H264Decoder& operator=(const H264Decoder&) = delete;

  bool ok() const { return m_ctx && m_packet; }
  // Decodes one access unit; false when the decoder rejected it.
  bool decode(const uint8_t* data, int size, std::vector<Picture>* out);
  // Decodes one access unit into the luma of the picture it yields; false
  // when the decoder rejects it, yields nothing or no 4:2:0 picture.
  bool decodeLuma(const std::vector<uint8_t>& annexB, LumaPicture* out);
  // The profile of the stream's sequence parameter set (FF_PROFILE_H264_*).
  int profile() const;

 private:
  bool drain(std::vector<Picture>* out);

  AVCodecContext* m_ctx = nullptr;
  AVPacket* m_packet = nullptr;
};
