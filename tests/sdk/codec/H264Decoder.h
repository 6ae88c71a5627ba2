// libavcodec's H.264 decoder as the test's box: feeds it one encoded picture
// at a time and keeps what it outputs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

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
  // The profile of the stream's sequence parameter set (FF_PROFILE_H264_*).
  int profile() const;

 private:
  bool drain(std::vector<Picture>* out);

  AVCodecContext* m_ctx = nullptr;
  AVPacket* m_packet = nullptr;
};
