#include "FrameRecycler.h"

#include <algorithm>

extern "C" {
#include <libswscale/swscale.h>
}

FrameRecycler::~FrameRecycler() { sws_freeContext(m_scaler); }

SwsContext* FrameRecycler::scaler(int srcWidth, int srcHeight, AVPixelFormat srcFmt, int width, int height,
                                  AVPixelFormat fmt, int flags) {
  // Frees the old one itself when the parameters differ.
  m_scaler = sws_getCachedContext(m_scaler, srcWidth, srcHeight, srcFmt, width, height, fmt, flags, nullptr,
                                  nullptr, nullptr);
  return m_scaler;
}

bool FrameRecycler::take(AVPixelFormat fmt, int width, int height, VideoFrame& target) {
  for (auto it = m_frames.begin(); it != m_frames.end(); ++it) {
    if (it->format() != fmt || it->width() != width || it->height() != height || !it->isWritable())
      continue;
    target.swap(*it);
    m_frames.erase(it);
    return true;
  }
  return false;
}

void FrameRecycler::give(VideoFrame& frame) {
  if (frame.isEmpty() || m_capacity == 0) return;
  // After a size change the old pictures would only hold memory.
  m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(),
                                [&](const VideoFrame& kept) {
                                  return kept.format() != frame.format() || kept.size() != frame.size();
                                }),
                 m_frames.end());
  if (m_frames.size() >= m_capacity) m_frames.erase(m_frames.begin());
  m_frames.emplace_back();
  m_frames.back().swap(frame);
}
