#include <list>

#include "CaptureFixture.h"
#include "RowName.h"

namespace {

constexpr unsigned kGreen = 0x10C020;
constexpr unsigned kRed = 0xC01010;
constexpr unsigned kBlue = 0x1010C0;

HWND AsHwnd(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

QSize SizeOf(const RECT& r) { return QSize(r.right - r.left, r.bottom - r.top); }

using CaptureTest = CaptureFixture;

TEST_F(CaptureTest, EmptyAreaCapturesWholeMonitorWithoutFill) {
  ASSERT_NE(windows_.Open("w", 100, 120, 200, 150, kGreen), 0u);
  CScreenInfo info(0);
  ASSERT_TRUE(info.IsMonitorValid());
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  ASSERT_EQ(info.GetDIBSize(), QSize(screen_.width(), screen_.height()));
  EXPECT_EQ(info.GetDIBBytes(), screen_.width() * screen_.height() * 4);
  const std::vector<unsigned> expected = screen_.Grab(0, 0, screen_.width(), screen_.height());
  ASSERT_EQ(expected.size(), static_cast<size_t>(screen_.width()) * screen_.height());
  int mismatches = 0;
  for (int y = 0; y < screen_.height(); ++y) {
    for (int x = 0; x < screen_.width(); ++x) {
      if (At(info, x, y) != expected[static_cast<size_t>(y) * screen_.width() + x]) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(At(info, 150, 150), kGreen);
  EXPECT_EQ(At(info, 10, 10), kBackdrop);
}

TEST_F(CaptureTest, GapBetweenAreasIsFilled) {
  ASSERT_NE(windows_.Open("w", 0, 0, 120, 70, kGreen), 0u);
  CScreenInfo info(0);
  info.GetCatchAreaCfg().AddAreas({RECT{10, 10, 110, 60}, RECT{300, 200, 400, 260}});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  ASSERT_EQ(info.GetDIBSize(), QSize(390, 250));
  EXPECT_EQ(At(info, 0, 0), kGreen);            // screen (10, 10)
  EXPECT_EQ(At(info, 99, 49), kGreen);          // screen (109, 59)
  EXPECT_EQ(At(info, 100, 49), kDefaultFill);   // just right of the first area
  EXPECT_EQ(At(info, 190, 100), kDefaultFill);  // the gap
  EXPECT_EQ(At(info, 290, 190), kBackdrop);     // screen (300, 200)
  EXPECT_EQ(At(info, 389, 249), kBackdrop);
  EXPECT_EQ(At(info, 289, 249), kDefaultFill);
}

TEST_F(CaptureTest, ChosenFillColourIsUsed) {
  CScreenInfo info(0);
  info.GetCatchAreaCfg().SetFillColor(RGB(204, 232, 207));
  info.GetCatchAreaCfg().AddAreas({RECT{0, 0, 10, 10}, RECT{20, 20, 30, 30}});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(At(info, 15, 15), 0xCCE8CFu);
  EXPECT_EQ(At(info, 5, 5), kBackdrop);
}

TEST_F(CaptureTest, CoveredPartOfSharedWindowIsFilledUntilRaised) {
  ASSERT_NE(windows_.Open("shared", 100, 100, 400, 300, kGreen, "pid=4242"), 0u);
  ASSERT_NE(windows_.Open("other", 300, 200, 300, 300, kRed, "pid=5353"), 0u);
  CScreenInfo info(0);
  info.GetCatchAreaCfg().AddProcessIds({kSharedPid});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  ASSERT_EQ(info.GetDIBSize(), QSize(400, 300));
  EXPECT_EQ(At(info, 50, 50), kGreen);
  EXPECT_EQ(At(info, 250, 150), kDefaultFill);  // screen (350, 250), under "other"
  EXPECT_EQ(At(info, 399, 299), kDefaultFill);
  EXPECT_EQ(At(info, 199, 99), kGreen);         // screen (299, 199), just outside "other"

  ASSERT_TRUE(windows_.Raise("shared"));
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(At(info, 250, 150), kGreen);
  EXPECT_EQ(At(info, 399, 299), kGreen);
}

TEST_F(CaptureTest, SharedWindowIsFollowedWhenItMovesAndCloses) {
  ASSERT_NE(windows_.Open("shared", 100, 100, 200, 100, kGreen, "pid=4242"), 0u);
  CScreenInfo info(0);
  info.GetCatchAreaCfg().AddProcessIds({kSharedPid});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  const unsigned char* firstBits = info.GetDIBBits();
  ASSERT_TRUE(windows_.Move("shared", 400, 300));
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(info.GetCatchAreaCfg().GetBoundRect().left, 400);
  EXPECT_EQ(info.GetDIBBits(), firstBits) << "same size: the DIB is reused";
  EXPECT_EQ(At(info, 0, 0), kGreen);
  ASSERT_TRUE(windows_.Close("shared"));
  EXPECT_EQ(info.CatchScreenDIB(), CScreenInfo::kNoArea);
  EXPECT_EQ(info.GetDIBSize(), QSize(200, 100)) << "a failed capture keeps the picture";
}

TEST_F(CaptureTest, WindowPastMonitorEdgeIsCut) {
  ASSERT_NE(windows_.Open("shared", screen_.width() - 120, screen_.height() - 80, 300, 200, kGreen, "pid=4242"), 0u);
  CScreenInfo info(0);
  info.GetCatchAreaCfg().AddProcessIds({kSharedPid});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  EXPECT_EQ(info.GetDIBSize(), QSize(120, 80));
  EXPECT_EQ(At(info, 119, 79), kGreen);
}

TEST_F(CaptureTest, DialogOwnedBySharedWindowIsCaptured) {
  const unsigned long shared = windows_.Open("shared", 100, 100, 300, 200, kGreen, "pid=4242");
  ASSERT_NE(shared, 0u);
  ASSERT_NE(windows_.Open("dialog", 350, 250, 200, 100, kBlue, "pid=4242 owner=shared"), 0u);
  ASSERT_NE(windows_.Open("stranger", 600, 100, 50, 50, kRed, "pid=5353"), 0u);
  CScreenInfo info(0);
  info.GetCatchAreaCfg().AddWindows({AsHwnd(shared)});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  ASSERT_EQ(info.GetDIBSize(), QSize(450, 250));  // (100,100)-(550,350)
  EXPECT_EQ(At(info, 10, 10), kGreen);
  EXPECT_EQ(At(info, 400, 200), kBlue);   // screen (500, 300): only the dialog
  EXPECT_EQ(At(info, 400, 10), kDefaultFill);  // screen (500, 110): neither
}

TEST_F(CaptureTest, MissingMonitorFailsWithoutDCs) {
  CScreenInfo info(9);
  EXPECT_FALSE(info.IsMonitorValid());
  EXPECT_EQ(info.SetCurMonitor(9), 0);
  EXPECT_EQ(info.CatchScreenDIB(), CScreenInfo::kNoDC);
  EXPECT_EQ(info.GetDIBBits(), nullptr);
}

// Expected colour of a cursor pixel over a plain backdrop, from the
// premultiplied image XFixes reports.
unsigned CursorOver(unsigned premultiplied, unsigned backdrop) {
  const unsigned alpha = premultiplied >> 24;
  unsigned result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned source = (premultiplied >> shift) & 0xff;
    const unsigned below = (backdrop >> shift) & 0xff;
    result |= std::min(255u, source + below * (255 - alpha) / 255) << shift;
  }
  return result;
}

bool Near(unsigned a, unsigned b) {
  for (int shift = 0; shift <= 16; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff)) > 2) return false;
  }
  return true;
}

