// A trap that reads its error from the reply instead of syncing must see the
// same errors, and leave nothing behind for the next trap.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "XConnection.h"
#include "XErrorTrap.h"

namespace {

TEST(XErrorTrapTest, ReplyCarriesTheErrorWithoutASync) {
  Display* display = ThreadDisplay();
  ASSERT_NE(display, nullptr);
  const Window bogus = 0x3ffffff;
  for (int round = 0; round < 2; ++round) {
    XErrorTrap trap(display);
    XWindowAttributes attributes{};
    EXPECT_EQ(XGetWindowAttributes(display, bogus, &attributes), 0);
    EXPECT_TRUE(trap.FailedByReply());
    EXPECT_NE(trap.Text().find("BadWindow"), std::string::npos) << trap.Text();
  }
  // Only the failing request's own error counts: a good one after it is clean.
  XErrorTrap trap(display);
  XWindowAttributes attributes{};
  EXPECT_NE(XGetWindowAttributes(display, DefaultRootWindow(display), &attributes), 0);
  EXPECT_FALSE(trap.FailedByReply());
}

TEST(XErrorTrapTest, SyncedCheckStillCatchesRequestsWithoutReply) {
  Display* display = ThreadDisplay();
  ASSERT_NE(display, nullptr);
  XErrorTrap trap(display);
  XMapWindow(display, 0x3ffffff);
  EXPECT_TRUE(trap.Failed());
}

}  // namespace
