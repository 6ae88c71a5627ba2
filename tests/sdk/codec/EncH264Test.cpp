#include "EncH264.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include "ChildProcess.h"
#include "CodecSetup.h"
#include "H264Decoder.h"
#include "TestPictures.h"
#include "VPUEncoder.h"
#include "VideoFrame.h"
#include "RowName.h"

namespace {

constexpr int kW = 320;
constexpr int kH = 192;

VideoFrame YuvPicture(int w, int h, int shift) {
  const auto px = ScreenLikeBgra(w, h, shift);
  VideoFrame f;
  EXPECT_EQ(f.fillFrom(AV_PIX_FMT_BGRA, w, h, px.data(), static_cast<int>(px.size()), shift), 0);
  EXPECT_TRUE(f.scaleTo(AV_PIX_FMT_YUV420P, w, h));
  return f;
}

// The capture thread's way of opening an encoder.
VPUEncoderPtr OpenSdkEncoder(int w, int h, const char* profile, int fps = 12,
                             int keyIntMs = 3600000) {
  return VPUEncoderPtr(vpu_openEncH264(-1, w, h, /*rcMode=*/1, /*crf=*/22.0f,
                                       /*bitRate=*/2000 * 1000, fps, keyIntMs, "superfast",
                                       "zerolatency", profile));
}

x264_param_t ParamsOf(const VPUEncoder* enc) {
  x264_param_t p;
  x264_encoder_parameters(enc->handle, &p);
  return p;
}

struct ProfileNameCase {
  int index;
  const char* name;
};

TEST(EncH264Test, ProfileNamesClampTheIndex) {
  const ProfileNameCase cases[] = {{-3, "baseline"}, {0, "baseline"}, {1, "main"},
                                   {2, "high"},      {3, "high10"},   {4, "high422"},
                                   {5, "high444"},   {7, "high444"},  {INT_MIN, "baseline"},
                                   {INT_MAX, "high444"}};
  for (const auto& c : cases) EXPECT_STREQ(vpu_profileName(c.index), c.name) << c.index;
}

struct ParamCase {
  const char* name;
  int w, h, fps, keyIntMs, cap;
  int fpsNum, keyint, threads;
};

const ParamCase kParamCases[] = {
    {"HourAt12Fps", 1920, 1080, 12, 3600000, 4, 12, 43200, 1},
    {"TwoSecondsAt15Fps", 1280, 720, 15, 2000, 4, 15, 30, 1},
    {"WiderThan1920UsesTheCap", 2560, 1440, 12, 3600000, 4, 12, 43200, 4},
    {"TallerThan1920UsesTheCap", 1088, 1936, 12, 3600000, 2, 12, 43200, 2},
    {"CapOfOne", 2560, 1440, 12, 3600000, 1, 12, 43200, 1},
    {"ZeroFpsMeansOne", 640, 480, 0, 5000, 4, 1, 5, 1},
    {"NegativeFpsMeansOne", 640, 480, -30, 5000, 4, 1, 5, 1},
    {"IntervalBelowOnePicture", 640, 480, 12, 50, 4, 12, 1, 1},
    {"NoInterval", 640, 480, 12, 0, 4, 12, 1, 1},
    {"NegativeInterval", 640, 480, 12, -100, 4, 12, 1, 1},
    {"ProductBeyondInt", 640, 480, 1000, INT_MAX, 4, 1000, X264_KEYINT_MAX_INFINITE, 1},
    {"HourAt1000Fps", 640, 480, 1000, 3600000, 4, 1000, 3600000, 1},
};

class EncoderParamTest : public ::testing::TestWithParam<ParamCase> {
 protected:
  void TearDown() override { vpu_init(4); }
};

TEST_P(EncoderParamTest, FrameRateKeyIntervalAndThreads) {
  const ParamCase& c = GetParam();
  vpu_init(c.cap);
  VPUEncoderPtr enc = OpenSdkEncoder(c.w, c.h, "high444", c.fps, c.keyIntMs);
  ASSERT_TRUE(enc);
  EXPECT_EQ(vpu_getEncWidth(enc.get()), c.w);
  EXPECT_EQ(vpu_getEncHeight(enc.get()), c.h);
  const x264_param_t p = ParamsOf(enc.get());
  EXPECT_EQ(p.i_fps_num, static_cast<uint32_t>(c.fpsNum));
  EXPECT_EQ(p.i_fps_den, 1u);
  EXPECT_EQ(p.i_keyint_max, c.keyint);
  EXPECT_EQ(p.i_threads, c.threads);
  EXPECT_EQ(p.i_bframe, 0);
}

INSTANTIATE_TEST_SUITE_P(Open, EncoderParamTest, ::testing::ValuesIn(kParamCases), RowName());

TEST(EncH264Test, RateControlModes) {
  VPUEncoderPtr crf(vpu_openEncH264(-1, 640, 480, 1, 22.7f, 2000 * 1000 + 999, 12, 3600000,
                                    "superfast", "zerolatency", "high"));
  ASSERT_TRUE(crf);
  x264_param_t p = ParamsOf(crf.get());
  EXPECT_EQ(p.rc.i_rc_method, X264_RC_CRF);
  EXPECT_FLOAT_EQ(p.rc.f_rf_constant, 22.7f);
  EXPECT_EQ(p.rc.i_qp_min, 22);
  EXPECT_EQ(p.rc.i_qp_max, 51);
  EXPECT_EQ(p.rc.i_vbv_max_bitrate, 2000);
  EXPECT_EQ(p.rc.i_vbv_buffer_size, 2000);
  EXPECT_FLOAT_EQ(p.rc.f_ip_factor, 5.0f);

  VPUEncoderPtr abr(vpu_openEncH264(-1, 640, 480, 2, 20.0f, 1500 * 1000, 12, 3600000,
                                    "superfast", "zerolatency", "high"));
  ASSERT_TRUE(abr);
  p = ParamsOf(abr.get());
  EXPECT_EQ(p.rc.i_rc_method, X264_RC_ABR);
  EXPECT_EQ(p.rc.i_bitrate, 1500);
  EXPECT_EQ(p.rc.i_vbv_max_bitrate, 1500);
  EXPECT_EQ(p.rc.i_vbv_buffer_size, 1500);
  EXPECT_FLOAT_EQ(p.rc.f_ip_factor, 1.6f);
}

struct OpenFailCase {
  const char* name;
  int codecId, w, h;
  const char* preset;
};

const OpenFailCase kOpenFailCases[] = {
    {"NotX264", 0, 320, 192, "superfast"},
    {"ZeroWidth", -1, 0, 192, "superfast"},
    {"NegativeHeight", -1, 320, -2, "superfast"},
    {"OddHeight", -1, 320, 191, "superfast"},
    {"OddWidth", -1, 1365, 768, "superfast"},
    {"UnknownPreset", -1, 320, 192, "warpspeed"},
};

class EncoderOpenFailTest : public ::testing::TestWithParam<OpenFailCase> {};

TEST_P(EncoderOpenFailTest, GivesNull) {
  const OpenFailCase& c = GetParam();
  EXPECT_EQ(vpu_openEncH264(c.codecId, c.w, c.h, 1, 22.0f, 2000000, 12, 3600000, c.preset,
                            "zerolatency", "high444"),
            nullptr);
}

INSTANTIATE_TEST_SUITE_P(Open, EncoderOpenFailTest, ::testing::ValuesIn(kOpenFailCases), RowName());

TEST(EncH264Test, NullEncoderIsHarmless) {
  EXPECT_EQ(vpu_getEncWidth(nullptr), 0);
  EXPECT_EQ(vpu_getEncHeight(nullptr), 0);
  vpu_closeEncH264(nullptr);
  int key = 0;
  uint8_t out[16];
  EXPECT_LT(vpu_encodeVideo(nullptr, VideoFrame(), &key, out, sizeof out), 0);
}

// One encoder and one decoder, as the capture thread and the box hold them.
class EncodeDecodeTest : public ::testing::Test {
 protected:
  struct Coded {
    int result = 0;
    int keyOut = 0;
    std::vector<H264Decoder::Picture> decoded;
  };

