#include <gtest/gtest.h>

#include "CursorImage.h"
#include "RowName.h"

namespace {

// A 1-bit bitmap from rows of '0'/'1', each row padded to rowBytes.
BitmapBytes Mask(const std::vector<std::string>& rows, int rowBytes) {
  BitmapBytes mask;
  mask.width = static_cast<int>(rows.front().size());
  mask.height = static_cast<int>(rows.size());
  mask.bitsPerPixel = 1;
  mask.rowBytes = rowBytes;
  mask.bytes.assign(static_cast<size_t>(rowBytes) * rows.size(), 0);
  for (size_t y = 0; y < rows.size(); ++y) {
    for (size_t x = 0; x < rows[y].size(); ++x) {
      if (rows[y][x] == '1') mask.bytes[y * rowBytes + x / 8] |= 0x80 >> (x % 8);
    }
  }
  return mask;
}

BitmapBytes Color(int width, int height, uint32_t bgra) {
  BitmapBytes color;
  color.width = width;
  color.height = height;
  color.bitsPerPixel = 32;
  color.rowBytes = width * 4;
  for (int i = 0; i < width * height; ++i) {
    for (int b = 0; b < 4; ++b) color.bytes.push_back(static_cast<uint8_t>(bgra >> (8 * b)));
  }
  return color;
}

uint32_t PixelOf(const CursorImage& image, int x, int y) {
  const uint8_t* p = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kClear = 0x00000000;

TEST(CursorImageTest, MonochromeBitsGiveBlackWhiteOrClear) {
  // AND rows over XOR rows; columns: (0,0) (0,1) (1,0) (1,1).
  const BitmapBytes mask = Mask({"0011", "0101"}, 2);
  CursorImage image;
  ASSERT_TRUE(MakeCursorImage(mask, nullptr, image));
  ASSERT_EQ(image.width, 4);
  ASSERT_EQ(image.height, 1);
  EXPECT_EQ(PixelOf(image, 0, 0), kBlack);
  EXPECT_EQ(PixelOf(image, 1, 0), kWhite);
  EXPECT_EQ(PixelOf(image, 2, 0), kClear);
  EXPECT_EQ(PixelOf(image, 3, 0), kBlack) << "an inverting pixel is drawn black";
}

TEST(CursorImageTest, MaskRowsAreReadWithTheirPadding) {
  // 20 pixels wide: 3 bytes of bits, 4 with padding; a bit stream would skew row 1.
  const std::string clearRow(20, '1');
  std::string row = clearRow;
  row[19] = '0';
  const BitmapBytes mask = Mask({clearRow, row, std::string(20, '0'), std::string(20, '0')}, 4);
  CursorImage image;
  ASSERT_TRUE(MakeCursorImage(mask, nullptr, image));
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(PixelOf(image, 19, 0), kClear);
  EXPECT_EQ(PixelOf(image, 19, 1), kBlack);
  EXPECT_EQ(PixelOf(image, 18, 1), kClear);
}

struct ColorCase {
  const char* name;
  uint32_t colorPixel;
  const char* maskBit;  // mask row of one pixel
  bool drawn;
  uint32_t expected;
};

class CursorColorTest : public ::testing::TestWithParam<ColorCase> {};

TEST_P(CursorColorTest, AlphaComesFromColourOrMask) {
  const ColorCase& c = GetParam();
  const BitmapBytes mask = Mask({c.maskBit}, 2);
  const BitmapBytes color = Color(1, 1, c.colorPixel);
  CursorImage image;
  ASSERT_EQ(MakeCursorImage(mask, &color, image), c.drawn);
  if (c.drawn) {
    EXPECT_EQ(PixelOf(image, 0, 0), c.expected);
  }
}

const ColorCase kColorCases[] = {
    {"OwnAlphaKept", 0x80102030, "1", true, 0x80102030},
    {"NoAlphaMaskClear", 0x00102030, "0", true, 0xFF102030},
    {"NoAlphaMaskSet", 0x00102030, "1", true, 0x00102030},
};

INSTANTIATE_TEST_SUITE_P(Cursor, CursorColorTest, ::testing::ValuesIn(kColorCases), RowName());

TEST(CursorImageTest, UnusableBitmapsDrawNothing) {
  CursorImage image;
  BitmapBytes shallow = Color(2, 2, 0xFF000000);
  shallow.bitsPerPixel = 24;
  EXPECT_FALSE(MakeCursorImage(Mask({"00", "00"}, 2), &shallow, image));
  BitmapBytes truncated = Color(2, 2, 0xFF000000);
  truncated.bytes.resize(7);
  EXPECT_FALSE(MakeCursorImage(Mask({"00", "00"}, 2), &truncated, image));
  BitmapBytes shortMask = Mask({"00", "00"}, 2);
  shortMask.bytes.resize(3);
  EXPECT_FALSE(MakeCursorImage(shortMask, nullptr, image));
}

TEST(CursorImageTest, BlendTouchesOnlyTheOverlapAndKeepsFourthByte) {
  CursorImage image;
  image.width = 3;
  image.height = 3;
  // Blue 200, green 100, red 0, alpha 128 everywhere.
  for (int i = 0; i < 9; ++i) image.bgra.insert(image.bgra.end(), {200, 100, 0, 128});
  std::vector<uint8_t> picture(4 * 4 * 4, 0);
  for (size_t i = 0; i < picture.size(); i += 4) {
    picture[i] = 10;
    picture[i + 1] = 20;
    picture[i + 2] = 250;
    picture[i + 3] = 7;
  }
  std::vector<uint8_t> guarded = picture;
  BlendCursorImage(image, -2, 2, picture.data(), 4, 4);  // only (0,2) and (0,3) overlap
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = &picture[(y * 4 + x) * 4];
      const bool inside = x == 0 && y >= 2;
      EXPECT_EQ(p[3], 7);
      if (!inside) {
        EXPECT_EQ(memcmp(p, &guarded[(y * 4 + x) * 4], 4), 0) << x << "," << y;
        continue;
      }
      EXPECT_EQ(p[0], 200 * 128 / 255 + 10 * 127 / 255);
      EXPECT_EQ(p[1], 100 * 128 / 255 + 20 * 127 / 255);
      EXPECT_EQ(p[2], 0 * 128 / 255 + 250 * 127 / 255);
    }
  }
}

}  // namespace
