#include <gtest/gtest.h>
#include <gmock/gmock.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "NamedMutex.h"
#include "ProcessHelpers.h"
#include "ScopedTempDir.h"
#include "Trace.h"
#include "TraceManager.h"
#include "RowName.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

const DWORD kWaitMs = 10000;  // only a failing test reaches it

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

void Trace(int level, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  TraceMsgV(level, "Test", fmt, args);
  va_end(args);
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    main_ = folder_.path() / "AppLog.log";
    err_ = folder_.path() / "errlogs";
  }
  void TearDown() override { StopTrace(); }
  STraceCfg Config(int mainMax = 0xA00000, int errMax = 20480) const {
    STraceCfg cfg = {};
    std::snprintf(cfg.mainLogPath, sizeof cfg.mainLogPath, "%s", main_.c_str());
    std::snprintf(cfg.errLogPath, sizeof cfg.errLogPath, "%s", err_.c_str());
    cfg.mainLogMaxSize = mainMax;
    cfg.errLogMaxSize = errMax;
    return cfg;
  }
  ScopedTempDir folder_{"trace"};
  fs::path main_, err_;
};

TEST_F(TraceTest, LineCarriesTimeLevelModuleAndThread) {
  const STraceCfg cfg = Config();
  ASSERT_TRUE(StartTrace(&cfg));
  EXPECT_FALSE(StartTrace(&cfg));
  TraceInf("hello %d %s", 5, WideToUtf8(L"w\u00e9de").c_str());
  StopTrace();
  const std::string text = ReadWholeFile(main_);
  EXPECT_THAT(text, ContainsRegex("^\\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}\\]"
                                  "\\[INF\\]\\[DownLoad:[0-9]+\\] hello 5 w\xc3\xa9" "de\n$"));
  EXPECT_FALSE(fs::exists(err_));
}

struct LevelCase {
  const char* name;
  int level;
  const char* shownAs;  // null: dropped
  bool inErrorLog;
};

class TraceLevelTest : public TraceTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(TraceLevelTest, LevelDecidesNameAndErrorLog) {
  const STraceCfg cfg = Config();
  ASSERT_TRUE(StartTrace(&cfg));
  Trace(GetParam().level, "line");
  StopTrace();
  const std::string text = ReadWholeFile(main_);
  if (!GetParam().shownAs) {
    EXPECT_EQ(text, "");
    return;
  }
  EXPECT_THAT(text, HasSubstr(std::string("[") + GetParam().shownAs + "][Test:"));
  EXPECT_EQ(ReadWholeFile(err_), GetParam().inErrorLog ? text : "");
}

const LevelCase kLevels[] = {
    {"Negative", -1, nullptr, false}, {"Dbg", 0, "DBG", false}, {"Inf", 1, "INF", false},
    {"War", 2, "WAR", false},         {"Err", 3, "ERR", true},  {"FiveIsErr", 5, "ERR", true},
};
INSTANTIATE_TEST_SUITE_P(Levels, TraceLevelTest, ::testing::ValuesIn(kLevels), RowName());

TEST_F(TraceTest, EveryEntryIsExactlyOneLine) {
  const STraceCfg cfg = Config();
  ASSERT_TRUE(StartTrace(&cfg));
  TraceInf("a\nb");
  TraceInf("ends\n");
  TraceInf("%s", std::string(5000, 'x').c_str());
  StopTrace();
  const std::string text = ReadWholeFile(main_);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 3u) << text;
  EXPECT_THAT(lines[0], testing::EndsWith("] a\rb"));
  EXPECT_THAT(lines[1], testing::EndsWith("] ends"));
  EXPECT_EQ(lines[2].size() + 1, static_cast<size_t>(CTraceManager::kLineBytes - 1));
}

