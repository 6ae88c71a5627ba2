#include "VideoFrame.h"

#include <cstring>
#include <memory>
#include <utility>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "FrameRecycler.h"
#include "SdkLog.h"

namespace {

struct SwsFree {
  void operator()(SwsContext* ctx) const { sws_freeContext(ctx); }
};
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

}  // namespace

// Only formats of four bytes per pixel can be padded by zeroing bytes: zero is
// black there, and a row is width * 4 bytes.
static bool IsPacked32(AVPixelFormat fmt) {
  switch (fmt) {
    case AV_PIX_FMT_BGRA:
    case AV_PIX_FMT_RGBA:
    case AV_PIX_FMT_ARGB:
    case AV_PIX_FMT_ABGR:
      return true;
    default:
      return false;
  }
}

VideoFrame::VideoFrame() : m_frame(av_frame_alloc()) {
  if (!m_frame) shareLogErr("av_frame_alloc failed!");
}

VideoFrame::VideoFrame(const VideoFrame& other) : VideoFrame() { *this = other; }

VideoFrame& VideoFrame::operator=(const VideoFrame& other) {
  if (this == &other || !m_frame) return *this;
  av_frame_unref(m_frame);
  // An empty frame has no buffer to reference; the unref above already made
  // this one empty too.
  if (!other.m_frame || !other.m_frame->buf[0]) return *this;
  const int rc = av_frame_ref(m_frame, other.m_frame);
  if (rc < 0) shareLogErr("av_frame_ref failed (%d)", rc);
  return *this;
}

VideoFrame::~VideoFrame() { av_frame_free(&m_frame); }

void VideoFrame::swap(VideoFrame& other) { std::swap(m_frame, other.m_frame); }

bool VideoFrame::alloc(AVPixelFormat fmt, int width, int height, int64_t pts) {
  // Built aside and swapped in, so a failure leaves the previous picture.
  VideoFrame fresh;
  if (!fresh.m_frame) return false;
  AVFrame* f = fresh.m_frame;
  f->format = fmt;
  f->width = width;
  f->height = height;
  f->pts = pts;
  f->pkt_dts = pts;
  const int rc = av_frame_get_buffer(f, /*align=*/1);
  if (rc < 0) {
    shareLogErr("av_frame_get_buffer failed! (%dx%d fmt %d, err %d)", width, height,
                static_cast<int>(fmt), rc);
    return false;
  }
  swap(fresh);
  return true;
}

// Checks a tightly packed picture and fills its plane pointers. Returns 0
// when usable, else what fillFrom returns.
static int PackedPlanes(AVPixelFormat fmt, int width, int height, const uint8_t* data, int len,
                        uint8_t* planes[4], int lines[4]) {
  const int required = av_image_get_buffer_size(fmt, width, height, /*align=*/1);
  if (required <= 0) {
    shareLogErr("fillFrom: unusable picture %dx%d fmt %d (%d)", width, height,
                static_cast<int>(fmt), required);
    return required < 0 ? required : -1;
  }
  if (!data || len < required) {
    shareLogWarn("fillFrom: %d bytes given, %dx%d needs %d", data ? len : 0, width, height,
                 required);
    return required;
  }
  const int filled = av_image_fill_arrays(planes, lines, data, fmt, width, height, 1);
  if (filled < 0) {
    shareLogErr("av_image_fill_arrays failed (%d)", filled);
    return filled;
  }
  return 0;
}

static void KeepForeignData(void*, uint8_t*) {}

int VideoFrame::wrap(AVPixelFormat fmt, int width, int height, const uint8_t* data, int len,
                     int64_t pts) {
  uint8_t* planes[4] = {};
  int lines[4] = {};
  const int rc = PackedPlanes(fmt, width, height, data, len, planes, lines);
  if (rc != 0) return rc;
  VideoFrame fresh;
  if (!fresh.m_frame) return -1;
  AVFrame* f = fresh.m_frame;
  f->buf[0] = av_buffer_create(const_cast<uint8_t*>(data), len, KeepForeignData, nullptr,
                               AV_BUFFER_FLAG_READONLY);
  if (!f->buf[0]) {
    shareLogErr("av_buffer_create failed (%dx%d)", width, height);
    return -1;
  }
  f->format = fmt;
  f->width = width;
  f->height = height;
  f->pts = pts;
  f->pkt_dts = pts;
  for (int i = 0; i < 4; ++i) {
    f->data[i] = planes[i];
    f->linesize[i] = lines[i];
  }
  swap(fresh);
  return 0;
}

int VideoFrame::fillFrom(AVPixelFormat fmt, int width, int height, const uint8_t* data, int len,
                         int64_t pts) {
  uint8_t* srcData[4] = {};
  int srcLines[4] = {};
  const int rc = PackedPlanes(fmt, width, height, data, len, srcData, srcLines);
  if (rc != 0) return rc;
  VideoFrame fresh;
  if (!fresh.alloc(fmt, width, height, pts)) return -1;
  av_image_copy(fresh.m_frame->data, fresh.m_frame->linesize, const_cast<const uint8_t**>(srcData),
                srcLines, fmt, width, height);
  swap(fresh);
  return 0;
}

