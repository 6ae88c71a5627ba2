#include <gtest/gtest.h>

#include <platform/Gdi.h>
#include <platform/Kernel.h>

#include "XWindows.h"
#include "RowName.h"

namespace {

BITMAPINFO Info(LONG width, LONG height, WORD bits = 32, DWORD compression = BI_RGB) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = compression;
  return info;
}

struct DibCase {
  const char* name;
  BITMAPINFO info;
  DWORD error;  // 0: created
};

const DibCase kDibCases[] = {
    {"TopDown", Info(16, -8), 0},
    {"OnePixel", Info(1, -1), 0},
    {"BottomUp", Info(16, 8), ERROR_INVALID_PARAMETER},
    {"ZeroWidth", Info(0, -8), ERROR_INVALID_PARAMETER},
    {"TwentyFourBits", Info(16, -8, 24), ERROR_INVALID_PARAMETER},
    {"Compressed", Info(16, -8, 32, 3), ERROR_INVALID_PARAMETER},
    {"MostNegativeHeight", Info(16, INT32_MIN), ERROR_INVALID_PARAMETER},
    {"TooLarge", Info(100000, -100000), ERROR_NOT_ENOUGH_MEMORY},
};

class DibTest : public ::testing::TestWithParam<DibCase> {};

TEST_P(DibTest, CreatedOrFailedWithError) {
  const DibCase& c = GetParam();
  void* bits = reinterpret_cast<void*>(1);  // must be overwritten either way
  SetLastError(0);
  HBITMAP dib = CreateDIBSection(nullptr, &c.info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (c.error != 0) {
    EXPECT_EQ(dib, nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(GetLastError(), c.error);
    return;
  }
  ASSERT_NE(dib, nullptr);
  ASSERT_NE(bits, nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(dib, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
  EXPECT_EQ(bm.bmWidth, c.info.bmiHeader.biWidth);
  EXPECT_EQ(bm.bmHeight, -c.info.bmiHeader.biHeight);
  EXPECT_EQ(bm.bmWidthBytes, 4 * bm.bmWidth);
  EXPECT_EQ(bm.bmBits, bits);
  const auto* bytes = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < bm.bmWidthBytes * bm.bmHeight; ++i) ASSERT_EQ(bytes[i], 0) << "new DIBs are black";
  EXPECT_TRUE(DeleteObject(dib));
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, DibTest, ::testing::ValuesIn(kDibCases), RowName());

// A memory DC with a fresh top-down DIB selected.
class DibFixture : public ::testing::Test {
 protected:
  void Make(int width, int height) {
    width_ = width;
    BITMAPINFO info = Info(width, -height);
    void* bits = nullptr;
    dib_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib_, nullptr);
    bits_ = static_cast<uint8_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    stock_ = SelectObject(dc_, dib_);
    ASSERT_NE(stock_, nullptr);
  }
  void TearDown() override {
    if (dc_ != nullptr) {
      SelectObject(dc_, stock_);
      DeleteDC(dc_);
    }
    if (dib_ != nullptr) DeleteObject(dib_);
  }
  unsigned At(int x, int y) const {
    const uint8_t* p = bits_ + (static_cast<size_t>(y) * width_ + x) * 4;
    return (unsigned{p[2]} << 16) | (unsigned{p[1]} << 8) | p[0];
  }

  HBITMAP dib_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ stock_ = nullptr;
  uint8_t* bits_ = nullptr;
  int width_ = 0;
};

using DrawTest = DibFixture;

TEST_F(DrawTest, FillRectHonoursClipAndBitmapEdges) {
  Make(30, 30);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  const RECT all{-10, -10, 100, 100};
  EXPECT_TRUE(FillRect(dc_, &all, red));
  HRGN outer = CreateRectRgn(0, 0, 30, 30);
  HRGN hole = CreateRectRgn(10, 10, 20, 20);
  ASSERT_EQ(CombineRgn(outer, outer, hole, RGN_DIFF), COMPLEXREGION);
  EXPECT_EQ(SelectClipRgn(dc_, outer), COMPLEXREGION);
  DeleteObject(outer);  // the DC keeps its own copy
  EXPECT_TRUE(FillRect(dc_, &all, blue));
  EXPECT_EQ(At(0, 0), 0x0000FFu);
  EXPECT_EQ(At(29, 29), 0x0000FFu);
  EXPECT_EQ(At(10, 10), 0xFF0000u);
  EXPECT_EQ(At(19, 19), 0xFF0000u);
  EXPECT_EQ(At(20, 19), 0x0000FFu);
  EXPECT_EQ(bits_[3], 0) << "the fourth byte stays unused";
  SelectClipRgn(dc_, nullptr);
  EXPECT_TRUE(FillRect(dc_, &all, red));
  EXPECT_EQ(At(15, 15), 0xFF0000u);
  DeleteObject(hole);
  DeleteObject(red);
  DeleteObject(blue);
}

TEST_F(DrawTest, SelectedBitmapCannotBeDeletedOrSelectedTwice) {
  Make(4, 4);
  EXPECT_FALSE(DeleteObject(dib_));
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, dib_), nullptr);
  EXPECT_EQ(SelectObject(dc_, stock_), dib_) << "SelectObject gives the previous bitmap";
  EXPECT_TRUE(DeleteObject(stock_)) << "stock objects are never deleted";
  EXPECT_NE(SelectObject(other, dib_), nullptr);
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_FALSE(DeleteDC(other));
  EXPECT_TRUE(DeleteObject(dib_));
  dib_ = nullptr;
}

