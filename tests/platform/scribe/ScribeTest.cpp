#include <platform/Scribe.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ChildProcess.h"
#include "ScribeLines.h"
#include "ScopedTempDir.h"

namespace {

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));  // no terminator: a torn line
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

struct TestLine {
  std::string level;
  std::string tag;
  int thread = -1;
  int n = -1;
};

// A whole test line: "<date> <time> <LVL> [Test] [<tid>] <tag>-<thread>-<n> <payload>|".
bool ParseTestLine(const std::string& line, TestLine* out) {
  int y, mo, d, h, mi, s, ms, tid, used = -1;
  char level[4] = {};
  if (sscanf(line.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d %3s [Test] [%d] %n", &y, &mo, &d, &h, &mi, &s, &ms, level,
             &tid, &used) != 9 ||
      used < 0)
    return false;
  const std::string rest = line.substr(static_cast<size_t>(used));
  const size_t space = rest.find(' ');
  if (space == std::string::npos || rest.substr(space + 1) != TestPayload() + "|") return false;
  const std::string id = rest.substr(0, space);
  const size_t first = id.find('-');
  const size_t second = id.find('-', first + 1);
  if (first == std::string::npos || second == std::string::npos) return false;
  out->level = level;
  out->tag = id.substr(0, first);
  out->thread = atoi(id.c_str() + first + 1);
  out->n = atoi(id.c_str() + second + 1);
  return true;
}

class ScribeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    dir_ = temp_.path().string();
    main_ = dir_ + "/Corvane.log";
    err_ = dir_ + "/Corvane.err";
  }
  void TearDown() override {
    ScribeClose();
    ScribeSetMaxSize(0, 0);
    ScribeSetMaxSize(1, 0);
  }

  bool Open() {
    char paths[2][kScribePathSize] = {};
    snprintf(paths[0], kScribePathSize, "%s", main_.c_str());
    snprintf(paths[1], kScribePathSize, "%s", err_.c_str());
    return ScribeOpen(paths) != 0;
  }

  bool StartWriter(ChildProcess* writer, int maxBytes, const char* tag, int threads, int lines) {
    return writer->start({CORVANE_SCRIBE_WRITER, main_, err_, std::to_string(maxBytes), tag, std::to_string(threads),
                          std::to_string(lines)});
  }

  static void WriteFromThreads(const char* tag, int threads, int lines) {
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
      writers.emplace_back([=] {
        for (int n = 0; n < lines; ++n) WriteTestLine(n % 4, tag, t, n);
      });
    for (std::thread& writer : writers) writer.join();
  }

  // Every line whole; the set of (tag, thread, n) seen, each at most once.
  static std::set<std::tuple<std::string, int, int>> CheckWhole(const std::string& text) {
    std::set<std::tuple<std::string, int, int>> seen;
    for (const std::string& line : Lines(text)) {
      TestLine parsed;
      if (!ParseTestLine(line, &parsed)) {
        ADD_FAILURE() << "torn or foreign line: " << line.substr(0, 120);
        continue;
      }
      EXPECT_TRUE(seen.emplace(parsed.tag, parsed.thread, parsed.n).second) << "twice: " << line.substr(0, 80);
    }
    return seen;
  }

  ScopedTempDir temp_{"scribe"};
  std::string dir_, main_, err_;
};

TEST_F(ScribeTest, ThreadsAndASecondProcessNeverInterleave) {
  ASSERT_TRUE(Open());
  constexpr int kThreads = 6, kLines = 400;
  ChildProcess other;
  ASSERT_TRUE(StartWriter(&other, 0, "B", kThreads, kLines));
  WriteFromThreads("A", kThreads, kLines);
  ASSERT_EQ(other.wait(std::chrono::seconds(60)).exitCode(), 0);
  ScribeClose();

  const auto seen = CheckWhole(ReadWholeFile(main_));
  EXPECT_EQ(seen.size(), 2u * kThreads * kLines);
  // Only level 3 reaches the error log: every fourth line of each writer.
  const auto errors = CheckWhole(ReadWholeFile(err_));
  EXPECT_EQ(errors.size(), 2u * kThreads * kLines / 4);
  for (const auto& [tag, thread, n] : errors) EXPECT_EQ(n % 4, 3) << tag << "-" << thread << "-" << n;
}

TEST_F(ScribeTest, TwoProcessesRotatingNeverPassTheLimit) {
  constexpr int kMax = 16 * 1024;
  ASSERT_TRUE(Open());
  ScribeSetMaxSize(0, kMax);
  ScribeSetMaxSize(1, kMax);
  ChildProcess other;
  ASSERT_TRUE(StartWriter(&other, kMax, "B", 4, 300));
  WriteFromThreads("A", 4, 300);
  ASSERT_EQ(other.wait(std::chrono::seconds(60)).exitCode(), 0);
  ScribeClose();

  for (const std::string& path : {main_, main_ + ".1", err_, err_ + ".1"}) {
    SCOPED_TRACE(path);
    EXPECT_GT(FileSize(path), 0);
    EXPECT_LE(FileSize(path), kMax);
    CheckWhole(ReadWholeFile(path));
  }
}

