// A few converted pictures kept for reuse: a capture tick at 1080p would
// otherwise fault in and free a fresh 3 MB buffer every time.
#pragma once

#include <vector>

#include "VideoFrame.h"

class FrameRecycler {
 public:
  explicit FrameRecycler(size_t capacity = 4) : m_capacity(capacity) {}

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
  std::vector<VideoFrame> m_frames;
};
