// A few converted pictures, and the converter, kept for reuse: a capture
// tick at 1080p would otherwise fault in and free a fresh 3 MB buffer and
// set up a 0.5 ms scaler every time.
#pragma once

#include <vector>

#include "VideoFrame.h"

struct SwsContext;

class FrameRecycler {
 public:
  explicit FrameRecycler(size_t capacity = 4) : m_capacity(capacity) {}
  ~FrameRecycler();
  FrameRecycler(const FrameRecycler&) = delete;
  FrameRecycler& operator=(const FrameRecycler&) = delete;

  // The converter for these formats, sizes and flags: the one kept when they
  // match the last, else a new one replacing it. Null when none can be made.
  SwsContext* scaler(int srcWidth, int srcHeight, AVPixelFormat srcFmt, int width, int height,
                     AVPixelFormat fmt, int flags);

  // Moves a kept picture of this format and size that nobody else still
  // references into target. False when there is none.
  bool take(AVPixelFormat fmt, int width, int height, VideoFrame& target);
  // Keeps the picture for a later take; copies elsewhere (the frame being
  // encoded, the newest one) still share it and make it unusable until they
  // let go. Pictures of another size than the newest are let go.
  void give(VideoFrame& frame);

  void clear() { m_frames.clear(); }
  size_t size() const { return m_frames.size(); }

 private:
  size_t m_capacity;
  SwsContext* m_scaler = nullptr;
  std::vector<VideoFrame> m_frames;
};