  void SetUp() override {
    enc_ = OpenSdkEncoder(kW, kH, "high444");
    ASSERT_TRUE(enc_);
    ASSERT_TRUE(decoder_.ok());
  }

  // Encodes the picture scrolled by `shift` and hands the output to the
  // decoder; capacity 0 means the capture thread's w x h + 1024 - 22.
  Coded Encode(int shift, int keyIn, int capacity = 0) {
    pictures_[shift] = YuvPicture(kW, kH, shift);
    std::vector<uint8_t> out(kW * kH + 1024);
    const int cap = capacity ? capacity : static_cast<int>(out.size()) - 22;
    Coded c;
    c.keyOut = keyIn;
    c.result = vpu_encodeVideo(enc_.get(), pictures_[shift], &c.keyOut, out.data(), cap);
    if (c.result > 0) {
      stream_.insert(stream_.end(), out.begin(), out.begin() + c.result);
      EXPECT_TRUE(decoder_.decode(out.data(), c.result, &c.decoded));
    }
    return c;
  }

  // Every plane of the decoded picture against the encoder's input.
  void ExpectMatches(const H264Decoder::Picture& pic, int shift, double minPsnr = 28.0) {
    ASSERT_EQ(pic.width, kW);
    ASSERT_EQ(pic.height, kH);
    EXPECT_FALSE(pic.corrupt);
    for (int plane = 0; plane < 3; ++plane)
      EXPECT_GT(PlanePsnr(pictures_[shift], pic.frame->data, pic.frame->linesize, plane),
                minPsnr)
          << "picture " << shift << " plane " << plane;
  }

