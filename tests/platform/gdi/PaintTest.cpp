// Painting into memory DCs: DC state, text, gradients, regions, icons.
// Offscreen: no X server is involved.
#include <gtest/gtest.h>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>
#include <platform/Kernel.h>
#include <platform/StockIcons.h>
#include <platform/User.h>

#include <cstring>

#include "Canvas.h"
#include "FontObject.h"
#include "GdiObject.h"
#include "RowName.h"

namespace {

constexpr unsigned kBlank = 0x010203;

LOGFONTW Font(const wchar_t* face, LONG height, LONG weight = FW_NORMAL) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return font;
}

TEST(DcStateTest, SaveAndRestoreBringBackEverything) {
  Canvas canvas(8, 8);
  HDC dc = canvas.dc();
  SetBkColor(dc, RGB(1, 1, 1));
  SetTextColor(dc, RGB(2, 2, 2));
  SetViewportOrgEx(dc, 3, 4, nullptr);
  EXPECT_EQ(SaveDC(dc), 1);
  SetBkColor(dc, RGB(9, 9, 9));
  SetBkMode(dc, TRANSPARENT);
  OffsetViewportOrgEx(dc, 1, 1, nullptr);
  UniqueGdiObject clip(CreateRectRgn(0, 0, 1, 1));
  SelectClipRgn(dc, static_cast<HRGN>(clip.get()));
  EXPECT_EQ(SaveDC(dc), 2);
  SetTextColor(dc, RGB(7, 7, 7));
  EXPECT_TRUE(RestoreDC(dc, -1));
  EXPECT_EQ(SetTextColor(dc, 0), RGB(2, 2, 2)) << "the newest save";
  EXPECT_TRUE(RestoreDC(dc, 1));
  EXPECT_EQ(GetBkColor(dc), RGB(1, 1, 1));
  EXPECT_EQ(SetBkMode(dc, OPAQUE), OPAQUE);
  POINT origin{};
  GetViewportOrgEx(dc, &origin);
  EXPECT_EQ(origin.x, 3);
  EXPECT_EQ(origin.y, 4);
  EXPECT_FALSE(RestoreDC(dc, 1)) << "that save is used up";
  EXPECT_FALSE(RestoreDC(dc, -1));
  const RECT all{-3, -4, 5, 4};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  EXPECT_EQ(canvas.CountOther(0, 0, 8, 8, 0xFF0000), 0) << "the clip region went with the restore";
  DeleteObject(red);
  EXPECT_EQ(SetBkColor(reinterpret_cast<HDC>(16), 0), CLR_INVALID);
}

TEST(FillTest, OpaqueTextOutFillsWithTheBackgroundColour) {
  Canvas canvas(20, 20);
  HDC dc = canvas.dc();
  const RECT part{2, 3, 12, 8};
  SetBkColor(dc, RGB(0x11, 0x22, 0x33));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &part, nullptr, 0, nullptr);
  EXPECT_EQ(canvas.At(2, 3), 0x112233u);
  EXPECT_EQ(canvas.At(11, 7), 0x112233u);
  EXPECT_EQ(canvas.At(12, 7), kBlank) << "right and bottom edges stay out";
  EXPECT_EQ(canvas.At(11, 8), kBlank);
  // The viewport origin moves logical coordinates; the clip stays in device ones.
  SetViewportOrgEx(dc, 5, 5, nullptr);
  UniqueGdiObject clip(CreateRectRgn(0, 0, 10, 20));
  SelectClipRgn(dc, static_cast<HRGN>(clip.get()));
  SetBkColor(dc, RGB(0x44, 0x55, 0x66));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &part, nullptr, 0, nullptr);
  EXPECT_EQ(canvas.At(7, 8), 0x445566u);
  EXPECT_EQ(canvas.At(9, 12), 0x445566u);
  EXPECT_EQ(canvas.At(10, 12), kBlank) << "outside the clip";
  SetBkColor(dc, CLR_INVALID);
  EXPECT_EQ(SetBkColor(dc, CLR_INVALID), CLR_INVALID) << "an invalid colour reads back as set";
  const RECT all{-5, -5, 15, 15};
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
  EXPECT_EQ(canvas.At(7, 8), 0x445566u) << "no background colour, nothing painted";
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(canvas.At(0, 0), kBlank) << "the null brush paints nothing";
}

