// An X screen with a plain backdrop window, a window helper and pixel access
// to what CScreenInfo captured.
#pragma once

#include <gtest/gtest.h>

#include "ScreenInfo.h"
#include "XScreen.h"
#include "XWindows.h"

constexpr unsigned kBackdrop = 0x203040;
constexpr unsigned kDefaultFill = 0x8DB4E2;  // RGB(141, 180, 226) as 0xRRGGBB
// Process ids the helper writes into _NET_WM_PID; no real process needs them.
constexpr DWORD kSharedPid = 4242;
constexpr DWORD kOtherPid = 5353;

class CaptureFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen_.ok()) << "no X display";
    ASSERT_TRUE(windows_.started()) << "window helper did not start";
    ASSERT_NE(windows_.Open("backdrop", 0, 0, screen_.width(), screen_.height(), kBackdrop, "pid=1"), 0u);
  }

  // 0xRRGGBB of the captured pixel at (x, y) of the DIB.
  static unsigned At(const CScreenInfo& info, int x, int y) {
    const unsigned char* p = info.GetDIBBits() + (static_cast<size_t>(y) * info.GetDIBSize().width() + x) * 4;
    return (unsigned{p[2]} << 16) | (unsigned{p[1]} << 8) | p[0];
  }

  XScreen screen_;
  XWindows windows_;
};
