// The encoder record behind EncH264.h's handle; only the encoder layer and
// its tests look inside.
#pragma once

#include <cstdint>

#include <x264.h>

struct VPUEncoder {
  int codecId = -1;
  int width = 0;
  int height = 0;
  // Pictures handed to x264 so far; also the pts of the next one.
  int64_t frameCount = 0;
  // Set when a coded picture never reached the caller: the decoder lacks a
  // reference, so the next picture has to start afresh.
  bool forceIdr = false;
  x264_t* handle = nullptr;
};