TEST_F(TraceTest, NothingIsKeptBeforeStartOrAfterStop) {
  TraceErr("before");
  const STraceCfg cfg = Config();
  ASSERT_TRUE(StartTrace(&cfg));
  TraceErr("during");
  StopTrace();
  TraceErr("after");
  ASSERT_TRUE(StartTrace(&cfg));
  StopTrace();
  const std::string text = ReadWholeFile(main_);
  EXPECT_THAT(text, HasSubstr("during"));
  EXPECT_THAT(text, Not(HasSubstr("before")));
  EXPECT_THAT(text, Not(HasSubstr("after")));
}

TEST_F(TraceTest, FullMainLogMovesToBakAndFullErrorLogIsEmptied) {
  const int limit = 64;
  std::ofstream(main_, std::ios::binary) << std::string(limit, 'M');
  std::ofstream(main_.string() + ".bak", std::ios::binary) << "old backup";
  std::ofstream(err_, std::ios::binary) << std::string(limit, 'E');
  const STraceCfg cfg = Config(limit, limit);
  ASSERT_TRUE(StartTrace(&cfg));
  TraceErr("fresh");
  StopTrace();
  EXPECT_EQ(ReadWholeFile(main_.string() + ".bak"), std::string(limit, 'M'));
  EXPECT_EQ(Lines(ReadWholeFile(main_)).size(), 1u);
  EXPECT_THAT(ReadWholeFile(main_), HasSubstr("fresh"));
  EXPECT_EQ(Lines(ReadWholeFile(err_)).size(), 1u);
  EXPECT_FALSE(fs::exists(err_.string() + ".bak"));
}

TEST_F(TraceTest, BelowTheLimitTheLogGrows) {
  std::ofstream(main_, std::ios::binary) << std::string(63, 'M');
  const STraceCfg cfg = Config(64, 64);
  ASSERT_TRUE(StartTrace(&cfg));
  TraceInf("grows");
  StopTrace();
  EXPECT_EQ(ReadWholeFile(main_).substr(0, 63), std::string(63, 'M'));
  EXPECT_FALSE(fs::exists(main_.string() + ".bak"));
}

TEST_F(TraceTest, TailsAreReadAfterAFlushAndTheErrorLogCanBeRemoved) {
  const STraceCfg cfg = Config();
  ASSERT_TRUE(StartTrace(&cfg));
  for (int i = 0; i < 20; ++i) TraceErr("error %02d", i);
  // No stop: reading flushes what is queued.
  std::vector<char> buffer(20480);
  const int got = GetLastErrLogData(buffer.data(), static_cast<int>(buffer.size()), true);
  const std::string tail(buffer.data(), static_cast<size_t>(got));
  EXPECT_EQ(Lines(tail).size(), 20u);
  EXPECT_THAT(tail, testing::EndsWith("error 19\n"));
  EXPECT_FALSE(fs::exists(err_));

  char small[9];
  ASSERT_EQ(GetLastLogData(small, sizeof small), 9);
  EXPECT_EQ(std::string(small, 9), "error 19\n");
  EXPECT_EQ(GetLastLogData(nullptr, 10), 0);
  EXPECT_EQ(GetLastLogData(small, 0), 0);
  TraceInf("still tracing");
  StopTrace();
  EXPECT_THAT(ReadWholeFile(main_), HasSubstr("still tracing"));
}

// The writer is held at the file mutex, as another process's pass would.
class HeldWriterTest : public TraceTest {
 protected:
  void HoldWriter() {
    ASSERT_TRUE(fileMutex_.Create(L"FWLogMutex"));
    ASSERT_TRUE(fileMutex_.Wait(kWaitMs));
    const STraceCfg cfg = Config();
    ASSERT_TRUE(manager_.Start(&cfg));
    TraceInto("first");
    // The writer takes the line and then waits for the mutex.
    for (int i = 0; i < 2000 && manager_.QueuedEntries() != 0; ++i) Sleep(5);
    ASSERT_EQ(manager_.QueuedEntries(), 0u);
  }
  void TraceInto(const char* text) { Trace(manager_, text); }
  static void Trace(CTraceManager& manager, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    manager.Trace(CTraceManager::kLevelInf, "Test", fmt, args);
    va_end(args);
  }
  CNamedMutex fileMutex_;
  CTraceManager manager_;
};