TEST_F(DrawTest, OnlyDisplayIsADevice) {
  SetLastError(0);
  EXPECT_EQ(CreateDCW(L"PRINTER", nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

constexpr unsigned kGreen = 0x10C020;
constexpr unsigned kBackdrop = 0x203040;
constexpr unsigned kFill = 0xFF0000;  // RGB(255, 0, 0)

struct BlitCase {
  const char* name;
  int width, height;   // the DIB
  int x, y;            // destination in the DIB
  int sourceX, sourceY;
  bool clip;           // clip to the DIB's left half
};

// The green window is at (100, 100)-(300, 200) on a backdrop.
const BlitCase kBlitCases[] = {
    {"WholeRows", 400, 300, 0, 0, 0, 0, false},
    {"WholeRowsClipped", 400, 300, 0, 0, 0, 0, true},
    {"PartOfRows", 400, 300, 50, 20, 50, 20, false},
    {"PartOfRowsClipped", 400, 300, 50, 20, 50, 20, true},
    {"SourceBeyondRoot", 400, 300, 0, 0, -100, -50, false},
};

class BlitTest : public DibFixture, public ::testing::WithParamInterface<BlitCase> {};

TEST_P(BlitTest, CopiesScreenInsideClipOnly) {
  const BlitCase& c = GetParam();
  XWindows windows;
  ASSERT_TRUE(windows.started());
  ASSERT_NE(windows.Open("backdrop", 0, 0, 1920, 1080, kBackdrop), 0u);
  ASSERT_NE(windows.Open("green", 100, 100, 200, 100, kGreen), 0u);
  Make(c.width, c.height);
  HBRUSH fill = CreateSolidBrush(RGB(255, 0, 0));
  const RECT all{0, 0, c.width, c.height};
  FillRect(dc_, &all, fill);
  DeleteObject(fill);
  HRGN left = CreateRectRgn(0, 0, c.width / 2, c.height);
  if (c.clip) SelectClipRgn(dc_, left);
  DeleteObject(left);
  HDC screen = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(BitBlt(dc_, c.x, c.y, c.width - c.x, c.height - c.y, screen, c.sourceX, c.sourceY, SRCCOPY | CAPTUREBLT));
  for (int y = 0; y < c.height; y += 7) {
    for (int x = 0; x < c.width; x += 7) {
      const int sx = x - c.x + c.sourceX, sy = y - c.y + c.sourceY;
      const bool copied = x >= c.x && y >= c.y && (!c.clip || x < c.width / 2) && sx >= 0 && sy >= 0;
      const bool green = sx >= 100 && sx < 300 && sy >= 100 && sy < 200;
      const unsigned expected = !copied ? kFill : green ? kGreen : kBackdrop;
      ASSERT_EQ(At(x, y), expected) << "at " << x << "," << y;
    }
  }
  EXPECT_FALSE(BitBlt(dc_, 0, 0, 10, 10, screen, 0, 0, 0x00EE0086 /* SRCPAINT */));
  EXPECT_TRUE(DeleteDC(screen));
}

INSTANTIATE_TEST_SUITE_P(Blits, BlitTest, ::testing::ValuesIn(kBlitCases), RowName());

}  // namespace