static int ScaleFlags(const AVFrame* src, int width, int height) {
  const bool sameSize = src->width == width && src->height == height;
  return sameSize ? SWS_POINT : SWS_BICUBIC;
}

// A context per conversion where no recycler keeps one: making a bicubic one
// for 1920x1080 to 1920x1088 takes about 0.5 ms.
static SwsPtr MakeScaler(const AVFrame* src, AVPixelFormat fmt, int width, int height) {
  const int flags = ScaleFlags(src, width, height);
  return SwsPtr(sws_getContext(src->width, src->height, static_cast<AVPixelFormat>(src->format),
                               width, height, fmt, flags, nullptr, nullptr, nullptr));
}

bool VideoFrame::scaleTo(AVPixelFormat fmt, int width, int height, FrameRecycler* recycler) {
  if (width <= 0 || height <= 0) return false;
  if (isEmpty()) {
    shareLogWarn("scaleTo: no picture to convert");
    return false;
  }
  if (fmt == format() && width == this->width() && height == this->height()) return true;
  VideoFrame target;
  if (recycler != nullptr && recycler->take(fmt, width, height, target)) {
    target.m_frame->pts = pts();
    target.m_frame->pkt_dts = pts();
  } else if (!target.alloc(fmt, width, height, pts())) {
    return false;
  }
  SwsPtr owned;
  SwsContext* scaler = nullptr;
  if (recycler != nullptr) {
    scaler = recycler->scaler(m_frame->width, m_frame->height, format(), width, height, fmt,
                              ScaleFlags(m_frame, width, height));
  } else {
    owned = MakeScaler(m_frame, fmt, width, height);
    scaler = owned.get();
  }
  if (!scaler) {
    shareLogErr("sws_getContext failed (%dx%d fmt %d -> %dx%d fmt %d)", this->width(),
                this->height(), m_frame->format, width, height, static_cast<int>(fmt));
    return false;
  }
  const int rows = sws_scale(scaler, m_frame->data, m_frame->linesize, 0, m_frame->height,
                             target.m_frame->data, target.m_frame->linesize);
  if (rows != height) {
    shareLogErr("sws_scale wrote %d of %d rows", rows, height);
    return false;
  }
  swap(target);
  return true;
}

bool VideoFrame::padTo(int width, int height) {
  if (isEmpty()) return false;
  const int dw = width - this->width();
  const int dh = height - this->height();
  // Shrinking would leave a picture nobody drew: keep the old one.
  if (dw < 0 || dh < 0) {
    shareLogWarn("padTo: %dx%d is smaller than %dx%d", width, height, this->width(),
                 this->height());
    return false;
  }
  if (dw == 0 && dh == 0) return true;
  if (!IsPacked32(format())) {
    shareLogWarn("padTo: format %d cannot be padded", m_frame->format);
    return false;
  }
  VideoFrame target;
  if (!target.alloc(format(), width, height, pts())) return false;
  const AVFrame* src = m_frame;
  AVFrame* dst = target.m_frame;
  const int left = dw / 2;
  const int top = dh / 2;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  const size_t leftBytes = static_cast<size_t>(left) * 4;
  const size_t srcBytes = static_cast<size_t>(src->width) * 4;
  const size_t rightBytes = rowBytes - leftBytes - srcBytes;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = dst->data[0] + static_cast<ptrdiff_t>(y) * dst->linesize[0];
    const int srcY = y - top;
    if (srcY < 0 || srcY >= src->height) {
      memset(row, 0, rowBytes);
      continue;
    }
    memset(row, 0, leftBytes);
    memcpy(row + leftBytes, src->data[0] + static_cast<ptrdiff_t>(srcY) * src->linesize[0],
           srcBytes);
    memset(row + leftBytes + srcBytes, 0, rightBytes);
  }
  swap(target);
  return true;
}

bool VideoFrame::isEmpty() const { return !m_frame || !m_frame->buf[0]; }

bool VideoFrame::isWritable() const { return !isEmpty() && av_frame_is_writable(m_frame) != 0; }

QSize VideoFrame::size() const { return QSize(width(), height()); }

int VideoFrame::width() const { return m_frame ? m_frame->width : 0; }

int VideoFrame::height() const { return m_frame ? m_frame->height : 0; }

AVPixelFormat VideoFrame::format() const {
  return m_frame ? static_cast<AVPixelFormat>(m_frame->format) : AV_PIX_FMT_NONE;
}

int64_t VideoFrame::pts() const { return m_frame ? m_frame->pts : AV_NOPTS_VALUE; }

void vpu_aspectFit(int& width, int& height, float ratio) {
  if (height == 0) return;
  // A ratio from the box that is not a positive number, or a size no picture
  // has, cannot be fitted.
  if (!(ratio > 0.0f) || width <= 0 || height < 0) return;
  const float d = static_cast<float>(width) / static_cast<float>(height);
  if (d - 0.1f < ratio && ratio < d + 0.1f) return;
  const float grown = ratio > d ? height * ratio + 0.5f : width / ratio + 0.5f;
  if (!(grown < 2147483648.0f)) {
    shareLogWarn("aspectFit: ratio %f gives no usable size for %dx%d", ratio, width, height);
    return;
  }
  if (ratio > d)
    width = static_cast<int>(grown);
  else
    height = static_cast<int>(grown);
}
