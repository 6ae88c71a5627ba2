#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <stdlib.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <string>

#include <platform/Kernel.h>

#include "HelperProgram.h"
#include "SystemHelpers.h"
#include "QtPrinters.h"
#include "RowName.h"

using namespace std::chrono_literals;

TEST(IsVistaOrLater, HoldsOnThisPlatform) {
  // The platform reports a version above 5, so the newer capture and
  // indicator paths are the ones taken here.
  EXPECT_TRUE(IsVistaOrLater());
}

// Starts the helper from a folder whose name holds a space, so the command
// line's quoting is exercised, and ends whatever is still running afterwards.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid());
    program_ = helper_program::CopyInto(temp_.filePath(QStringLiteral("with space")));
    ASSERT_FALSE(program_.isEmpty());
    pidFile_ = temp_.filePath(QStringLiteral("pid file"));
  }

  void TearDown() override {
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
  }

  QByteArray SleepCommand(int ms) const {
    return "\"" + program_.toUtf8() + "\" sleep " + QByteArray::number(ms) + " \"" + pidFile_.toUtf8() + "\"";
  }

  // The helper's pid once it has written it.
  DWORD ChildPid() const {
    return static_cast<DWORD>(helper_program::WaitForFile(pidFile_, 20s).toULong());
  }

  QTemporaryDir temp_;
  QString program_;
  QString pidFile_;
  HANDLE process_ = nullptr;
};

TEST_F(ProcessTest, ChildEndingWithinTheWaitIsNotTerminated) {
  ASSERT_EQ(RunProcess(SleepCommand(1000), SW_SHOW, &process_), ERROR_SUCCESS);
  ASSERT_NE(process_, nullptr);
  const DWORD pid = ChildPid();
  ASSERT_NE(pid, 0u) << "the helper wrote no pid";
  EXPECT_EQ(KillProcess(pid, 77, 20000), ERROR_SUCCESS);
  ASSERT_EQ(WaitForSingleObject(process_, 10000), WAIT_OBJECT_0);
  DWORD code = STILL_ACTIVE;
  ASSERT_TRUE(GetExitCodeProcess(process_, &code));
  EXPECT_EQ(code, 0u) << "ended by KillProcess instead of by itself";
}

TEST_F(ProcessTest, ChildOutlastingTheWaitIsTerminated) {
  ASSERT_EQ(RunProcess(SleepCommand(120000), SW_SHOW, &process_), ERROR_SUCCESS);
  const DWORD pid = ChildPid();
  ASSERT_NE(pid, 0u) << "the helper wrote no pid";
  EXPECT_EQ(KillProcess(pid, 77, 100), ERROR_SUCCESS);
  // It would sleep for two minutes: ending within the deadline means it was ended.
  ASSERT_EQ(WaitForSingleObject(process_, 20000), WAIT_OBJECT_0);
  DWORD code = STILL_ACTIVE;
  ASSERT_TRUE(GetExitCodeProcess(process_, &code));
  EXPECT_NE(code, 0u);
  EXPECT_NE(code, STILL_ACTIVE);
}

TEST_F(ProcessTest, HandleNotWantedStillStarts) {
  ASSERT_EQ(RunProcess(SleepCommand(0), SW_SHOW), ERROR_SUCCESS);
  EXPECT_NE(ChildPid(), 0u) << "the helper never ran";
}

TEST(RunProcess, FailureGivesTheErrorAndNoHandle) {
  const struct {
    const char* command;
    DWORD error;
  } cases[] = {
      {"\"/nonexistent folder/corvane-helper\" sleep 0", ERROR_FILE_NOT_FOUND},
      {"corvane-no-such-program-on-path", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    // Pre-filled, so a failure that leaves a stale value in it shows.
    HANDLE process = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1234));
    EXPECT_EQ(RunProcess(QByteArray(c.command), SW_SHOW, &process), c.error) << c.command;
    EXPECT_EQ(process, nullptr) << c.command;
  }
}

TEST(KillProcess, PidThatDoesNotExistGivesOpenProcessError) {
  // Search down from the top of the pid range for one that nobody uses.
  long pidMax = 32768;
  QFile maxFile(QStringLiteral("/proc/sys/kernel/pid_max"));
  if (maxFile.open(QIODevice::ReadOnly)) pidMax = maxFile.readAll().trimmed().toLong();
  DWORD unused = 0;
  for (long pid = pidMax - 1; pid > pidMax - 1000 && pid > 1; --pid) {
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      unused = static_cast<DWORD>(pid);
      break;
    }
  }
  ASSERT_NE(unused, 0u) << "no free pid near the top of the range";
  EXPECT_EQ(KillProcess(unused, 1, 0), ERROR_INVALID_PARAMETER);
}

struct VersionFileCase {
  const char* name;
  QString path;
  bool found;
};

static void PrintTo(const VersionFileCase& c, std::ostream* os) { *os << c.name; }

static QString OwnExecutable() { return QFile::symLinkTarget(QStringLiteral("/proc/self/exe")); }

class GetFileVersionTest : public ::testing::TestWithParam<VersionFileCase> {};

TEST_P(GetFileVersionTest, ReadsTheVersionRecord) {
  const VersionFileCase& c = GetParam();
  QString version = QStringLiteral("stale");
  EXPECT_EQ(GetFileVersion(c.path, version), c.found) << c.path.toStdString();
  EXPECT_EQ(version.toStdString(), c.found ? CORVANE_PROJECT_VERSION : "");
}

// Test binaries carry the project's version record; system programs and
// text files carry none.
INSTANTIATE_TEST_SUITE_P(
    Files, GetFileVersionTest,
    ::testing::Values(VersionFileCase{"TestBinary", OwnExecutable(), true},
                      VersionFileCase{"HelperProgram", QStringLiteral(CORVANE_TEST_HELPER), true},
                      VersionFileCase{"SystemProgram", QStringLiteral("/bin/true"), false},
                      VersionFileCase{"TextFile", QStringLiteral(__FILE__), false},
                      VersionFileCase{"Missing", QStringLiteral("/nonexistent/file"), false},
                      VersionFileCase{"Folder", QStringLiteral("/tmp"), false},
                      VersionFileCase{"EmptyPath", QString(), false}), RowName());

TEST(GetTaskbarInfo, WithoutADisplayGivesAnEmptyRect) {
  const char* saved = getenv("DISPLAY");
  const std::string display = saved != nullptr ? saved : "";
  unsetenv("DISPLAY");
  TaskbarInfo info;
  info.rect = QRect(1, 2, 3, 4);
  info.autoHide = true;
  GetTaskbarInfo(info);
  if (saved != nullptr) setenv("DISPLAY", display.c_str(), 1);
  EXPECT_TRUE(info.rect.isEmpty());
  EXPECT_FALSE(info.autoHide);
}
