#include <gtest/gtest.h>

#include <platform/DeviceCaps.h>
#include <platform/Dwm.h>
#include <platform/Kernel.h>
#include <platform/QtWin.h>
#include <platform/StockIcons.h>
#include <platform/User.h>

namespace {

class StockIconTest : public ::testing::TestWithParam<int> {};

TEST_P(StockIconTest, SharedDrawnIcon) {
  HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(GetParam()));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(GetParam())), icon);
  EXPECT_TRUE(DestroyIcon(icon));  // shared: still there afterwards
  const QImage image = QtWin::fromHICON(icon).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(16, 18)), 255);
}

INSTANTIATE_TEST_SUITE_P(Ids, StockIconTest, ::testing::Values(32513, 32514, 32515, 32516),
                         [](const auto& info) { return "Id" + std::to_string(info.param); });

TEST(StockIconErrorsTest, OnlyStockIds) {
  SetLastError(0);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(32512)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(LoadIconW(reinterpret_cast<HINSTANCE>(1), IDI_ERROR), nullptr);
  EXPECT_EQ(LoadIconW(nullptr, L"APP"), nullptr);
  EXPECT_TRUE(QtWin::fromHICON(nullptr).isNull());
}

TEST(ScreenDcTest, DpiOfTheScreen) {
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_GT(GetDeviceCaps(dc, LOGPIXELSX), 0);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
  EXPECT_EQ(GetDeviceCaps(dc, 12), 0);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 0);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(1)), nullptr);
}

TEST(CompositionTest, BareServerHasNoCompositor) {
  BOOL enabled = TRUE;
  EXPECT_EQ(DwmIsCompositionEnabled(&enabled), S_OK);
  EXPECT_FALSE(enabled);
  EXPECT_EQ(DwmIsCompositionEnabled(nullptr), E_INVALIDARG);
}

}  // namespace
