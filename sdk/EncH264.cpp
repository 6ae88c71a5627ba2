#include "EncH264.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>

extern "C" {
#include <libavutil/frame.h>
}

#include "CodecSetup.h"
#include "SdkLog.h"
#include "VPUEncoder.h"
#include "VideoFrame.h"

static const char* const kProfileNames[] = {"baseline", "main",    "high",
                                            "high10",   "high422", "high444"};

const char* vpu_profileName(int index) {
  constexpr int last = static_cast<int>(std::size(kProfileNames)) - 1;
  return kProfileNames[std::clamp(index, 0, last)];
}

// fps x ms / 1000 in 64 bits: an hour at 1000 fps would overflow an int, and a
// key-frame interval below one picture means every picture is one.
static int KeyIntFrames(int fps, int keyIntMs) {
  const int64_t frames = static_cast<int64_t>(fps) * keyIntMs / 1000;
  return static_cast<int>(std::clamp<int64_t>(frames, 1, X264_KEYINT_MAX_INFINITE));
}

// The quantiser bounds take the rate factor as an int; keep the conversion
// defined for whatever float arrives.
static int QpFromCrf(float crf) {
  if (!(crf > 0.0f)) return 0;
  return static_cast<int>(std::min(crf, 51.0f));
}

static void ApplySdkParams(x264_param_t* p, int width, int height, int rcMode, float crf,
                           int bitRate, int fps, int keyIntMs) {
  const int kbps = bitRate / 1000;
  p->i_log_level = X264_LOG_NONE;
  p->i_width = width;
  p->i_height = height;
  p->i_fps_num = fps;
  p->i_fps_den = 1;
  p->i_keyint_max = KeyIntFrames(fps, keyIntMs);
  p->i_bframe = 0;
  p->i_bframe_pyramid = 0;
  p->rc.i_qp_constant = QpFromCrf(crf);
  p->rc.i_qp_min = QpFromCrf(crf);
  p->rc.i_qp_max = 51;
  p->rc.f_rate_tolerance = 0.5f;
  p->i_threads = (width > 1920 || height > 1920) ? std::min(vpu_codecThreadCap(), 4) : 1;
  p->b_sliced_threads = 1;
  if (rcMode == 2) {
    p->rc.i_rc_method = X264_RC_ABR;
    p->rc.i_bitrate = kbps;
    p->rc.i_vbv_max_bitrate = kbps;
    p->rc.i_vbv_buffer_size = kbps;
    p->rc.f_ip_factor = 1.6f;
  } else if (rcMode == 1) {
    p->rc.i_rc_method = X264_RC_CRF;
    p->rc.f_rf_constant = crf;
    p->rc.f_rf_constant_max = 51.0f;
    p->rc.f_ip_factor = 5.0f;
    if (kbps != 0) {
      p->rc.i_vbv_max_bitrate = kbps;
      p->rc.i_vbv_buffer_size = kbps;
    }
  }
}

VPUEncoder* vpu_openEncH264(int codecId, int width, int height, int rcMode, float crf,
                            int bitRate, int fps, int keyIntMs, const char* preset,
                            const char* tune, const char* profile) {
  if (codecId != -1) {
    shareLogErr("openEncH264: codec id %d is not x264", codecId);
    return nullptr;
  }
  // 4:2:0 halves the chroma both ways, so x264 refuses odd sizes; refusing
  // them here also keeps x264's failing open, which leaks, out of the way.
  if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0) {
    shareLogErr("openEncH264: picture size %dx%d", width, height);
    return nullptr;
  }
  if (fps < 1) {
    shareLogWarn("openEncH264: frame rate %d, using 1", fps);
    fps = 1;
  }
  x264_param_t param;
  x264_param_default(&param);
  if (x264_param_default_preset(&param, preset, tune) < 0) {
    shareLogErr("openEncH264: unknown preset \"%s\" or tune \"%s\"", preset ? preset : "",
                tune ? tune : "");
    return nullptr;
  }
  ApplySdkParams(&param, width, height, rcMode, crf, bitRate, fps, keyIntMs);
  x264_param_apply_fastfirstpass(&param);
  // Unchecked on purpose: x264 refuses an unknown or unfitting profile before
  // touching the parameters, and the encoder then opens without its limits.
  x264_param_apply_profile(&param, profile);

  auto enc = std::make_unique<VPUEncoder>();
  enc->codecId = codecId;
  enc->width = width;
  enc->height = height;
  enc->handle = x264_encoder_open(&param);
  // The encoder keeps its own copy; what x264 allocated into ours is freed here.
  x264_param_cleanup(&param);
  if (!enc->handle) {
    shareLogErr("x264_encoder_open failed (%dx%d, %s/%s/%s)", width, height,
                preset ? preset : "", tune ? tune : "", profile ? profile : "");
    return nullptr;
  }
  return enc.release();
}

