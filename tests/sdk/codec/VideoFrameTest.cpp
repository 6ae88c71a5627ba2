#include "VideoFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "TestPictures.h"
#include "RowName.h"

namespace {

// A BGRA picture whose every pixel tells where it came from.
std::vector<uint8_t> CoordinateBgra(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x ^ y);
      p[3] = 0xFF;
    }
  return px;
}

VideoFrame BgraFrame(const std::vector<uint8_t>& px, int w, int h, int64_t pts = 7) {
  VideoFrame f;
  EXPECT_EQ(f.fillFrom(AV_PIX_FMT_BGRA, w, h, px.data(), static_cast<int>(px.size()), pts), 0);
  return f;
}

const uint8_t* Pixel(const VideoFrame& f, int x, int y) {
  const AVFrame* a = f.avFrame();
  return a->data[0] + static_cast<ptrdiff_t>(y) * a->linesize[0] + x * 4;
}

TEST(VideoFrameTest, NewFrameIsEmpty) {
  VideoFrame f;
  EXPECT_TRUE(f.isEmpty());
  EXPECT_EQ(f.size(), QSize(0, 0));
  EXPECT_EQ(f.pts(), AV_NOPTS_VALUE);
  ASSERT_NE(f.avFrame(), nullptr);
}

TEST(VideoFrameTest, AllocSetsFormatSizeAndBothStamps) {
  VideoFrame f;
  ASSERT_TRUE(f.alloc(AV_PIX_FMT_YUV420P, 64, 48, 1234567890123LL));
  EXPECT_EQ(f.size(), QSize(64, 48));
  EXPECT_EQ(f.format(), AV_PIX_FMT_YUV420P);
  EXPECT_EQ(f.pts(), 1234567890123LL);
  EXPECT_EQ(f.avFrame()->pkt_dts, 1234567890123LL);
  EXPECT_NE(f.avFrame()->data[2], nullptr);
}

TEST(VideoFrameTest, FailedAllocKeepsThePreviousPicture) {
  const auto px = CoordinateBgra(16, 8);
  VideoFrame f = BgraFrame(px, 16, 8);
  const uint8_t* before = f.avFrame()->data[0];
  // Too large for any image FFmpeg accepts: refused before any memory is taken.
  EXPECT_FALSE(f.alloc(AV_PIX_FMT_BGRA, 60000, 60000, 1));
  EXPECT_FALSE(f.scaleTo(AV_PIX_FMT_YUV420P, 60000, 60000));
  EXPECT_FALSE(f.padTo(60000, 60000));
  EXPECT_EQ(f.size(), QSize(16, 8));
  EXPECT_EQ(f.avFrame()->data[0], before);
  EXPECT_EQ(f.pts(), 7);
}

TEST(VideoFrameTest, FillFromCopiesTightRowsIntoTheFrame) {
  const int w = 13, h = 5;  // an odd width makes aligned strides differ from rows
  const auto px = CoordinateBgra(w, h);
  VideoFrame f = BgraFrame(px, w, h, 99);
  EXPECT_EQ(f.pts(), 99);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(0, memcmp(Pixel(f, x, y), &px[(static_cast<size_t>(y) * w + x) * 4], 4))
          << x << "," << y;
}

struct FillCase {
  const char* name;
  AVPixelFormat fmt;
  int w, h;
  int len;  // -1: exactly what the picture needs
  bool filled;
  int result;  // checked when not filled: 0 means "negative"
};

const FillCase kFillCases[] = {
    {"Exact", AV_PIX_FMT_BGRA, 8, 4, -1, true, 0},
    {"Longer", AV_PIX_FMT_BGRA, 8, 4, 200, true, 0},
    {"OneShort", AV_PIX_FMT_BGRA, 8, 4, 127, false, 128},
    {"Nothing", AV_PIX_FMT_BGRA, 8, 4, 0, false, 128},
    {"ZeroWidth", AV_PIX_FMT_BGRA, 0, 4, 100, false, 0},
    {"NegativeHeight", AV_PIX_FMT_BGRA, 8, -4, 100, false, 0},
    {"NoFormat", AV_PIX_FMT_NONE, 8, 4, 100, false, 0},
};

class FillFromTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillFromTest, OnlyACompleteSourceReplacesThePicture) {
  const FillCase& c = GetParam();
  VideoFrame f;
  ASSERT_TRUE(f.alloc(AV_PIX_FMT_RGBA, 2, 2, 5));
  std::vector<uint8_t> src(512, 0x5A);
  const int len = c.len < 0 ? 128 : c.len;
  const int rc = f.fillFrom(c.fmt, c.w, c.h, src.data(), len, 11);
  if (c.filled) {
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(f.size(), QSize(c.w, c.h));
    EXPECT_EQ(f.pts(), 11);
    return;
  }
  if (c.result > 0)
    EXPECT_EQ(rc, c.result);
  else
    EXPECT_LT(rc, 0);
  EXPECT_EQ(f.size(), QSize(2, 2));
  EXPECT_EQ(f.format(), AV_PIX_FMT_RGBA);
  EXPECT_EQ(f.pts(), 5);
}

INSTANTIATE_TEST_SUITE_P(Sources, FillFromTest, ::testing::ValuesIn(kFillCases), RowName());

TEST(VideoFrameTest, CopiesShareDataAndSwapExchanges) {
  const auto px = CoordinateBgra(8, 8);
  VideoFrame a = BgraFrame(px, 8, 8, 1);
  VideoFrame b(a);
  EXPECT_EQ(b.avFrame()->data[0], a.avFrame()->data[0]);
  EXPECT_EQ(b.pts(), 1);

  VideoFrame c;
  ASSERT_TRUE(c.alloc(AV_PIX_FMT_YUV420P, 4, 4, 2));
  c = a;
  EXPECT_EQ(c.avFrame()->data[0], a.avFrame()->data[0]);
  EXPECT_EQ(c.format(), AV_PIX_FMT_BGRA);

  c = VideoFrame();  // assigning an empty frame empties the target
  EXPECT_TRUE(c.isEmpty());
  EXPECT_EQ(c.size(), QSize(0, 0));

  const VideoFrame& self = a;
  a = self;
  EXPECT_EQ(a.avFrame()->data[0], b.avFrame()->data[0]);

  VideoFrame d;
  ASSERT_TRUE(d.alloc(AV_PIX_FMT_YUV420P, 4, 2, 3));
  a.swap(d);
  EXPECT_EQ(a.size(), QSize(4, 2));
  EXPECT_EQ(d.size(), QSize(8, 8));
  EXPECT_EQ(d.avFrame()->data[0], b.avFrame()->data[0]);

  // Converting one copy leaves the other's pixels alone.
  ASSERT_TRUE(d.scaleTo(AV_PIX_FMT_YUV420P, 8, 8));
  EXPECT_EQ(0, memcmp(Pixel(b, 3, 5), &px[(5 * 8 + 3) * 4], 4));
}

struct FitCase {
  const char* name;
  int w, h;
  float ratio;
  int fitW, fitH;
};

const FitCase kFitCases[] = {
    {"Widen4by3To16by9", 1024, 768, 16.0f / 9.0f, 1365, 768},
    {"WithinTenthOf16by9", 1920, 1080, 1.70f, 1920, 1080},
    {"Widen16by10", 1920, 1200, 16.0f / 9.0f, 2133, 1200},
    {"WithinTenthOf5by4", 1280, 1024, 4.0f / 3.0f, 1280, 1024},
    {"Heighten16by9To4by3", 1920, 1080, 4.0f / 3.0f, 1920, 1440},
    {"ZeroHeight", 1920, 0, 1.5f, 1920, 0},
    {"ZeroRatio", 1920, 1080, 0.0f, 1920, 1080},
    {"NegativeRatio", 1920, 1080, -2.0f, 1920, 1080},
    {"NanRatio", 1920, 1080, std::numeric_limits<float>::quiet_NaN(), 1920, 1080},
    {"InfiniteRatio", 1920, 1080, std::numeric_limits<float>::infinity(), 1920, 1080},
    {"RatioBeyondInt", 1920, 1080, 1e30f, 1920, 1080},
    {"TinyRatioBeyondInt", 1920, 1080, 1e-30f, 1920, 1080},
};

class AspectFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(AspectFitTest, GrowsOneSideToTheRatio) {
  const FitCase& c = GetParam();
  int w = c.w, h = c.h;
  vpu_aspectFit(w, h, c.ratio);
  EXPECT_EQ(w, c.fitW);
  EXPECT_EQ(h, c.fitH);
}

INSTANTIATE_TEST_SUITE_P(Sizes, AspectFitTest, ::testing::ValuesIn(kFitCases), RowName());

struct PadCase {
  const char* name;
  AVPixelFormat fmt;
  int w, h, toW, toH;
  int left, top;  // where the old picture lands
};

const PadCase kPadCases[] = {
    {"EvenColumns", AV_PIX_FMT_BGRA, 1366, 768, 1376, 768, 5, 0},
    {"OddColumns", AV_PIX_FMT_BGRA, 20, 6, 29, 6, 4, 0},
    {"EvenRows", AV_PIX_FMT_BGRA, 20, 6, 20, 10, 0, 2},
    {"OddRows", AV_PIX_FMT_BGRA, 20, 6, 20, 9, 0, 1},
    {"BothOdd", AV_PIX_FMT_RGBA, 21, 7, 32, 16, 5, 4},
    {"OnePixelBorder", AV_PIX_FMT_ARGB, 3, 3, 5, 5, 1, 1},
};

