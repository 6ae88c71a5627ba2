// Process-wide codec state of the SDK: the one-time FFmpeg set-up, the cap on
// encoder threads, and the H.264 options the box last sent.
#pragma once

#include <atomic>

// Runs once from the SDK's init, before any encoder is opened. The cap is
// min(threads, 4) and never below 1.
void vpu_init(int threads);

// The cap that vpu_init set; 1 before it ran.
int vpu_codecThreadCap();

// Written on the protocol thread from the box's encoder parameters, read on the
// capture thread and on host threads: each field is one atomic int, so a reader
// always sees a whole value.
struct H264EncOpt {
  // Index into the encoder's profile table; 5 is "high444".
  std::atomic<int> profile{5};
  // Key-frame interval in ms as the box sent it; 0 or less: the box gave none.
  std::atomic<int> iFrameMSecond{0};
};

extern H264EncOpt g_h264EncOpt;
