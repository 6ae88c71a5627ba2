#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/Log.h>

#include <cerrno>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_lines;
void Record(const char* line) { g_lines.emplace_back(line); }

}  // namespace

TEST(PlatformLog, GoesToTheSinkSetAndBackToStderr) {
  g_lines.clear();
  const PlatformLogSink previous = SetPlatformLogSink(Record);
  PlatformLog("kernel: %s %d", "short", 1);
  // Longer than the formatting buffer on the stack: nothing may be cut.
  const std::string longText(2000, 'x');
  PlatformLog("ini: %s|", longText.c_str());
  EXPECT_EQ(SetPlatformLogSink(nullptr), Record);
  PlatformLog("kernel: this one goes to stderr");
  SetPlatformLogSink(previous);
  ASSERT_EQ(g_lines.size(), 2u);
  EXPECT_EQ(g_lines[0], "kernel: short 1");
  EXPECT_EQ(g_lines[1], "ini: " + longText + "|");
}

std::vector<std::string> g_lent;
void RecordLent(const char* line) { g_lent.emplace_back(line); }

TEST(PlatformLog, ALentSinkNeitherDisplacesNorRemovesTheProgramsOwn) {
  g_lines.clear();
  g_lent.clear();
  const PlatformLogSink previous = SetPlatformLogSink(Record);
  EXPECT_FALSE(ReplacePlatformLogSink(nullptr, RecordLent));
  EXPECT_FALSE(ReplacePlatformLogSink(RecordLent, nullptr));
  PlatformLog("kernel: to the program's sink");
  SetPlatformLogSink(nullptr);
  EXPECT_TRUE(ReplacePlatformLogSink(nullptr, RecordLent));
  PlatformLog("kernel: to the lent sink");
  EXPECT_TRUE(ReplacePlatformLogSink(RecordLent, nullptr));
  PlatformLog("kernel: to stderr");
  SetPlatformLogSink(previous);
  EXPECT_EQ(g_lines, std::vector<std::string>{"kernel: to the program's sink"});
  EXPECT_EQ(g_lent, std::vector<std::string>{"kernel: to the lent sink"});
}

TEST(PlatformLog, AnUnknownErrnoIsLoggedOnce) {
  g_lines.clear();
  const PlatformLogSink previous = SetPlatformLogSink(Record);
  // ENOTRECOVERABLE means nothing to a Windows caller.
  EXPECT_EQ(Win32ErrorFromErrno(ENOTRECOVERABLE), ERROR_GEN_FAILURE);
  EXPECT_EQ(Win32ErrorFromErrno(ENOTRECOVERABLE), ERROR_GEN_FAILURE);
  EXPECT_EQ(Win32ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
  SetPlatformLogSink(previous);
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_NE(g_lines[0].find(std::to_string(ENOTRECOVERABLE)), std::string::npos) << g_lines[0];
}
