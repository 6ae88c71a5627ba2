#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

#include <platform/Errand.h>
#include <platform/Log.h>
#include <platform/Scribe.h>

#include "AppLog.h"
#include "AppPaths.h"
#include "FWIniDatFile.h"
#include "JsonHelpers.h"
#include "SetupErrand.h"
#include "SocketSpy.h"
#include "RowName.h"

namespace {

QStringList LogLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// The client's working folder is the program folder; here a fresh one per test.
class AppLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    FWIniDatFile::instance().setFile(dir_.filePath(QStringLiteral("UserCfg.ini")));
  }
  void TearDown() override {
    ScribeClose();
    QDir::setCurrent(previous_);
  }
  QString mainLog() const { return dir_.filePath(QStringLiteral("log/Corvane.log")); }
  QString errorLog() const { return dir_.filePath(QStringLiteral("log/Corvane.err")); }

  QTemporaryDir dir_;
  QString previous_;
};

TEST_F(AppLogTest, OpenMakesTheFolderAndWritesTheBanner) {
  ASSERT_TRUE(OpenAppLog());
  const QStringList lines = LogLines(mainLog());
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].endsWith(
      QStringLiteral("---------- Corvane running... (pid:%1)----------").arg(QCoreApplication::applicationPid())))
      << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QStringLiteral(" DBG [Corvane] ")));
  char paths[kScribeLogPathsSize];
  ScribeGetLogPaths(paths);
  EXPECT_STREQ(paths, "./log/Corvane.log;./log/Corvane.err");
}

TEST_F(AppLogTest, TheErrorLogKeepsItsLimit) {
  ASSERT_TRUE(OpenAppLog());
  const std::string text(200, 'e');
  for (int n = 0; n < 200; ++n) AppLogErr("line %d %s", n, text.c_str());
  EXPECT_LE(QFileInfo(errorLog()).size(), 20480);
  EXPECT_LE(QFileInfo(errorLog() + ".1").size(), 20480);
  EXPECT_GT(QFileInfo(errorLog() + ".1").size(), 0);
  // The main log's 5 MiB are far away.
  EXPECT_EQ(LogLines(mainLog()).size(), 201);
}

TEST_F(AppLogTest, PlatformLinesLandInTheMainLogFromAnyThread) {
  ASSERT_TRUE(OpenAppLog());
  std::thread other([] { PlatformLog("kernel: mapping file %s has no size, not used", "/dev/shm/x"); });
  other.join();
  PlatformLog("ini: line %d", 2);
  const QStringList lines = LogLines(mainLog());
  ASSERT_EQ(lines.size(), 3);
  const char* expected[] = {"] kernel: mapping file /dev/shm/x has no size, not used", "] ini: line 2"};
  for (int n = 0; n < 2; ++n) {
    EXPECT_TRUE(lines[n + 1].contains(QStringLiteral(" WAR [Corvane] "))) << lines[n + 1].toStdString();
    EXPECT_TRUE(lines[n + 1].endsWith(QString::fromLatin1(expected[n]))) << lines[n + 1].toStdString();
  }
}

struct LogFunctionCase {
  const char* name;
  void (*log)(const char*, ...);
  const char* expected;  // level and module as the line shows them
  bool reachesErrorLog;
};

const LogFunctionCase kLogFunctions[] = {
    {"AppLogDbg", AppLogDbg, " DBG [Corvane] ", false}, {"AppLogInf", AppLogInf, " INF [Corvane] ", false},
    {"AppLogWar", AppLogWar, " WAR [Corvane] ", false}, {"AppLogErr", AppLogErr, " ERR [Corvane] ", true},
    {"MainLogDbg", MainLogDbg, " DBG [Main] ", false},  {"MainLogErr", MainLogErr, " ERR [Main] ", true},
};

class LogFunctionTest : public AppLogTest, public ::testing::WithParamInterface<LogFunctionCase> {};

TEST_P(LogFunctionTest, WritesItsLevelAndModule) {
  ASSERT_TRUE(OpenAppLog());
  GetParam().log("value %d of %s", 7, "seven");
  const QStringList lines = LogLines(mainLog());
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].contains(QString::fromLatin1(GetParam().expected))) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral("value 7 of seven")));
  EXPECT_EQ(LogLines(errorLog()).size(), GetParam().reachesErrorLog ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Functions, LogFunctionTest, ::testing::ValuesIn(kLogFunctions), RowName());

void SinkLine(FWlogger* sink, int level, const char* module, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  sink->writeLog(level, module, fmt, args);
  va_end(args);
}

TEST_F(AppLogTest, TheSinkTakesTheSdkThreadsLinesWithTheirModules) {
  ASSERT_TRUE(OpenAppLog());
  const char* modules[] = {"Corvane", "Video", "ScreenShr", "Main"};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < 100; ++n) SinkLine(&theAppLog, n % 4, modules[t], "thread %d line %d", t, n);
    });
  for (std::thread& thread : threads) thread.join();

  const QStringList lines = LogLines(mainLog());
  ASSERT_EQ(lines.size(), 1 + 400);
  const char* levels[] = {"DBG", "INF", "WAR", "ERR"};
  for (int t = 0; t < 4; ++t)
    for (int n = 0; n < 100; n += 33) {
      const QString expected = QStringLiteral(" %1 [%2] ").arg(levels[n % 4], modules[t]);
      const QString text = QStringLiteral("thread %1 line %2").arg(t).arg(n);
      EXPECT_EQ(lines.filter(text).size(), 1) << text.toStdString();
      EXPECT_TRUE(lines.filter(text).value(0).contains(expected)) << text.toStdString();
    }
  EXPECT_EQ(LogLines(errorLog()).size(), 100);
}

TEST_F(AppLogTest, SetupErrandHandsOverWhoAndWhereAndOpensNoSocket) {
  ASSERT_TRUE(OpenAppLog());
  ErrandResetRecord();
  char localIp[kLocalIPv4Size];
  GetLocalIPv4(localIp);
  SocketSpyReset();
  SetupErrand();
  const ErrandRecord record = ErrandReadRecord();
  EXPECT_EQ(record.log, &theAppLog);
  EXPECT_EQ(record.cfg, &FWIniDatFile::instance());
  EXPECT_EQ(record.name, "Corvane_win32");
  EXPECT_EQ(record.version, GetAppVersion());
  EXPECT_EQ(record.usrId, GetUsrID());
  EXPECT_EQ(record.usrId.size(), 36);
  EXPECT_EQ(record.typeCode, 113);
  EXPECT_EQ(record.localIp, QString::fromLocal8Bit(localIp));
  EXPECT_EQ(record.clientIp, record.localIp);
  EXPECT_EQ(record.servers, "localhost:12005;127.0.0.1:12005");
  EXPECT_EQ(record.logFile, "./log/Corvane.log;./log/Corvane.err");
  // The address lookup may ask the kernel over netlink; nothing may reach for a peer.
  EXPECT_EQ(SocketSpyRead().inetSockets, 0);
  EXPECT_EQ(SocketSpyRead().connects, 0);
  // Each call is logged through the client's sink.
  EXPECT_EQ(LogLines(mainLog()).filter(QStringLiteral("[Errand]")).size(), 6);
}

}  // namespace
