// The layered painter, pixel-exact wherever the result can be computed.
#include <gtest/gtest.h>

#include "Canvas.h"
#include "LayerDraw.h"
#include "RowName.h"
#include "UpdaterIcons.h"

namespace {

constexpr unsigned kBlank = 0x010203;
constexpr RECT kDesign{0, 0, 100, 50};

// What GradientFill paints at step i of n between two colours (c x 256 vertices).
unsigned GradientAt(COLORREF a, COLORREF b, int i, int n) {
  auto channel = [&](BYTE x, BYTE y) { return static_cast<unsigned>((x * 256L + (y * 256L - x * 256L) * i / n) >> 8); };
  return channel(GetRValue(a), GetRValue(b)) << 16 | channel(GetGValue(a), GetGValue(b)) << 8 |
         channel(GetBValue(a), GetBValue(b));
}

TEST(LayerDrawTest, WithoutLayersNothingIsPainted) {
  CLayerDraw painter;
  Canvas canvas(20, 20);
  EXPECT_EQ(painter.Draw(canvas.dc(), RECT{0, 0, 20, 20}, RECT{0, 0, 20, 20}), 0);
  EXPECT_EQ(canvas.CountOther(0, 0, 20, 20, kBlank), 0);
  painter.AddSolidColorLayer(RECT{0, 0, 20, 20}, RGB(9, 9, 9));
  EXPECT_NE(painter.Draw(canvas.dc(), RECT{5, 5, 5, 20}, RECT{0, 0, 20, 20}), 0) << "an empty destination";
  EXPECT_EQ(canvas.CountOther(0, 0, 20, 20, kBlank), 0);
}

TEST(LayerDrawTest, SolidLayersClippedToTheDesignLaterOnTop) {
  CLayerDraw painter;
  painter.AddSolidColorLayer(RECT{-10, -10, 10, 10}, RGB(255, 0, 0));   // half outside
  painter.AddSolidColorLayer(RECT{200, 0, 300, 10}, RGB(0, 255, 0));    // wholly outside
  painter.AddSolidColorLayer(RECT{20, 20, 40, 40}, RGB(0, 0, 255));
  painter.AddSolidColorLayer(RECT{20, 20, 40, 40}, RGB(1, 255, 1));     // the same rectangle again
  Canvas canvas(120, 60);
  painter.Draw(canvas.dc(), kDesign, kDesign);
  EXPECT_EQ(canvas.CountOther(0, 0, 10, 10, 0xFF0000), 0);
  EXPECT_EQ(canvas.At(10, 0), kBlank);
  EXPECT_EQ(canvas.CountOther(20, 20, 40, 40, 0x01FF01), 0) << "only the later layer shows";
  EXPECT_EQ(canvas.CountOther(40, 0, 120, 60, kBlank), 0);
  EXPECT_EQ(GetBkColor(canvas.dc()), RGB(255, 255, 255)) << "the background colour is given back";
}

TEST(LayerDrawTest, DestinationTwiceTheDesignScalesAllButText) {
  CLayerDraw painter;
  painter.AddSolidColorLayer(RECT{0, 0, 100, 50}, RGB(255, 255, 255));
  painter.AddSolidColorLayer(RECT{10, 10, 20, 20}, RGB(255, 0, 0));
  painter.AddTextLayer(RECT{30, 5, 100, 45}, L"<font color=000000>WWW</font>");
  Canvas same(200, 100);
  painter.Draw(same.dc(), kDesign, kDesign);
  EXPECT_GT(same.CountOther(30, 5, 100, 45, 0xFFFFFF), 0) << "text at the design size";
  Canvas twice(200, 100);
  painter.Draw(twice.dc(), RECT{0, 0, 200, 100}, kDesign);
  EXPECT_EQ(twice.CountOther(20, 20, 40, 40, 0xFF0000), 0) << "the red square, twice as big";
  EXPECT_EQ(twice.At(40, 40), 0xFFFFFFu);
  EXPECT_EQ(twice.CountOther(60, 10, 200, 90, 0xFFFFFF), 0) << "text is never scaled: left out";
}

TEST(LayerDrawTest, TextMovesWithTheDestination) {
  CLayerDraw painter;
  painter.AddTextLayer(RECT{0, 0, 60, 30}, L"<font color=000000>WWW</font>");
  Canvas canvas(120, 60, RGB(255, 255, 255));
  painter.Draw(canvas.dc(), RECT{50, 20, 110, 50}, RECT{0, 0, 60, 30});
  EXPECT_EQ(canvas.CountOther(0, 0, 50, 60, 0xFFFFFF), 0);
  EXPECT_GT(canvas.CountOther(50, 20, 110, 50, 0xFFFFFF), 0);
  POINT origin{};
  GetViewportOrgEx(canvas.dc(), &origin);
  EXPECT_EQ(origin.x, 0) << "the origin is moved back";
}

struct GradientCase {
  const char* name;
  RECT layer;
  int horizontal;
  RECT visible;          // the layer's part inside the design
  COLORREF first, second;  // the colours the visible part runs between
};

constexpr COLORREF kTop = RGB(0x53, 0x8A, 0xD8);
constexpr COLORREF kBottom = RGB(0x63, 0x93, 0xF7);

const GradientCase kGradientCases[] = {
    {"HorizontalWhole", {0, 0, 100, 10}, 1, {0, 0, 100, 10}, kTop, kBottom},
    {"VerticalWhole", {0, 0, 10, 40}, 0, {0, 0, 10, 40}, kTop, kBottom},
    // Half left of the design: the visible half starts halfway along the run.
    {"HorizontalLeftHalfOutside",
     {-100, 0, 100, 10}, 1, {0, 0, 100, 10},
     RGB(0x53 + (0x63 - 0x53) / 2, 0x8A + (0x93 - 0x8A) / 2, 0xD8 + static_cast<int>((0xF7 - 0xD8) * 0.5)), kBottom},
    // Half below the design: the visible half ends halfway.
    {"VerticalBottomHalfOutside",
     {0, 10, 10, 90}, 0, {0, 10, 10, 50},
     kTop, RGB(0x63 - static_cast<int>((0x63 - 0x53) * 0.5), 0x93 - static_cast<int>((0x93 - 0x8A) * 0.5),
               0xF7 - static_cast<int>((0xF7 - 0xD8) * 0.5))},
};

class LayerGradientTest : public ::testing::TestWithParam<GradientCase> {};

TEST_P(LayerGradientTest, ShowsItsShareOfTheRun) {
  const GradientCase& c = GetParam();
  CLayerDraw painter;
  const COLORREF colours[2] = {kTop, kBottom};
  painter.AddGradientLayer(c.layer, colours, c.horizontal);
  Canvas canvas(110, 60);
  painter.Draw(canvas.dc(), kDesign, kDesign);
  const int w = c.visible.right - c.visible.left, h = c.visible.bottom - c.visible.top;
  for (int y = c.visible.top; y < c.visible.bottom; ++y) {
    for (int x = c.visible.left; x < c.visible.right; ++x) {
      const unsigned expected = c.horizontal ? GradientAt(c.first, c.second, x - c.visible.left, w)
                                             : GradientAt(c.first, c.second, y - c.visible.top, h);
      ASSERT_EQ(canvas.At(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(canvas.At(c.visible.right, c.visible.top), kBlank);
}

INSTANTIATE_TEST_SUITE_P(Layers, LayerGradientTest, ::testing::ValuesIn(kGradientCases), RowName());

TEST(LayerDrawTest, IconStretchedToItsDestination) {
  RegisterPlainIcon(400, 8, QColor(0, 0, 255), QColor(255, 0, 0));
  HICON icon = static_cast<HICON>(LoadImageW(OwnModule(), MAKEINTRESOURCEW(400), IMAGE_ICON, 0, 0, 0));
  ASSERT_NE(icon, nullptr);
  CLayerDraw painter;
  painter.AddIconLayer(RECT{10, 10, 26, 26}, icon);  // the 8 x 8 icon at 16 x 16
  painter.AddIconLayer(RECT{40, 10, 48, 18}, reinterpret_cast<HICON>(16));  // not an icon: skipped
  Canvas canvas(100, 50);
  painter.Draw(canvas.dc(), kDesign, kDesign);
  EXPECT_EQ(canvas.CountOther(10, 10, 14, 26, 0x0000FF), 0);
  EXPECT_EQ(canvas.CountOther(14, 14, 22, 22, 0xFF0000), 0);
  EXPECT_EQ(canvas.At(26, 26), kBlank);
  EXPECT_EQ(canvas.CountOther(30, 0, 100, 50, kBlank), 0);
  DestroyIcon(icon);
}

TEST(LayerMapTest, MultipliesBeforeDividingAndTruncates) {
  const RECT mapped = MapLayerRect(RECT{1, 1, 2, 2}, RECT{0, 0, 3, 3}, RECT{10, 10, 20, 20});
  EXPECT_EQ(mapped.left, 13);  // 10 x 1 / 3 = 3
  EXPECT_EQ(mapped.right, 16);  // 10 x 2 / 3 = 6
  const RECT negative = MapLayerRect(RECT{-1, 0, 1, 1}, RECT{0, 0, 3, 3}, RECT{0, 0, 10, 10});
  EXPECT_EQ(negative.left, -3) << "toward zero, not down";
}

}  // namespace

namespace {

struct OwnIcon {
  const char* name;
  WORD id;
  int size;  // as drawn
};

const OwnIcon kOwnIcons[] = {{"Program", 128, 32}, {"CloseHover", 210, 16}, {"CloseNormal", 211, 16}};

class UpdaterIconTest : public ::testing::TestWithParam<OwnIcon> {
 protected:
  static void SetUpTestSuite() { RegisterUpdaterIcons(); }
};

TEST_P(UpdaterIconTest, LoadsAtItsSizeWithTheHotSpotAtTheCentre) {
  const OwnIcon& c = GetParam();
  for (int asked : {0, 16, 32}) {
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.id), IMAGE_ICON, asked,
                                               asked, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr) << asked;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_EQ(static_cast<int>(info.xHotspot) * 2, asked != 0 ? asked : c.size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

INSTANTIATE_TEST_SUITE_P(Resources, UpdaterIconTest, ::testing::ValuesIn(kOwnIcons), RowName());

}  // namespace
