// The capture tick converts the captured picture in place and writes into
// kept pictures; what comes out must be what copying into fresh buffers gave.
#include "FrameRecycler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include "RowName.h"
#include "TestPictures.h"
#include "VideoFrame.h"

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Shared-memory pictures start on a page.
std::unique_ptr<uint8_t, FreeDeleter> PageCopy(const std::vector<uint8_t>& px) {
  const size_t bytes = (px.size() + 4095) / 4096 * 4096;
  std::unique_ptr<uint8_t, FreeDeleter> mem(static_cast<uint8_t*>(std::aligned_alloc(4096, bytes)));
  if (mem) std::memcpy(mem.get(), px.data(), px.size());
  return mem;
}

std::vector<uint8_t> TightYuv(const VideoFrame& f) {
  const AVFrame* a = f.avFrame();
  std::vector<uint8_t> out(av_image_get_buffer_size(AV_PIX_FMT_YUV420P, a->width, a->height, 1));
  av_image_copy_to_buffer(out.data(), static_cast<int>(out.size()), a->data, a->linesize,
                          AV_PIX_FMT_YUV420P, a->width, a->height, 1);
  return out;
}

struct TickCase {
  const char* name;
  int w, h, toW, toH;
};

const TickCase kTickCases[] = {
    {"SameSize", 64, 32, 64, 32},
    {"OddWidthRoundedUp", 1366, 20, 1376, 24},
    {"ScaledDown", 320, 200, 160, 96},
    {"FullHd", 1920, 1080, 1920, 1088},
};

class ConversionTickTest : public ::testing::TestWithParam<TickCase> {};

// Several ticks of changing content, each converted the old way (copy, fresh
// buffer) and the new way (in place, recycled buffer); the frame the encoder
// still holds from an earlier tick must not be written over.
TEST_P(ConversionTickTest, SamePicturesAsCopyingIntoFreshBuffers) {
  const TickCase& c = GetParam();
  FrameRecycler recycler;
  VideoFrame latest;
  std::vector<VideoFrame> held;
  std::vector<std::vector<uint8_t>> expected;
  std::vector<const uint8_t*> buffers;
  bool reused = false;
  for (int tick = 0; tick < 5; ++tick) {
    const auto px = ScreenLikeBgra(c.w, c.h, tick * 7);
    VideoFrame old;
    ASSERT_EQ(old.fillFrom(AV_PIX_FMT_BGRA, c.w, c.h, px.data(), static_cast<int>(px.size()), tick), 0);
    ASSERT_TRUE(old.scaleTo(AV_PIX_FMT_YUV420P, c.toW, c.toH));

    auto dib = PageCopy(px);
    ASSERT_TRUE(dib);
    VideoFrame now;
    ASSERT_EQ(now.wrap(AV_PIX_FMT_BGRA, c.w, c.h, dib.get(), static_cast<int>(px.size()), tick), 0);
    ASSERT_TRUE(now.scaleTo(AV_PIX_FMT_YUV420P, c.toW, c.toH, &recycler));
    EXPECT_EQ(now.size(), old.size());
    EXPECT_EQ(now.pts(), tick);
    EXPECT_EQ(now.avFrame()->pkt_dts, tick);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(now.avFrame()->linesize[i], old.avFrame()->linesize[i]);
    for (const uint8_t* b : buffers) reused = reused || b == now.avFrame()->data[0];
    buffers.push_back(now.avFrame()->data[0]);
    expected.push_back(TightYuv(old));
    EXPECT_TRUE(TightYuv(now) == expected.back()) << "tick " << tick;
    // Every other tick the encoder keeps a copy, as a sent frame does.
    if (tick % 2 == 0) held.push_back(now);
    latest.swap(now);
    recycler.give(now);
  }
  EXPECT_TRUE(reused) << "no tick wrote into a kept picture";
  // Another target size afterwards gets a converter of its own.
  const auto px = ScreenLikeBgra(c.w, c.h, 99);
  VideoFrame old, now;
  ASSERT_EQ(old.fillFrom(AV_PIX_FMT_BGRA, c.w, c.h, px.data(), static_cast<int>(px.size()), 0), 0);
  ASSERT_EQ(now.wrap(AV_PIX_FMT_BGRA, c.w, c.h, px.data(), static_cast<int>(px.size()), 0), 0);
  ASSERT_TRUE(old.scaleTo(AV_PIX_FMT_YUV420P, c.toW / 2, c.toH / 2));
  ASSERT_TRUE(now.scaleTo(AV_PIX_FMT_YUV420P, c.toW / 2, c.toH / 2, &recycler));
  EXPECT_TRUE(TightYuv(now) == TightYuv(old));
  for (size_t i = 0; i < held.size(); ++i)
    EXPECT_TRUE(TightYuv(held[i]) == expected[i * 2]) << "held frame " << i << " was written over";
}

