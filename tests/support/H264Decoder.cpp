#include "H264Decoder.h"

#include <algorithm>
#include <cstring>

#include "LumaPicture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

H264Decoder::H264Decoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return;
  m_ctx = avcodec_alloc_context3(codec);
  if (!m_ctx) return;
  // A pulled stream: every access unit has to come out as soon as it goes in.
  m_ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
  m_ctx->thread_count = 1;
  if (avcodec_open2(m_ctx, codec, nullptr) < 0) {
    avcodec_free_context(&m_ctx);
    return;
  }
  m_packet = av_packet_alloc();
}

H264Decoder::~H264Decoder() {
  av_packet_free(&m_packet);
  avcodec_free_context(&m_ctx);
}

bool H264Decoder::decode(const uint8_t* data, int size, std::vector<Picture>* out) {
  // An empty packet would tell the decoder the stream ended, after which it
  // refuses everything.
  if (!ok() || data == nullptr || size <= 0) return false;
  av_packet_unref(m_packet);
  if (av_new_packet(m_packet, size) < 0) return false;
  std::copy(data, data + size, m_packet->data);
  if (avcodec_send_packet(m_ctx, m_packet) < 0) return false;
  return drain(out);
}

bool H264Decoder::decodeLuma(const std::vector<uint8_t>& annexB, LumaPicture* out) {
  std::vector<Picture> pictures;
  if (!decode(annexB.data(), static_cast<int>(annexB.size()), &pictures) || pictures.empty()) return false;
  const Picture& pic = pictures.back();
  if (pic.frame->format != AV_PIX_FMT_YUV420P) return false;
  out->width = pic.width;
  out->height = pic.height;
  out->key = pic.key;
  out->y.resize(static_cast<size_t>(pic.width) * pic.height);
  for (int row = 0; row < pic.height; ++row)
    memcpy(out->y.data() + static_cast<size_t>(row) * pic.width,
           pic.frame->data[0] + static_cast<ptrdiff_t>(row) * pic.frame->linesize[0], pic.width);
  return true;
}

bool H264Decoder::drain(std::vector<Picture>* out) {
  // Each packet yields at most a few pictures; the bound only guards a
  // decoder that misbehaves.
  for (int i = 0; i < 16; ++i) {
    std::shared_ptr<AVFrame> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    const int rc = avcodec_receive_frame(m_ctx, frame.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return false;
    Picture pic;
    pic.key = frame->key_frame != 0;
    pic.corrupt = frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT);
    pic.width = frame->width;
    pic.height = frame->height;
    pic.frame = frame;
    out->push_back(pic);
  }
  return false;
}

int H264Decoder::profile() const { return m_ctx ? m_ctx->profile : FF_PROFILE_UNKNOWN; }