class PadToTest : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadToTest, CentresThePictureOnBlack) {
  const PadCase& c = GetParam();
  const auto px = CoordinateBgra(c.w, c.h);
  VideoFrame f;
  ASSERT_EQ(f.fillFrom(c.fmt, c.w, c.h, px.data(), static_cast<int>(px.size()), 42), 0);
  // Leave non-black bytes in a freed buffer of the padded size, which the
  // allocator tends to hand out next: a band left undrawn then shows.
  {
    VideoFrame garbage;
    ASSERT_TRUE(garbage.alloc(c.fmt, c.toW, c.toH, 0));
    const AVFrame* g = garbage.avFrame();
    for (int y = 0; y < c.toH; ++y) memset(g->data[0] + y * g->linesize[0], 0xEE, c.toW * 4);
  }
  ASSERT_TRUE(f.padTo(c.toW, c.toH));
  ASSERT_EQ(f.size(), QSize(c.toW, c.toH));
  EXPECT_EQ(f.format(), c.fmt);
  EXPECT_EQ(f.pts(), 42);
  const uint8_t black[4] = {0, 0, 0, 0};
  for (int y = 0; y < c.toH; ++y)
    for (int x = 0; x < c.toW; ++x) {
      const int sx = x - c.left, sy = y - c.top;
      const bool inside = sx >= 0 && sx < c.w && sy >= 0 && sy < c.h;
      const uint8_t* want = inside ? &px[(static_cast<size_t>(sy) * c.w + sx) * 4] : black;
      ASSERT_EQ(0, memcmp(Pixel(f, x, y), want, 4)) << "pixel " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PadToTest, ::testing::ValuesIn(kPadCases), RowName());

TEST(VideoFrameTest, PadToRefusesWhatItCannotDraw) {
  const auto px = CoordinateBgra(16, 8);
  VideoFrame f = BgraFrame(px, 16, 8);
  const uint8_t* before = f.avFrame()->data[0];
  EXPECT_FALSE(f.padTo(14, 10));  // narrower
  EXPECT_FALSE(f.padTo(18, 6));   // lower
  EXPECT_TRUE(f.padTo(16, 8));    // same size: nothing to do
  EXPECT_EQ(f.avFrame()->data[0], before);

  ASSERT_TRUE(f.scaleTo(AV_PIX_FMT_YUV420P, 16, 8));
  EXPECT_FALSE(f.padTo(32, 8));  // zero bytes are not black in YUV
  EXPECT_EQ(f.size(), QSize(16, 8));

  VideoFrame empty;
  EXPECT_FALSE(empty.padTo(32, 8));
  EXPECT_TRUE(empty.isEmpty());
}

TEST(VideoFrameTest, ScaleToIgnoresNothingToDo) {
  const auto px = CoordinateBgra(16, 8);
  VideoFrame f = BgraFrame(px, 16, 8);
  const uint8_t* before = f.avFrame()->data[0];
  EXPECT_FALSE(f.scaleTo(AV_PIX_FMT_YUV420P, 0, 8));
  EXPECT_FALSE(f.scaleTo(AV_PIX_FMT_YUV420P, 16, -1));
  EXPECT_TRUE(f.scaleTo(AV_PIX_FMT_BGRA, 16, 8));
  EXPECT_EQ(f.avFrame()->data[0], before);
  EXPECT_EQ(f.format(), AV_PIX_FMT_BGRA);

  VideoFrame empty;
  EXPECT_FALSE(empty.scaleTo(AV_PIX_FMT_YUV420P, 16, 8));
  EXPECT_TRUE(empty.isEmpty());
}

// The conversion is pinned by doing it again with libswscale and each flag:
// the result has to equal the expected flag's bytes and differ from the
// other's (which shows the picture tells the two apart).
struct ScaleCase {
  const char* name;
  int w, h, toW, toH;
  int flag, otherFlag;
};

const ScaleCase kScaleCases[] = {
    {"SameSizeIsPoint", 64, 32, 64, 32, SWS_POINT, SWS_BICUBIC},
    {"LargerIsBicubic", 64, 32, 96, 48, SWS_BICUBIC, SWS_POINT},
    {"SmallerIsBicubic", 64, 32, 48, 16, SWS_BICUBIC, SWS_POINT},
    {"StretchIsBicubic", 1366, 8, 1376, 8, SWS_BICUBIC, SWS_POINT},
};

std::vector<uint8_t> ReferenceYuv(const std::vector<uint8_t>& bgra, int w, int h, int toW,
                                  int toH, int flag) {
  SwsContext* ctx = sws_getContext(w, h, AV_PIX_FMT_BGRA, toW, toH, AV_PIX_FMT_YUV420P, flag,
                                   nullptr, nullptr, nullptr);
  EXPECT_NE(ctx, nullptr);
  if (!ctx) return {};
  std::vector<uint8_t> out(
      av_image_get_buffer_size(AV_PIX_FMT_YUV420P, toW, toH, /*align=*/1));
  uint8_t* dst[4] = {};
  int dstLines[4] = {};
  av_image_fill_arrays(dst, dstLines, out.data(), AV_PIX_FMT_YUV420P, toW, toH, 1);
  const uint8_t* src[4] = {bgra.data()};
  const int srcLines[4] = {w * 4};
  sws_scale(ctx, src, srcLines, 0, h, dst, dstLines);
  sws_freeContext(ctx);
  return out;
}

std::vector<uint8_t> TightYuv(const VideoFrame& f) {
  const AVFrame* a = f.avFrame();
  std::vector<uint8_t> out(
      av_image_get_buffer_size(AV_PIX_FMT_YUV420P, a->width, a->height, /*align=*/1));
  av_image_copy_to_buffer(out.data(), static_cast<int>(out.size()), a->data, a->linesize,
                          AV_PIX_FMT_YUV420P, a->width, a->height, 1);
  return out;
}

class ScaleToTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleToTest, UsesPointAtTheSameSizeAndBicubicOtherwise) {
  const ScaleCase& c = GetParam();
  const auto px = ScreenLikeBgra(c.w, c.h, 3);
  VideoFrame f = BgraFrame(px, c.w, c.h, 77);
  ASSERT_TRUE(f.scaleTo(AV_PIX_FMT_YUV420P, c.toW, c.toH));
  EXPECT_EQ(f.size(), QSize(c.toW, c.toH));
  EXPECT_EQ(f.format(), AV_PIX_FMT_YUV420P);
  EXPECT_EQ(f.pts(), 77);
  const auto got = TightYuv(f);
  EXPECT_TRUE(got == ReferenceYuv(px, c.w, c.h, c.toW, c.toH, c.flag));
  EXPECT_FALSE(got == ReferenceYuv(px, c.w, c.h, c.toW, c.toH, c.otherFlag));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScaleToTest, ::testing::ValuesIn(kScaleCases), RowName());

}  // namespace
