#include "CodecSetup.h"

#include <algorithm>
#include <cstdarg>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

H264EncOpt g_h264EncOpt;

static std::atomic<int> g_codecThreadCap{1};

// FFmpeg's own output would land on stderr of the host program; the SDK keeps
// it quiet whatever the level.
static void DropFfmpegLog(void*, int, const char*, va_list) {}

void vpu_init(int threads) {
  // A cap of 0 would hand x264 "choose for yourself" instead of a limit.
  g_codecThreadCap.store(std::clamp(threads, 1, 4));
  // FFmpeg 5.1 registers codecs and serialises codec opening by itself, so
  // only the log set-up and the network layer remain to do.
  av_log_set_callback(DropFfmpegLog);
  av_log_set_level(AV_LOG_DEBUG);
  avformat_network_init();
}

int vpu_codecThreadCap() { return g_codecThreadCap.load(); }