TEST_F(ScribeTest, ALineLongerThanTheLimitIsCutToFit) {
  ASSERT_TRUE(Open());
  ScribeSetMaxSize(0, 100);
  const std::string big(500, 'x');
  WriteVa(0, "Big", "%s", big.c_str());
  WriteVa(0, "Big", "%s", big.c_str());
  ScribeClose();
  const std::string text = ReadWholeFile(main_);
  EXPECT_EQ(text.size(), 100u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(FileSize(main_ + ".1"), 100);
}

TEST_F(ScribeTest, LineCarriesTimeLevelModuleThreadAndText) {
  ASSERT_TRUE(Open());
  WriteVa(3, "ScreenShr", "size %dx%d", 1920, 1080);
  // Formatting a second time, past the first buffer, needs the arguments again.
  const std::string long_text(3000, 'L');
  WriteVa(1, "Corvane", "%s %d %s", long_text.c_str(), 42, "end");
  WriteVa(0, "Corvane", "two\nlines\n");
  ScribeClose();

  const std::vector<std::string> lines = Lines(ReadWholeFile(main_));
  ASSERT_EQ(lines.size(), 3u);
  char level[4] = {};
  char module[32] = {};
  int tid = 0, used = -1;
  ASSERT_EQ(sscanf(lines[0].c_str(), "%*d-%*d-%*d %*d:%*d:%*d.%*d %3s [%31[^]]] [%d] %n", level, module, &tid, &used), 3)
      << lines[0];
  EXPECT_STREQ(level, "ERR");
  EXPECT_STREQ(module, "ScreenShr");
  EXPECT_EQ(tid, static_cast<int>(gettid()));
  EXPECT_EQ(lines[0].substr(static_cast<size_t>(used)), "size 1920x1080");
  EXPECT_NE(lines[1].find(" INF [Corvane] "), std::string::npos);
  EXPECT_NE(lines[1].find(long_text + " 42 end"), std::string::npos);
  EXPECT_NE(lines[2].find("two lines"), std::string::npos);
  // The error line alone reached the error log.
  EXPECT_EQ(Lines(ReadWholeFile(err_)), std::vector<std::string>{lines[0]});
}

TEST_F(ScribeTest, TailAfterFlushIsTheEndOfTheMainLog) {
  ASSERT_TRUE(Open());
  for (int n = 0; n < 50; ++n) WriteTestLine(0, "T", 0, n);
  ScribeFlush();
  const std::string text = ReadWholeFile(main_);
  char buffer[256];
  ASSERT_EQ(ScribeReadTail(buffer, sizeof buffer), static_cast<int>(sizeof buffer));
  EXPECT_EQ(std::string(buffer, sizeof buffer), text.substr(text.size() - sizeof buffer));

  std::vector<char> whole(text.size() + 100);
  ASSERT_EQ(ScribeReadTail(whole.data(), static_cast<int>(whole.size())), static_cast<int>(text.size()));
  EXPECT_EQ(std::string(whole.data(), text.size()), text);
  EXPECT_EQ(ScribeReadTail(buffer, 0), 0);
  EXPECT_EQ(ScribeReadTail(nullptr, 10), 0);

  char paths[kScribeLogPathsSize];
  EXPECT_EQ(ScribeGetLogPaths(paths), static_cast<int>(main_.size() + 1 + err_.size()));
  EXPECT_EQ(std::string(paths), main_ + ";" + err_);
}

TEST_F(ScribeTest, CallsBeforeOpenAndAfterCloseAreHarmless) {
  char buffer[64] = "untouched";
  char paths[kScribePathSize * 2 + 4];
  auto everyCall = [&] {
    EXPECT_EQ(WriteVa(3, "Late", "after %s", "close"), 0);
    EXPECT_EQ(ScribeReadTail(buffer, sizeof buffer), 0);
    ScribeFlush();
    EXPECT_EQ(ScribeGetLogPaths(paths), 0);
    EXPECT_STREQ(paths, "");
    ScribeClose();
  };
  everyCall();

  ASSERT_TRUE(Open());
  WriteVa(3, "Open", "one line");
  const long long mainSize = FileSize(main_), errSize = FileSize(err_);
  ScribeClose();
  everyCall();
  // Threads still logging while the process ends.
  WriteFromThreads("Z", 4, 50);
  EXPECT_EQ(FileSize(main_), mainSize);
  EXPECT_EQ(FileSize(err_), errSize);
}

TEST_F(ScribeTest, MissingFolderFailsTheOpen) {
  main_ = dir_ + "/absent/Corvane.log";
  err_ = dir_ + "/absent/Corvane.err";
  EXPECT_FALSE(Open());
  EXPECT_EQ(WriteVa(0, "Test", "dropped"), 0);
  EXPECT_EQ(ScribeSetMaxSize(2, 10), 0);
}

}  // namespace
