// The SDK's H.264 encoder: plain functions over x264 with the SDK's fixed
// parameter choices. One encoder is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

class VideoFrame;
struct VPUEncoder;

// x264's profile name for an index of the box's H264Profile, clamped to 0..5.
const char* vpu_profileName(int index);

// Only codec id -1 (x264) exists. rcMode 1 is constant rate factor, 2 average
// bit rate. Returns null, with a logged line, when no encoder can be opened.
VPUEncoder* vpu_openEncH264(int codecId, int width, int height, int rcMode, float crf,
                            int bitRate, int fps, int keyIntMs, const char* preset,
                            const char* tune, const char* profile);

int vpu_getEncWidth(const VPUEncoder* enc);
int vpu_getEncHeight(const VPUEncoder* enc);

// Encodes one YUV 4:2:0 picture of the encoder's size into out. keyFrame in:
// 1 asks for an IDR picture; out: x264's type of the coded picture (1 = IDR),
// 0 when nothing was written. Returns the bytes written, 0 when nothing was
// written (a picture too large for capacity is dropped, and the next one
// becomes an IDR picture), negative on error.
int vpu_encodeVideo(VPUEncoder* enc, const VideoFrame& pic, int* keyFrame, uint8_t* out,
                    int capacity);

void vpu_closeEncH264(VPUEncoder* enc);

struct VPUEncoderCloser {
  void operator()(VPUEncoder* enc) const { vpu_closeEncH264(enc); }
};
using VPUEncoderPtr = std::unique_ptr<VPUEncoder, VPUEncoderCloser>;
