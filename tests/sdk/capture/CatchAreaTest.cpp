#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CatchFixture.h"
#include "XWindows.h"
#include "RowName.h"

namespace {

struct TestWindow {
  const char* name;
  int x, y, w, h;
  const char* options;  // "pid=N" or nothing: a window that names no process
  bool shareWindow;
  bool shareProcess;
};

struct AreaCase {
  const char* name;
  std::vector<TestWindow> windows;
  std::vector<CORVANESDK::SSRECT> rects;
  QSize sent;
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const AreaCase& c, std::ostream* os) { *os << c.name; }

const AreaCase kAreaCases[] = {
    {"RectangleGivenAsOriginAndSize", {}, {{96, 48, 320, 240}}, {320, 240}},
    {"TwoRectanglesGiveTheirBounds", {}, {{0, 0, 64, 64}, {200, 100, 56, 36}}, {256, 136}},
    {"WindowsOfTheChosenProcess",
     {{"a", 100, 100, 200, 100, "pid=4242", false, true},
      {"b", 400, 300, 160, 80, "pid=4242", false, false},
      {"other", 700, 100, 100, 100, "pid=5353", false, false}},
     {},
     {464, 280}},
    {"ChosenWindowOnly",
     {{"a", 100, 100, 200, 100, "pid=4242", false, false},
      {"b", 400, 300, 160, 80, "pid=4242", true, false}},
     {},
     {160, 80}},
    // Neither every window without a process nor the whole monitor.
    {"ProcessWindowNamingNoProcessIsSharedAlone",
     {{"a", 100, 100, 320, 240, "", false, true},
      {"b", 600, 400, 100, 100, "", false, false}},
     {},
     {320, 240}},
};

class CatchAreaTest : public CatchFixture, public ::testing::WithParamInterface<AreaCase> {};

TEST_P(CatchAreaTest, PictureCoversChosenArea) {
  const AreaCase& c = GetParam();
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  XWindows windows;
  ASSERT_TRUE(windows.started());
  CORVANESDK::SSCFG cfg = FastCfg();
  for (const TestWindow& w : c.windows) {
    const unsigned long id = windows.Open(w.name, w.x, w.y, w.w, w.h, 0x40A040, w.options);
    ASSERT_NE(id, 0u) << w.name;
    const HWND handle = reinterpret_cast<HWND>(static_cast<uintptr_t>(id));
    if (w.shareWindow) cfg.catchWnd.insert(handle);
    if (w.shareProcess) cfg.catchWndPro.insert(handle);
  }
  cfg.catchRt.assign(c.rects.begin(), c.rects.end());
  Start(cfg);
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  EXPECT_EQ(QSize(r.packet.width, r.packet.height), c.sent);
  EXPECT_EQ(QSize(r.picture.width, r.picture.height), c.sent);
}

INSTANTIATE_TEST_SUITE_P(Capture, CatchAreaTest, ::testing::ValuesIn(kAreaCases), RowName());

using CatchAreaContentTest = CatchFixture;

TEST_F(CatchAreaContentTest, RectangleShowsThatPartOfTheScreen) {
  ASSERT_TRUE(UseMonitor(1280, 720));
  ASSERT_TRUE(painter_.Paint(0));
  CORVANESDK::SSCFG cfg = FastCfg();
  cfg.catchRt = {{96, 48, 320, 240}};
  Start(cfg);
  Received r;
  ASSERT_TRUE(Request(true, 0, &r));
  ASSERT_EQ(QSize(r.picture.width, r.picture.height), QSize(320, 240));
  const std::vector<uint8_t> whole = RootPainter::Pattern(0, 96 + 320, 48 + 240);
  std::vector<uint8_t> part;
  for (int y = 48; y < 48 + 240; ++y)
    part.insert(part.end(), whole.begin() + (static_cast<size_t>(y) * 416 + 96) * 4,
                whole.begin() + (static_cast<size_t>(y) * 416 + 96 + 320) * 4);
  EXPECT_GE(Psnr(r.picture.y, ReferenceLuma(part, 320, 240, 320, 240)), 32.0);
}

}  // namespace
