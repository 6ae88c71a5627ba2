// Platform log lines land in the host's log once the SDK has one.
#include <gtest/gtest.h>

#include <platform/Log.h>

#include "RecordingLog.h"
#include "SdkLog.h"

TEST(PlatformLog, ReachesTheHostLogWhileOneIsSet) {
  RecordingLog log;
  SetSdkLogger(&log);
  PlatformLog("gdi: XShmAttach(%d) failed: %s; capturing with XGetImage from now on", 7, "BadAccess");
  SetSdkLogger(nullptr);
  PlatformLog("gdi: after the host log went away");
  const std::vector<RecordingLog::Line> lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "gdi: XShmAttach(7) failed: BadAccess; capturing with XGetImage from now on");
  EXPECT_EQ(lines[0].level, 2);
  EXPECT_EQ(lines[0].module, "Corvane");
}