TEST(TextTest, ExtentsAddUpAndTextStaysInsideItsBox) {
  Canvas canvas(120, 40, RGB(255, 255, 255));
  HDC dc = canvas.dc();
  const LOGFONTW mono = Font(L"DejaVu Sans Mono", -14);
  UniqueGdiObject font(CreateFontIndirectW(&mono));
  SelectObject(dc, font.get());
  SIZE one{}, five{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, L"W", 1, &one));
  ASSERT_TRUE(GetTextExtentPoint32W(dc, L"WWWWW", 5, &five));
  EXPECT_GT(one.cx, 0);
  EXPECT_EQ(five.cx, 5 * one.cx) << "whole-pixel advances";
  EXPECT_EQ(five.cy, one.cy);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  ExtTextOutW(dc, 10, 10, 0, nullptr, L"WWWWW", 5, nullptr);
  EXPECT_GT(canvas.CountOther(10, 10, 10 + five.cx, 10 + five.cy, 0xFFFFFF), 10) << "something was drawn";
  EXPECT_EQ(canvas.CountOther(0, 0, 120, 10, 0xFFFFFF), 0) << "nothing above the cell";
  EXPECT_EQ(canvas.CountOther(0, 10 + five.cy, 120, 40, 0xFFFFFF), 0) << "nothing below it";
  canvas.Fill(RGB(255, 255, 255));
  const RECT clip{0, 0, 10 + one.cx, 40};
  ExtTextOutW(dc, 10, 10, ETO_CLIPPED, &clip, L"WWWWW", 5, nullptr);
  EXPECT_GT(canvas.CountOther(10, 10, 10 + one.cx, 10 + one.cy, 0xFFFFFF), 0);
  EXPECT_EQ(canvas.CountOther(10 + one.cx, 0, 120, 40, 0xFFFFFF), 0) << "clipped at the rectangle";
}

TEST(TextTest, MissingChineseFaceFallsBackToACjkFont) {
  const LOGFONTW song = Font(L"宋体", -13);
  UniqueGdiObject font(CreateFontIndirectW(&song));
  auto object = LookupGdiAs<FontObject>(font.get());
  ASSERT_TRUE(object);
  EXPECT_TRUE(object->font.family().contains(QStringLiteral("WenQuanYi"), Qt::CaseInsensitive))
      << object->font.family().toStdString();
  LOGFONTW back{};
  ASSERT_EQ(GetObjectW(font.get(), sizeof(back), &back), static_cast<int>(sizeof(back)));
  EXPECT_STREQ(back.lfFaceName, L"宋体") << "the logical font keeps the face asked for";
  const LOGFONTW latin = Font(L"No Such Face", -13);
  UniqueGdiObject other(CreateFontIndirectW(&latin));
  EXPECT_EQ(LookupGdiAs<FontObject>(other.get())->font.family(), QFontFromLogFont(DefaultUiLogFont()).family());
}