INSTANTIATE_TEST_SUITE_P(Sizes, ConversionTickTest, ::testing::ValuesIn(kTickCases), RowName());

TEST(FrameRecyclerTest, HandsOutOnlyUnsharedPicturesOfTheAskedShape) {
  FrameRecycler recycler;
  VideoFrame a;
  ASSERT_TRUE(a.alloc(AV_PIX_FMT_YUV420P, 64, 32, 0));
  const uint8_t* aData = a.avFrame()->data[0];
  VideoFrame sharer = a;
  recycler.give(a);
  EXPECT_TRUE(a.isEmpty());
  VideoFrame out;
  EXPECT_FALSE(recycler.take(AV_PIX_FMT_YUV420P, 64, 32, out)) << "a copy still shares it";
  sharer = VideoFrame();
  EXPECT_FALSE(recycler.take(AV_PIX_FMT_YUV420P, 64, 48, out));
  EXPECT_FALSE(recycler.take(AV_PIX_FMT_BGRA, 64, 32, out));
  ASSERT_TRUE(recycler.take(AV_PIX_FMT_YUV420P, 64, 32, out));
  EXPECT_EQ(out.avFrame()->data[0], aData);
  EXPECT_EQ(recycler.size(), 0u);

  // A new size lets the old ones go; the count stays bounded.
  recycler.give(out);
  VideoFrame other;
  ASSERT_TRUE(other.alloc(AV_PIX_FMT_YUV420P, 32, 32, 0));
  recycler.give(other);
  EXPECT_EQ(recycler.size(), 1u);
  for (int i = 0; i < 10; ++i) {
    VideoFrame f;
    ASSERT_TRUE(f.alloc(AV_PIX_FMT_YUV420P, 32, 32, 0));
    recycler.give(f);
  }
  EXPECT_EQ(recycler.size(), 4u);
}

TEST(FrameRecyclerTest, WrapRefusesAShortPictureAndKeepsThePreviousOne) {
  const auto px = ScreenLikeBgra(16, 8, 1);
  VideoFrame f;
  ASSERT_EQ(f.wrap(AV_PIX_FMT_BGRA, 16, 8, px.data(), static_cast<int>(px.size()), 3), 0);
  EXPECT_EQ(f.avFrame()->data[0], px.data());
  EXPECT_FALSE(f.isWritable()) << "the wrapped memory belongs to the capturer";
  EXPECT_EQ(f.wrap(AV_PIX_FMT_BGRA, 16, 9, px.data(), static_cast<int>(px.size()), 4), 16 * 9 * 4);
  EXPECT_LT(f.wrap(AV_PIX_FMT_BGRA, 0, 8, px.data(), static_cast<int>(px.size()), 4), 0);
  EXPECT_EQ(f.wrap(AV_PIX_FMT_BGRA, 16, 8, nullptr, 0, 4), 16 * 8 * 4);
  EXPECT_EQ(f.size(), QSize(16, 8));
  EXPECT_EQ(f.pts(), 3);
}

}  // namespace