TEST_F(HeldWriterTest, AFullQueueLosesNewLinesButStillTakesAStop) {
  HoldWriter();
  for (int i = 0; i < CTraceManager::kMaxQueued; ++i) TraceInto(("queued " + std::to_string(i) + " end").c_str());
  EXPECT_EQ(manager_.QueuedEntries(), static_cast<size_t>(CTraceManager::kMaxQueued));
  TraceInto("overflow");
  EXPECT_EQ(manager_.QueuedEntries(), static_cast<size_t>(CTraceManager::kMaxQueued));
  manager_.AppendLog(CTraceManager::SEntry{0, nullptr, 0, false});
  fileMutex_.Release();
  for (int i = 0; i < 2000 && manager_.QueuedEntries() != 0; ++i) Sleep(5);  // the writer meets the stop
  manager_.Stop();
  const std::string text = ReadWholeFile(main_);
  EXPECT_THAT(text, HasSubstr("] first\n"));
  EXPECT_THAT(text, Not(HasSubstr("queued 0 end")));  // the stop took its place
  EXPECT_THAT(text, HasSubstr("queued 1 end"));
  EXPECT_THAT(text, HasSubstr("queued 1999 end"));
  EXPECT_THAT(text, Not(HasSubstr("overflow")));
  EXPECT_EQ(Lines(text).size(), 2000u);
}

TEST_F(HeldWriterTest, LinesQueuedBehindAStopAreWrittenByTheNextWriter) {
  HoldWriter();
  TraceInto("ahead");
  manager_.AppendLog(CTraceManager::SEntry{0, nullptr, 0, false});
  TraceInto("behind");
  fileMutex_.Release();
  char tail[4096];
  const int got = manager_.ReadLastLog(tail, sizeof tail);
  const std::string text(tail, static_cast<size_t>(got));
  EXPECT_THAT(text, HasSubstr("] ahead\n"));
  EXPECT_THAT(text, HasSubstr("] behind\n"));
  manager_.Stop();
}

TEST_F(TraceTest, TwoProcessesShareOneLogWithoutTornLines) {
  const STraceCfg cfg = Config(0x7FFFFFFF, 0x7FFFFFFF);
  const int count = 1000;
  HANDLE writers[2] = {};
  for (int i = 0; i < 2; ++i) {
    const std::wstring line = L"\"" + Utf8ToWide(TRACE_WRITER) + L"\" \"" + Utf8ToWide(main_.string()) + L"\" \"" +
                              Utf8ToWide(err_.string()) + L"\" P" + std::to_wstring(i) + L" " +
                              std::to_wstring(count);
    ASSERT_EQ(RunProcess(line, SW_HIDE, &writers[i]), 0u);
  }
  ASSERT_TRUE(StartTrace(&cfg));
  for (int i = 0; i < count; ++i) {
    TraceInf("T %d %0200d", i, 0);
    if (i % 100 == 99) Sleep(5);
  }
  StopTrace();
  for (HANDLE writer : writers) {
    EXPECT_EQ(WaitForSingleObject(writer, kWaitMs), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(writer, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(writer);
  }
  std::map<std::string, int> perTag;
  const std::string padding(200, '0');
  for (const std::string& line : Lines(ReadWholeFile(main_))) {
    const size_t body = line.find("] ");
    ASSERT_NE(body, std::string::npos) << line;
    std::istringstream fields(line.substr(body + 2));
    std::string tag, number, pad;
    fields >> tag >> number >> pad;
    ASSERT_EQ(pad, padding) << "torn line: " << line;
    ASSERT_EQ(line.find('['), 0u) << "torn line: " << line;
    ++perTag[tag];
  }
  EXPECT_EQ(perTag["T"], count);
  EXPECT_EQ(perTag["P0"], count);
  EXPECT_EQ(perTag["P1"], count);
  EXPECT_EQ(perTag.size(), 3u);
  EXPECT_EQ(Lines(ReadWholeFile(err_)).size(), 2u * count / 10);
}

}  // namespace
