#include <platform/Errand.h>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "FWInterfaces.h"
#include "RecordingLog.h"
#include "SocketSpy.h"

namespace {

class NoSettings : public FWCfgger {
 public:
  bool setString(const QString&, const QString&, const QString&) override { return false; }
  void setInt(const QString&, int, const QString&) override {}
  QString getString(const QString&, const QString&) override { return {}; }
  int getInt(const QString&, int value, const QString&) override { return value; }
  bool removeKey(const QString&, const QString&) override { return false; }
  bool removeSection(const QString&) override { return false; }
};

TEST(ErrandTest, RecordsAndLogsEveryCallAndOpensNoSocket) {
  ErrandResetRecord();
  SocketSpyReset();
  RecordingLog log;
  NoSettings settings;
  ASSERT_EQ(getErrand(), getErrand());
  getErrand()->init(&log, &settings, "Corvane_win32", "1.2.3.4", "0b7c-uuid");
  getErrand()->setTypeCode(113);
  getErrand()->setLocalIp("10.0.0.7");
  getErrand()->setClientIp("10.0.0.7");
  getErrand()->setServers("localhost:12005;127.0.0.1:12005");
  getErrand()->setLogFile("./log/Corvane.log;./log/Corvane.err");
  getErrand()->reserved1();
  getErrand()->stop();

  const ErrandRecord record = ErrandReadRecord();
  EXPECT_EQ(record.log, &log);
  EXPECT_EQ(record.cfg, &settings);
  EXPECT_EQ(record.name, "Corvane_win32");
  EXPECT_EQ(record.version, "1.2.3.4");
  EXPECT_EQ(record.usrId, "0b7c-uuid");
  EXPECT_EQ(record.typeCode, 113);
  EXPECT_EQ(record.localIp, "10.0.0.7");
  EXPECT_EQ(record.clientIp, "10.0.0.7");
  EXPECT_EQ(record.servers, "localhost:12005;127.0.0.1:12005");
  EXPECT_EQ(record.logFile, "./log/Corvane.log;./log/Corvane.err");
  EXPECT_TRUE(record.stopped);
  EXPECT_EQ(record.calls, 7);

  const std::vector<RecordingLog::Line> lines = log.Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.front().text, "init name:Corvane_win32, version:1.2.3.4, usrId:0b7c-uuid");
  EXPECT_EQ(lines.back().text, "stop");
  for (const RecordingLog::Line& line : lines) {
    EXPECT_EQ(line.level, 0);
    EXPECT_EQ(line.module, "Errand");
  }

  const SocketSpyCounts counts = SocketSpyRead();
  EXPECT_EQ(counts.inetSockets + counts.otherSockets, 0);
  EXPECT_EQ(counts.connects, 0);
}

// The counts above mean something only if the spy sees what this process opens.
TEST(ErrandTest, SpySeesASocket) {
  SocketSpyReset();
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(SocketSpyRead().inetSockets, 1);
}

TEST(ErrandTest, CallsBeforeInitAreKeptWithoutASink) {
  ErrandResetRecord();
  getErrand()->setTypeCode(5);
  getErrand()->stop();
  const ErrandRecord record = ErrandReadRecord();
  EXPECT_EQ(record.log, nullptr);
  EXPECT_EQ(record.typeCode, 5);
  EXPECT_TRUE(record.stopped);
}

// Asks for the record from another thread while a line is logged, as a host
// whose log thread looks at the reporter would; the ask is joined only after
// the logged call returned, so a lock held across the sink shows as a late
// answer, not as a hang.
class AskingLog final : public FWlogger {
 public:
  void writeLog(int, const char*, const char*, va_list) override {
    asks_.push_back(std::async(std::launch::async, [] { return ErrandReadRecord().calls; }));
    answeredAtOnce_.push_back(asks_.back().wait_for(std::chrono::seconds(5)) == std::future_status::ready);
  }
  std::vector<bool> answeredAtOnce() {
    for (std::future<int>& ask : asks_) ask.wait();
    return answeredAtOnce_;
  }

 private:
  std::vector<std::future<int>> asks_;
  std::vector<bool> answeredAtOnce_;
};

TEST(ErrandTest, TheSinkIsCalledWithoutTheRecordLocked) {
  ErrandResetRecord();
  AskingLog log;
  NoSettings settings;
  getErrand()->init(&log, &settings, "Corvane_win32", "1.2.3.4", "0b7c-uuid");
  getErrand()->setServers("localhost:12005");
  getErrand()->setLogFile("./log/Corvane.log;./log/Corvane.err");
  getErrand()->stop();
  EXPECT_EQ(log.answeredAtOnce(), std::vector<bool>(4, true));
  EXPECT_EQ(ErrandReadRecord().calls, 4);
}

}  // namespace
