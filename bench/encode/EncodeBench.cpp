// Per-picture cost of fillFrom + scaleTo + encode at 1920x1080 with the SDK's
// encoder settings, beside baselines measured in the same run on the same
// pictures: swscale alone, x264 alone, and the ffmpeg command line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "BenchStats.h"
#include "CodecSetup.h"
#include "EncH264.h"
#include "ScreenContent.h"
#include "VPUEncoder.h"
#include "VideoFrame.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;
constexpr int kFps = 12;
constexpr int kWarmUp = 5;

using Clock = std::chrono::steady_clock;

// The capture thread's encoder: CRF 22, 2000 kbps VBV, 12 fps, an hour
// between key frames, superfast/zerolatency, profile index 5.
VPUEncoderPtr OpenSdkEncoder() {
  return VPUEncoderPtr(vpu_openEncH264(-1, kW, kH, 1, 22.0f, 2000 * 1000, kFps, 3600000,
                                       "superfast", "zerolatency", vpu_profileName(5)));
}

struct Row {
  std::string what;
  BenchStats stats;
  double kbytes = 0;  // mean encoded size, where there is one
};

void PrintRow(const char* content, const Row& r) {
  if (r.stats.meanOnly)
    printf("| %-12s | %-38s | %8s | %8s | %8.2f |", content, r.what.c_str(), "-", "-",
           r.stats.mean);
  else
    printf("| %-12s | %-38s | %8.2f | %8.2f | %8.2f |", content, r.what.c_str(), r.stats.p50,
           r.stats.p95, r.stats.mean);
  if (r.kbytes > 0)
    printf(" %7.1f |\n", r.kbytes);
  else
    printf(" %7s |\n", "");
}

// The SDK path per picture, as the capture thread and a frame request run it.
Row SdkPath(const std::vector<std::vector<uint8_t>>& pics) {
  VPUEncoderPtr enc = OpenSdkEncoder();
  std::vector<uint8_t> out(kW * kH + 1024);
  std::vector<double> ms;
  double bytes = 0;
  for (size_t i = 0; i < pics.size(); ++i) {
    const auto t0 = Clock::now();
    VideoFrame f;
    f.fillFrom(AV_PIX_FMT_BGRA, kW, kH, pics[i].data(), static_cast<int>(pics[i].size()),
               static_cast<int64_t>(i));
    f.scaleTo(AV_PIX_FMT_YUV420P, kW, kH);
    int key = 0;
    const int n = vpu_encodeVideo(enc.get(), f, &key, out.data(), static_cast<int>(out.size()) - 22);
    const double t = MsSince(t0);
    if (i >= kWarmUp) {
      ms.push_back(t);
      bytes += n;
    }
  }
  return {"fillFrom + scaleTo + encode (SDK)", Summarise(ms), bytes / ms.size() / 1024};
}

Row ScaleToOnly(const std::vector<std::vector<uint8_t>>& pics) {
  std::vector<double> ms;
  for (size_t i = 0; i < pics.size(); ++i) {
    VideoFrame f;
    f.fillFrom(AV_PIX_FMT_BGRA, kW, kH, pics[i].data(), static_cast<int>(pics[i].size()), 0);
    const auto t0 = Clock::now();
    f.scaleTo(AV_PIX_FMT_YUV420P, kW, kH);
    if (i >= kWarmUp) ms.push_back(MsSince(t0));
  }
  return {"scaleTo (new context per picture)", Summarise(ms)};
}

// swscale with one context for the run, the way a cached context would run.
Row SwscaleOnly(const std::vector<std::vector<uint8_t>>& pics) {
  SwsContext* ctx = sws_getContext(kW, kH, AV_PIX_FMT_BGRA, kW, kH, AV_PIX_FMT_YUV420P, SWS_POINT,
                                   nullptr, nullptr, nullptr);
  VideoFrame dst;
  dst.alloc(AV_PIX_FMT_YUV420P, kW, kH, 0);
  AVFrame* d = const_cast<AVFrame*>(dst.avFrame());
  std::vector<double> ms;
  for (size_t i = 0; i < pics.size(); ++i) {
    const uint8_t* src[4] = {pics[i].data()};
    const int lines[4] = {kW * 4};
    const auto t0 = Clock::now();
    sws_scale(ctx, src, lines, 0, kH, d->data, d->linesize);
    if (i >= kWarmUp) ms.push_back(MsSince(t0));
  }
  sws_freeContext(ctx);
  return {"swscale alone (one context)", Summarise(ms)};
}

Row SwsContextOnly() {
  std::vector<double> ms;
  for (int i = 0; i < 40; ++i) {
    const auto t0 = Clock::now();
    SwsContext* ctx = sws_getContext(kW, kH, AV_PIX_FMT_BGRA, kW, kH, AV_PIX_FMT_YUV420P,
                                     SWS_POINT, nullptr, nullptr, nullptr);
    sws_freeContext(ctx);
    if (i >= kWarmUp) ms.push_back(MsSince(t0));
  }
  return {"sws_getContext + sws_freeContext", Summarise(ms)};
}