  VPUEncoderPtr enc_;
  H264Decoder decoder_;
  std::map<int, VideoFrame> pictures_;
  std::vector<uint8_t> stream_;
};

TEST_F(EncodeDecodeTest, FirstPictureIsIdrAndLaterOnesFollowTheFlag) {
  const Coded first = Encode(0, /*keyIn=*/0);
  ASSERT_GT(first.result, 0);
  EXPECT_EQ(first.keyOut, X264_TYPE_IDR);
  ASSERT_EQ(first.decoded.size(), 1u);
  EXPECT_TRUE(first.decoded[0].key);
  ExpectMatches(first.decoded[0], 0);
  // Annex B: a start code, and the stream opens with its parameter sets.
  ASSERT_GE(stream_.size(), 5u);
  EXPECT_EQ(stream_[0], 0);
  EXPECT_EQ(stream_[1], 0);
  EXPECT_TRUE(stream_[2] == 1 || (stream_[2] == 0 && stream_[3] == 1));

  for (int shift = 8; shift <= 64; shift += 8) {
    const int keyIn = shift == 32 ? 1 : 0;
    const Coded c = Encode(shift, keyIn);
    ASSERT_GT(c.result, 0) << shift;
    ASSERT_EQ(c.decoded.size(), 1u) << shift;
    EXPECT_EQ(c.keyOut == X264_TYPE_IDR, keyIn == 1) << shift;
    EXPECT_EQ(c.decoded[0].key, keyIn == 1) << shift;
    ExpectMatches(c.decoded[0], shift);
  }
  EXPECT_EQ(enc_->frameCount, 9);
}

TEST_F(EncodeDecodeTest, DroppedPictureIsFollowedByAnIdrThatDecodesCleanly) {
  for (int shift = 0; shift < 24; shift += 8) ASSERT_GT(Encode(shift, 0).result, 0);
  const int64_t before = enc_->frameCount;

  const Coded dropped = Encode(24, 0, /*capacity=*/16);
  EXPECT_EQ(dropped.result, 0);
  EXPECT_NE(dropped.keyOut, X264_TYPE_IDR);
  // x264 took the picture, so its time stamp is spent.
  EXPECT_EQ(enc_->frameCount, before + 1);

  for (int shift = 32; shift <= 56; shift += 8) {
    const Coded c = Encode(shift, 0);
    ASSERT_GT(c.result, 0) << shift;
    ASSERT_EQ(c.decoded.size(), 1u) << shift;
    EXPECT_EQ(c.keyOut == X264_TYPE_IDR, shift == 32) << shift;
    EXPECT_EQ(c.decoded[0].key, shift == 32) << shift;
    ExpectMatches(c.decoded[0], shift);
  }
}

TEST_F(EncodeDecodeTest, KeyFlagKeepsOnlyItsLowBits) {
  ASSERT_GT(Encode(0, 0).result, 0);
  // 0x11 masked to 1 asks for an IDR picture.
  const Coded c = Encode(8, 0x11);
  ASSERT_GT(c.result, 0);
  EXPECT_EQ(c.keyOut, X264_TYPE_IDR);
}

TEST_F(EncodeDecodeTest, PictureTheEncoderWasNotOpenedForIsRefused) {
  int key = 0;
  std::vector<uint8_t> out(kW * kH);
  const VideoFrame bgra = [] {
    const auto px = ScreenLikeBgra(kW, kH, 0);
    VideoFrame f;
    f.fillFrom(AV_PIX_FMT_BGRA, kW, kH, px.data(), static_cast<int>(px.size()), 0);
    return f;
  }();
  const VideoFrame smaller = YuvPicture(kW - 16, kH, 0);
  for (const VideoFrame* pic : {&bgra, &smaller}) {
    EXPECT_LT(vpu_encodeVideo(enc_.get(), *pic, &key, out.data(), static_cast<int>(out.size())),
              0);
  }
  EXPECT_LT(vpu_encodeVideo(enc_.get(), VideoFrame(), &key, out.data(),
                            static_cast<int>(out.size())),
            0);
  EXPECT_EQ(enc_->frameCount, 0);
  // The encoder is still good for the pictures it was opened for.
  const Coded c = Encode(0, 0);
  EXPECT_GT(c.result, 0);
  EXPECT_EQ(c.keyOut, X264_TYPE_IDR);
}

struct ProfileCase {
  const char* name;
  int index;
  int streamProfile;
  const char* probeName;
};

// x264 signals the least profile the coded stream needs; the high444 set-up
// on 8-bit 4:2:0 pictures needs no more than High.
const ProfileCase kProfileCases[] = {
    {"BelowRange", -3, FF_PROFILE_H264_CONSTRAINED_BASELINE, "Constrained Baseline"},
    {"Baseline", 0, FF_PROFILE_H264_CONSTRAINED_BASELINE, "Constrained Baseline"},
    {"Main", 1, FF_PROFILE_H264_MAIN, "Main"},
    {"High", 2, FF_PROFILE_H264_HIGH, "High"},
    {"High10", 3, FF_PROFILE_H264_HIGH, "High"},
    {"High422", 4, FF_PROFILE_H264_HIGH, "High"},
    {"High444", 5, FF_PROFILE_H264_HIGH, "High"},
    {"AboveRange", 7, FF_PROFILE_H264_HIGH, "High"},
};

// A stream file that removes itself.
class TempStreamFile {
 public:
  explicit TempStreamFile(const std::vector<uint8_t>& bytes) {
    char name[] = "/tmp/corvane-codec-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return;
    path_ = name;
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    close(fd);
    ok_ = n == static_cast<ssize_t>(bytes.size());
  }
  ~TempStreamFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// key=value lines of ffprobe, bounded in time.
std::map<std::string, std::string> Probe(const std::string& path) {
  std::map<std::string, std::string> out;
  const std::string output = path + ".probe";
  if (!RunWithDeadline({FindInPath("ffprobe"), "-v", "error", "-f", "h264", "-count_frames", "-select_streams", "v:0",
                        "-show_entries", "stream=codec_name,profile,width,height,pix_fmt,nb_read_frames", "-of",
                        "default=noprint_wrappers=1", path},
                       60, output)
           .finished)
    return out;
  std::istringstream lines(ReadWholeFile(output));
  std::string s;
  for (int i = 0; i < 64 && std::getline(lines, s); ++i) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const auto eq = s.find('=');
    if (eq == std::string::npos) {
      out["error"] += s;
      continue;
    }
    out[s.substr(0, eq)] = s.substr(eq + 1);
  }
  std::remove(output.c_str());
  return out;
}

class EncoderProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(EncoderProfileTest, StreamReportsTheProfile) {
  const ProfileCase& c = GetParam();
  VPUEncoderPtr enc = OpenSdkEncoder(kW, kH, vpu_profileName(c.index));
  ASSERT_TRUE(enc);
  H264Decoder decoder;
  std::vector<uint8_t> stream;
  std::vector<uint8_t> out(kW * kH + 1024);
  std::vector<H264Decoder::Picture> decoded;
  for (int i = 0; i < 4; ++i) {
    int key = 0;
    const int n = vpu_encodeVideo(enc.get(), YuvPicture(kW, kH, i * 8), &key, out.data(),
                                  static_cast<int>(out.size()));
    ASSERT_GT(n, 0);
    stream.insert(stream.end(), out.begin(), out.begin() + n);
    ASSERT_TRUE(decoder.decode(out.data(), n, &decoded));
  }
  EXPECT_EQ(decoded.size(), 4u);
  EXPECT_EQ(decoder.profile(), c.streamProfile);

  // One real validator per profile is cheap enough to run for them all.
  TempStreamFile file(stream);
  ASSERT_TRUE(file.ok());
  auto probe = Probe(file.path());
  EXPECT_EQ(probe["error"], "");
  EXPECT_EQ(probe["codec_name"], "h264");
  EXPECT_EQ(probe["profile"], c.probeName);
  EXPECT_EQ(probe["width"], std::to_string(kW));
  EXPECT_EQ(probe["height"], std::to_string(kH));
  EXPECT_EQ(probe["pix_fmt"], "yuv420p");
  EXPECT_EQ(probe["nb_read_frames"], "4");
}

INSTANTIATE_TEST_SUITE_P(Profiles, EncoderProfileTest, ::testing::ValuesIn(kProfileCases), RowName());

}  // namespace
