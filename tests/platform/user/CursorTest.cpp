#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/User.h>

#include <vector>

#include "XScreen.h"

namespace {

TEST(CursorTest, PositionFollowsThePointer) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  for (const POINT& target : {POINT{10, 20}, POINT{1000, 700}, POINT{0, 0}}) {
    ASSERT_TRUE(screen.MoveCursor(target.x, target.y));
    POINT point{-1, -1};
    ASSERT_TRUE(GetCursorPos(&point));
    EXPECT_EQ(point.x, target.x);
    EXPECT_EQ(point.y, target.y);
  }
}

TEST(CursorTest, IconCarriesStraightAlphaAndHotSpot) {
  XScreen screen;
  ASSERT_TRUE(screen.ok());
  int width = 0, height = 0, hotX = 0, hotY = 0;
  std::vector<unsigned> premultiplied;
  ASSERT_TRUE(screen.CursorImage(&width, &height, &hotX, &hotY, &premultiplied));

  CURSORINFO info{};
  info.cbSize = 20;  // the size of the 32-bit record is not ours
  EXPECT_FALSE(GetCursorInfo(&info));
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetCursorInfo(&info));
  EXPECT_EQ(info.flags, CURSOR_SHOWING);
  HICON copy = CopyIcon(info.hCursor);
  ASSERT_NE(copy, nullptr);
  ICONINFO icon{};
  ASSERT_TRUE(GetIconInfo(copy, &icon));
  EXPECT_EQ(icon.xHotspot, static_cast<DWORD>(hotX));
  EXPECT_EQ(icon.yHotspot, static_cast<DWORD>(hotY));
  BITMAP color{}, mask{};
  ASSERT_EQ(GetObjectW(icon.hbmColor, sizeof(color), &color), static_cast<int>(sizeof(color)));
  ASSERT_EQ(GetObjectW(icon.hbmMask, sizeof(mask), &mask), static_cast<int>(sizeof(mask)));
  ASSERT_EQ(color.bmWidth, width);
  ASSERT_EQ(color.bmHeight, height);
  EXPECT_EQ(color.bmBitsPixel, 32);
  EXPECT_EQ(mask.bmBitsPixel, 1);
  EXPECT_EQ(mask.bmWidthBytes % 2, 0) << "mask rows are padded to 16 bits";
  std::vector<uint8_t> bytes(static_cast<size_t>(color.bmWidthBytes) * height);
  ASSERT_EQ(GetBitmapBits(icon.hbmColor, static_cast<LONG>(bytes.size()), bytes.data()),
            static_cast<LONG>(bytes.size()));
  for (int i = 0; i < width * height; ++i) {
    const unsigned alpha = premultiplied[i] >> 24;
    const unsigned blue = premultiplied[i] & 0xff;
    ASSERT_EQ(bytes[i * 4 + 3], alpha);
    // Multiplying the straight value by alpha again gives XFixes' value back.
    if (alpha != 0) {
      ASSERT_NEAR(bytes[i * 4] * alpha / 255.0, blue, 1.0) << i;
    }
  }
  DeleteObject(icon.hbmColor);
  DeleteObject(icon.hbmMask);
  EXPECT_TRUE(DestroyIcon(copy));
  EXPECT_FALSE(DestroyIcon(copy));
  EXPECT_EQ(CopyIcon(copy), nullptr);
  EXPECT_TRUE(DestroyIcon(info.hCursor)) << "the shared cursor is left alone";
  HICON again = CopyIcon(info.hCursor);
  EXPECT_NE(again, nullptr);
  DestroyIcon(again);
}

}  // namespace