TEST(TextTest, DrawTextMeasuresWrappedLines) {
  Canvas canvas(100, 100, RGB(255, 255, 255));
  HDC dc = canvas.dc();
  const LOGFONTW mono = Font(L"DejaVu Sans Mono", -12);
  UniqueGdiObject font(CreateFontIndirectW(&mono));
  SelectObject(dc, font.get());
  SIZE cell{};
  GetTextExtentPoint32W(dc, L"a", 1, &cell);
  RECT one{5, 5, 5 + 20 * cell.cx, 5};
  const int single = DrawTextW(dc, L"aaa bbb", -1, &one, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(single, cell.cy);
  EXPECT_EQ(one.right - one.left, 7 * cell.cx);
  RECT narrow{5, 5, 5 + 4 * cell.cx, 5};
  const int wrapped = DrawTextW(dc, L"aaa bbb", -1, &narrow, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  EXPECT_GT(wrapped, cell.cy) << "two lines";
  EXPECT_LE(narrow.right - narrow.left, 4 * cell.cx);
  EXPECT_EQ(canvas.CountOther(0, 0, 100, 100, 0xFFFFFF), 0) << "measuring draws nothing";
  SetBkMode(dc, TRANSPARENT);
  RECT box{0, 0, 100, 100};
  DrawTextW(dc, L"aaa\nbbb", -1, &box, DT_LEFT);
  EXPECT_GT(canvas.CountOther(0, cell.cy, 3 * cell.cx, 2 * cell.cy, 0xFFFFFF), 0) << "a second line";
}

struct GradientCase {
  const char* name;
  ULONG mode;
  int width, height;
  COLORREF from, to;
};

const GradientCase kGradientCases[] = {
    {"HorizontalRamp", GRADIENT_FILL_RECT_H, 255, 3, RGB(0, 0, 0), RGB(255, 255, 255)},
    {"VerticalRamp", GRADIENT_FILL_RECT_V, 3, 255, RGB(0, 0, 0), RGB(255, 255, 255)},
    {"HorizontalDown", GRADIENT_FILL_RECT_H, 40, 2, RGB(0xF7, 0x93, 0x63), RGB(0x53, 0x8A, 0xD8)},
    {"VerticalBand", GRADIENT_FILL_RECT_V, 2, 40, RGB(0x53, 0x8A, 0xD8), RGB(0x63, 0x93, 0xF7)},
};

class GradientTest : public ::testing::TestWithParam<GradientCase> {};

// The pixel at step i of n, by the definition: 16-bit channels c x 256, the
// step's value truncated, its top byte kept.
unsigned Expected(COLORREF a, COLORREF b, int i, int n) {
  auto channel = [&](BYTE x, BYTE y) {
    const long value = x * 256L + (y * 256L - x * 256L) * i / n;
    return static_cast<unsigned>(value >> 8);
  };
  return channel(GetRValue(a), GetRValue(b)) << 16 | channel(GetGValue(a), GetGValue(b)) << 8 |
         channel(GetBValue(a), GetBValue(b));
}

TEST_P(GradientTest, EveryPixelExact) {
  const GradientCase& c = GetParam();
  Canvas canvas(c.width + 4, c.height + 4);
  SetViewportOrgEx(canvas.dc(), 2, 2, nullptr);
  TRIVERTEX v[2] = {{0, 0, static_cast<COLOR16>(GetRValue(c.from) << 8), static_cast<COLOR16>(GetGValue(c.from) << 8),
                     static_cast<COLOR16>(GetBValue(c.from) << 8), 0},
                    {c.width, c.height, static_cast<COLOR16>(GetRValue(c.to) << 8),
                     static_cast<COLOR16>(GetGValue(c.to) << 8), static_cast<COLOR16>(GetBValue(c.to) << 8), 0}};
  GRADIENT_RECT mesh{0, 1};
  ASSERT_TRUE(GradientFill(canvas.dc(), v, 2, &mesh, 1, c.mode));
  const bool horizontal = c.mode == GRADIENT_FILL_RECT_H;
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      const int i = horizontal ? x : y;
      ASSERT_EQ(canvas.At(x + 2, y + 2), Expected(c.from, c.to, i, horizontal ? c.width : c.height))
          << x << "," << y;
    }
  }
  EXPECT_EQ(canvas.At(1, 1), kBlank);
  EXPECT_EQ(canvas.At(c.width + 2, c.height + 2), kBlank);
}

INSTANTIATE_TEST_SUITE_P(Paint, GradientTest, ::testing::ValuesIn(kGradientCases), RowName());

