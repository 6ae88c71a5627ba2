// One picture over an AVFrame: the capture thread's unit of work between
// capture, colour conversion and the encoder.
#pragma once

#include <cstdint>

#include <QSize>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVFrame;
class FrameRecycler;

class VideoFrame {
 public:
  VideoFrame();
  // Copies share the pixel data (a new reference), they never copy it.
  VideoFrame(const VideoFrame& other);
  VideoFrame& operator=(const VideoFrame& other);
  ~VideoFrame();

  void swap(VideoFrame& other);

  // New data of the given format and size, stamped with pts. On failure the
  // previous picture stays and false is returned.
  bool alloc(AVPixelFormat fmt, int width, int height, int64_t pts);
  // Copies a tightly packed picture in. Returns 0 when filled; the byte count
  // the picture needs when len is shorter; a negative value when the format or
  // size is unusable or the buffer cannot be allocated. Only success changes
  // the picture.
  int fillFrom(AVPixelFormat fmt, int width, int height, const uint8_t* data, int len,
               int64_t pts);
  // Points at a tightly packed picture owned elsewhere instead of copying it
  // in; same results as fillFrom. The memory must stay valid and unchanged
  // while this frame or any copy of it lives, so a wrapped picture is only
  // for converting at once, never for keeping.
  int wrap(AVPixelFormat fmt, int width, int height, const uint8_t* data, int len, int64_t pts);
  // Converts to fmt at width x height. Returns false, keeping the previous
  // picture, when the conversion cannot run. With a recycler, the result is
  // written into a kept picture where one fits.
  bool scaleTo(AVPixelFormat fmt, int width, int height, FrameRecycler* recycler = nullptr);
  // Centres the picture on black at the larger size (4-byte packed formats).
  // Returns false, keeping the previous picture, when it cannot.
  bool padTo(int width, int height);

  bool isEmpty() const;
  // True when no copy shares the pixels, so they may be written over.
  bool isWritable() const;
  QSize size() const;
  int width() const;
  int height() const;
  AVPixelFormat format() const;
  int64_t pts() const;
  const AVFrame* avFrame() const { return m_frame; }

 private:
  AVFrame* m_frame;
};

// Widens or heightens width x height to the ratio (width / height); a shape
// within 0.1 of the ratio is left alone, and the size never shrinks.
void vpu_aspectFit(int& width, int& height, float ratio);