// x264 on pictures converted beforehand, same encoder parameters.
Row X264Only(const std::vector<std::vector<uint8_t>>& pics) {
  VPUEncoderPtr enc = OpenSdkEncoder();
  std::vector<double> ms;
  double bytes = 0;
  for (size_t i = 0; i < pics.size(); ++i) {
    VideoFrame f;
    f.fillFrom(AV_PIX_FMT_BGRA, kW, kH, pics[i].data(), static_cast<int>(pics[i].size()), 0);
    f.scaleTo(AV_PIX_FMT_YUV420P, kW, kH);
    x264_picture_t in, coded;
    x264_picture_init(&in);
    in.img.i_csp = X264_CSP_I420;
    in.img.i_plane = 3;
    for (int p = 0; p < 3; ++p) {
      in.img.plane[p] = f.avFrame()->data[p];
      in.img.i_stride[p] = f.avFrame()->linesize[p];
    }
    in.i_pts = static_cast<int64_t>(i);
    x264_nal_t* nals = nullptr;
    int count = 0;
    const auto t0 = Clock::now();
    const int n = x264_encoder_encode(enc->handle, &nals, &count, &in, &coded);
    if (i >= kWarmUp) {
      ms.push_back(MsSince(t0));
      bytes += n;
    }
  }
  return {"x264 alone (same parameters)", Summarise(ms), bytes / ms.size() / 1024};
}

// The ffmpeg command line on the same raw pictures, fed through a pipe; it
// reports one real time for the run, so only a mean per picture is known.
Row FfmpegCommand(const std::vector<std::vector<uint8_t>>& pics) {
  char log[] = "/tmp/corvane-bench-XXXXXX";
  const int fd = mkstemp(log);
  if (fd < 0) return {"ffmpeg -c:v libx264 (no temp file)", {}};
  close(fd);
  char size[32];
  snprintf(size, sizeof size, "%dx%d", kW, kH);
  const std::string cmd =
      std::string("ffmpeg -hide_banner -nostats -benchmark -f rawvideo -pix_fmt bgra -s ") + size +
      " -r " + std::to_string(kFps) +
      " -i - -pix_fmt yuv420p -c:v libx264 -preset superfast -tune zerolatency -profile:v high444"
      " -crf 22 -maxrate 2000k -bufsize 2000k -qmin 22 -qmax 51 -bf 0 -g " +
      std::to_string(kFps * 3600) +
      " -threads 1 -x264-params sliced-threads=1:ipratio=5:ratetol=0.5 -f null - 2>" + log;
  FILE* p = popen(cmd.c_str(), "w");
  if (!p) {
    unlink(log);
    return {"ffmpeg -c:v libx264 (did not start)", {}};
  }
  for (const auto& pic : pics) fwrite(pic.data(), 1, pic.size(), p);
  const int rc = pclose(p);
  double rtime = -1;
  if (FILE* f = fopen(log, "r")) {
    char line[512];
    while (fgets(line, sizeof line, f)) {
      const char* r = strstr(line, "rtime=");
      if (strstr(line, "bench:") && r) rtime = atof(r + 6);
    }
    fclose(f);
  }
  unlink(log);
  if (rc != 0 || rtime < 0) return {"ffmpeg -c:v libx264 (failed)", {}};
  BenchStats s;
  s.mean = rtime * 1000.0 / pics.size();
  s.meanOnly = true;
  return {"ffmpeg command, whole run (mean only)", s};
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(kWarmUp + 10, atoi(argv[1])) : 120;
  vpu_init(4);
  printf("%dx%d BGRA, %d pictures per content (%d warm-up not counted), ms per picture\n\n",
         kW, kH, count, kWarmUp);
  printf("| %-12s | %-38s | %8s | %8s | %8s | %7s |\n", "content", "measured", "p50", "p95",
         "mean", "KiB/pic");
  printf("|--------------|----------------------------------------|----------|----------|----------|---------|\n");
  for (ScreenContent content :
       {ScreenContent::TextPage, ScreenContent::Scrolling, ScreenContent::Still}) {
    std::vector<std::vector<uint8_t>> pics;
    pics.reserve(count);
    for (int i = 0; i < count; ++i) pics.push_back(ContentPicture(content, kW, kH, i));
    const char* name = ContentName(content);
    PrintRow(name, SdkPath(pics));
    PrintRow(name, ScaleToOnly(pics));
    PrintRow(name, SwscaleOnly(pics));
    PrintRow(name, X264Only(pics));
    PrintRow(name, FfmpegCommand(pics));
    fflush(stdout);
  }
  PrintRow("-", SwsContextOnly());
  return 0;
}