int vpu_getEncWidth(const VPUEncoder* enc) { return enc ? enc->width : 0; }

int vpu_getEncHeight(const VPUEncoder* enc) { return enc ? enc->height : 0; }

static bool FitsEncoder(const VPUEncoder* enc, const VideoFrame& pic) {
  return !pic.isEmpty() && pic.format() == AV_PIX_FMT_YUV420P && pic.width() == enc->width &&
         pic.height() == enc->height;
}

int vpu_encodeVideo(VPUEncoder* enc, const VideoFrame& pic, int* keyFrame, uint8_t* out,
                    int capacity) {
  if (!enc || !enc->handle || !keyFrame || !out || capacity < 0) {
    shareLogErr("encodeVideo: no encoder or no output buffer");
    return -1;
  }
  if (!FitsEncoder(enc, pic)) {
    shareLogErr("encodeVideo: picture %dx%d fmt %d, encoder wants %dx%d yuv420p", pic.width(),
                pic.height(), static_cast<int>(pic.format()), enc->width, enc->height);
    return -1;
  }
  if (enc->frameCount == 0 || enc->forceIdr) *keyFrame = 1;
  *keyFrame &= 0xF;

  const AVFrame* f = pic.avFrame();
  x264_picture_t in;
  x264_picture_init(&in);
  in.img.i_csp = X264_CSP_I420;
  in.img.i_plane = 3;
  for (int i = 0; i < 3; ++i) {
    in.img.plane[i] = f->data[i];
    in.img.i_stride[i] = f->linesize[i];
  }
  in.i_pts = enc->frameCount;
  in.i_qpplus1 = 0;
  in.i_type = *keyFrame;

  x264_nal_t* nals = nullptr;
  int nalCount = 0;
  x264_picture_t coded;
  const int size = x264_encoder_encode(enc->handle, &nals, &nalCount, &in, &coded);
  if (size < 0) {
    shareLogErr("x264_encoder_encode failed (%d)", size);
    enc->forceIdr = true;
    *keyFrame = 0;
    return size;
  }
  // x264 took the picture (and its pts) whether or not it fits the caller.
  ++enc->frameCount;
  if (size == 0) {
    *keyFrame = 0;
    return 0;
  }
  if (size > capacity) {
    shareLogWarn("encodeVideo: %d bytes do not fit %d, picture dropped", size, capacity);
    enc->forceIdr = true;
    *keyFrame = 0;
    return 0;
  }
  int written = 0;
  for (int i = 0; i < nalCount; ++i) {
    const int payload = nals[i].i_payload;
    if (payload < 0 || payload > capacity - written) {
      shareLogErr("encodeVideo: NAL %d of %d bytes overruns the buffer", i, payload);
      enc->forceIdr = true;
      *keyFrame = 0;
      return -1;
    }
    memcpy(out + written, nals[i].p_payload, static_cast<size_t>(payload));
    written += payload;
  }
  enc->forceIdr = false;
  *keyFrame = coded.i_type;
  return written;
}

void vpu_closeEncH264(VPUEncoder* enc) {
  if (!enc) return;
  if (enc->handle) x264_encoder_close(enc->handle);
  delete enc;
}