TEST(RegionTest, RoundRectangleCutsOnlyItsCorners) {
  Canvas canvas(40, 30);
  UniqueGdiObject round(CreateRoundRectRgn(0, 0, 40, 30, 9, 9));
  RECT box{};
  EXPECT_EQ(GetRgnBox(static_cast<HRGN>(round.get()), &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.bottom, 30);
  SelectClipRgn(canvas.dc(), static_cast<HRGN>(round.get()));
  canvas.Fill(RGB(255, 0, 0));
  for (const POINT corner : {POINT{0, 0}, POINT{39, 0}, POINT{0, 29}, POINT{39, 29}}) {
    EXPECT_EQ(canvas.At(corner.x, corner.y), kBlank) << corner.x << "," << corner.y;
  }
  for (const POINT inside : {POINT{20, 0}, POINT{0, 15}, POINT{39, 15}, POINT{20, 29}, POINT{4, 4}}) {
    EXPECT_EQ(canvas.At(inside.x, inside.y), 0xFF0000u) << inside.x << "," << inside.y;
  }
}

TEST(BlitTest, MemoryToMemoryHonoursOriginsAndOverlap) {
  Canvas from(10, 10, RGB(0, 0, 0xFF));
  Canvas to(10, 10);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  const RECT dot{2, 2, 3, 3};
  FillRect(from.dc(), &dot, red);
  SetViewportOrgEx(to.dc(), 1, 0, nullptr);
  ASSERT_TRUE(BitBlt(to.dc(), 0, 0, 4, 4, from.dc(), 1, 1, SRCCOPY));
  EXPECT_EQ(to.At(2, 1), 0xFF0000u);
  EXPECT_EQ(to.At(1, 0), 0x0000FFu);
  EXPECT_EQ(to.At(0, 0), kBlank) << "left of the moved origin";
  EXPECT_EQ(to.At(5, 0), kBlank);
  // Within one bitmap, shifted right by one: the source is read before it is written.
  ASSERT_TRUE(BitBlt(from.dc(), 1, 0, 9, 10, from.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(from.At(3, 2), 0xFF0000u);
  EXPECT_EQ(from.At(2, 2), 0x0000FFu);
  DeleteObject(red);
}

TEST(IconTest, StretchedBlendedAndGreyed) {
  RegisterPlainIcon(300, 8, QColor(255, 0, 0), QColor(0, 0, 255));
  HICON icon = static_cast<HICON>(LoadImageW(OwnModule(), MAKEINTRESOURCEW(300), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_EQ(info.xHotspot, 4u) << "the hot spot is the centre";
  EXPECT_EQ(info.yHotspot, 4u);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  Canvas canvas(40, 40);
  ASSERT_TRUE(DrawIconEx(canvas.dc(), 4, 4, icon, 16, 16, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(canvas.CountOther(4, 4, 8, 20, 0xFF0000), 0) << "the red frame, twice as wide";
  EXPECT_EQ(canvas.CountOther(8, 8, 16, 16, 0x0000FF), 0) << "the blue centre, stretched";
  EXPECT_EQ(canvas.At(20, 20), kBlank);
  EXPECT_EQ(canvas.At(3, 3), kBlank);
  Canvas greyCanvas(10, 10, RGB(100, 100, 100));
  ASSERT_TRUE(DrawStateW(greyCanvas.dc(), nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, 1, 1, 8, 8,
                         DST_ICON | DSS_DISABLED));
  const unsigned grey = greyCanvas.At(1, 1);
  EXPECT_NE(grey, 0xFF0000u);
  EXPECT_EQ(grey >> 16, (grey >> 8) & 0xFF) << "greyed";
  EXPECT_EQ(grey >> 16, grey & 0xFF);
  HICON scaled = static_cast<HICON>(LoadImageW(OwnModule(), MAKEINTRESOURCEW(300), IMAGE_ICON, 16, 16, 0));
  ASSERT_TRUE(GetIconInfo(scaled, &info));
  EXPECT_EQ(info.xHotspot, 8u);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(LoadImageW(OwnModule(), MAKEINTRESOURCEW(301), IMAGE_ICON, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  DestroyIcon(icon);
  DestroyIcon(scaled);
}

}  // namespace