struct CursorCase {
  const char* name;
  RECT area;   // empty: the whole monitor
  int x, y;    // cursor position on the screen
};

class CursorTest : public CaptureFixture, public ::testing::WithParamInterface<CursorCase> {};

TEST_P(CursorTest, DrawnAtItsPlaceOnlyInsideThePicture) {
  const CursorCase& c = GetParam();
  ASSERT_TRUE(screen_.MoveCursor(c.x, c.y));
  int width = 0, height = 0, hotX = 0, hotY = 0;
  std::vector<unsigned> image;
  ASSERT_TRUE(screen_.CursorImage(&width, &height, &hotX, &hotY, &image));
  CScreenInfo info(0);
  if (c.area.right > c.area.left) info.GetCatchAreaCfg().AddAreas({c.area});
  info.SetDrawCursor(true);
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  const RECT bound = info.GetCatchAreaCfg().GetBoundRect();
  const QSize size = SizeOf(bound);
  ASSERT_EQ(info.GetDIBSize(), size);
  int drawn = 0, wrong = 0;
  for (int i = 0; i < height; ++i) {
    for (int j = 0; j < width; ++j) {
      const int x = c.x - hotX + j - bound.left;
      const int y = c.y - hotY + i - bound.top;
      if (x < 0 || y < 0 || x >= size.width() || y >= size.height()) continue;
      const unsigned pixel = image[static_cast<size_t>(i) * width + j] & 0xffffffffu;
      if (!Near(At(info, x, y), CursorOver(pixel, kBackdrop))) ++wrong;
      if ((pixel >> 24) != 0) ++drawn;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(drawn, 0) << "some of the cursor lies inside the picture";
  // Far from the cursor the picture is untouched.
  const int farX = c.x - bound.left > size.width() / 2 ? 0 : size.width() - 1;
  const int farY = c.y - bound.top > size.height() / 2 ? 0 : size.height() - 1;
  EXPECT_EQ(At(info, farX, farY), kBackdrop);
}

const CursorCase kCursorCases[] = {
    {"WholeMonitor", RECT{0, 0, 0, 0}, 500, 400},
    {"HalfOutsideTopLeft", RECT{500, 400, 700, 600}, 501, 401},
    {"HalfOutsideBottomRight", RECT{500, 400, 700, 600}, 698, 598},
    {"ScreenCorner", RECT{0, 0, 0, 0}, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Capture, CursorTest, ::testing::ValuesIn(kCursorCases), RowName());

TEST_F(CaptureTest, CursorNotDrawnWhenOff) {
  ASSERT_TRUE(screen_.MoveCursor(50, 50));
  CScreenInfo info(0);
  info.GetCatchAreaCfg().AddAreas({RECT{0, 0, 100, 100}});
  ASSERT_EQ(info.CatchScreenDIB(), CScreenInfo::kCaptured);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) ASSERT_EQ(At(info, x, y), kBackdrop) << x << "," << y;
  }
}

}  // namespace
