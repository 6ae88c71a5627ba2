// The instance block: an updater that starts ends the one recorded there and
// records itself; its exit clears the record. A forked copy of this test
// stands in for the older updater (it runs the same program), under a block
// name of the test's own.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/Log.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "FileDownloadApp.h"
#include "MsgTable.h"
#include "NamedShareMem.h"
#include "ProcessHelpers.h"
#include "ScopedTempDir.h"

namespace {

std::wstring BlockName() { return L"corvane_test_block_" + std::to_wstring(GetCurrentProcessId()); }

TEST(InstanceBlockTest, NewBlockIsZeroAndSharedByName) {
  CNamedShareMem first, second;
  ASSERT_EQ(first.open(BlockName(), 256), 0u);
  EXPECT_EQ(*first.data(), 0);
  *first.data() = 1234;
  ASSERT_EQ(second.open(BlockName(), 256), 0u);
  EXPECT_EQ(*second.data(), 1234) << "an existing block is not cleared";
  EXPECT_NE(first.open(std::wstring(300, L'x'), 256), 0u) << "too long a name is an error, not a closed success";
  EXPECT_EQ(first.data(), nullptr);
}

// Stands for an updater until it is ended; bounded, should nothing end it.
int IdleUpdater() {
  for (int i = 0; i < 300; ++i) usleep(100 * 1000);
  return 0;
}

TEST(InstanceBlockTest, SecondUpdaterEndsTheFirst) {
  ChildProcess older;
  ASSERT_TRUE(older.startForked(IdleUpdater));
  const DWORD pid = static_cast<DWORD>(older.pid());
  HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(child, nullptr);
  CNamedShareMem block;
  ASSERT_EQ(block.open(BlockName(), 256), 0u);
  *block.data() = static_cast<int>(pid);

  ScopedTempDir folder{ScopedTempDir::kAwkwardPrefix};
  CFileDownloadApp app;
  app.SetAppDir(folder.wideFolder());
  app.SetInstanceBlockName(BlockName());
  ASSERT_TRUE(app.StopOtherInstance());
  EXPECT_EQ(WaitForSingleObject(child, 5000), WAIT_OBJECT_0) << "the recorded updater was ended";
  EXPECT_EQ(*block.data(), static_cast<int>(GetCurrentProcessId()));
  app.ExitInstance();
  EXPECT_EQ(*block.data(), 0) << "exit clears our own record";
  CloseHandle(child);
}

// Records pid as the running updater and starts the next one over it, which
// must go on and record itself.
void StartOverRecordedPid(DWORD pid) {
  CNamedShareMem block;
  ASSERT_EQ(block.open(BlockName(), 256), 0u);
  *block.data() = static_cast<int>(pid);
  CFileDownloadApp app;
  app.SetInstanceBlockName(BlockName());
  EXPECT_TRUE(app.StopOtherInstance());
  EXPECT_EQ(*block.data(), static_cast<int>(GetCurrentProcessId()));
  app.ExitInstance();
}

bool RunsSleepWithin(pid_t pid, std::chrono::milliseconds deadline) {
  const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (std::chrono::steady_clock::now() < end) {
    std::error_code error;
    if (std::filesystem::read_symlink(exe, error).filename() == "sleep") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// The recorded updater is gone and its pid now belongs to another program:
// that program goes on, and this updater records itself all the same.
TEST(InstanceBlockTest, OtherProgramAtTheRecordedPidIsNotEnded) {
  ChildProcess other;
  ASSERT_TRUE(other.start({FindInPath("sleep"), "30"}));
  // Until its exec the child is still a copy of this test, an updater.
  ASSERT_TRUE(RunsSleepWithin(other.pid(), std::chrono::seconds(5)));
  StartOverRecordedPid(static_cast<DWORD>(other.pid()));
  // Had it been ended, the kill would be pending already and win over ours.
  ASSERT_EQ(kill(other.pid(), SIGTERM), 0);
  const ChildResult end = other.wait(std::chrono::seconds(5));
  ASSERT_TRUE(end.finished);
  EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGTERM) << "status " << end.status;
}

TEST(InstanceBlockTest, VanishedPidIsLoggedAndStartGoesOn) {
  HANDLE child = nullptr;
  DWORD pid = 0;
  ASSERT_EQ(RunProcess(L"/bin/true", SW_SHOW, &child, &pid), 0u);
  ASSERT_EQ(WaitForSingleObject(child, 5000), WAIT_OBJECT_0);
  CloseHandle(child);
  StartOverRecordedPid(pid);
}

// An argument that is no command line fails start-up; the language stays English.
TEST(InstanceBlockTest, BadArgumentFailsStartUp) {
  ScopedTempDir folder{ScopedTempDir::kAwkwardPrefix};
  CFileDownloadApp app;
  app.SetAppDir(folder.wideFolder());
  app.SetInstanceBlockName(BlockName());
  EXPECT_FALSE(app.InitInstance(L""));
  EXPECT_FALSE(app.InitInstance(L"corvane:bm90IGEgY29tbWFuZA=="));  // "not a command"
  EXPECT_EQ(SelectedLanguage(), LANG_EN_US);
  app.ExitInstance();
}

// What the platform layer logs while the updater runs is in the updater's
// log, not only on stderr; once it has exited, no longer.
TEST(InstanceBlockTest, PlatformLinesGoToTheUpdaterLogWhileItRuns) {
  ScopedTempDir folder(ScopedTempDir::kAwkwardPrefix);
  CFileDownloadApp app;
  app.SetAppDir(folder.wideFolder());
  app.SetInstanceBlockName(BlockName());
  EXPECT_FALSE(app.InitInstance(L""));
  PlatformLog("platform line while running");
  app.ExitInstance();
  PlatformLog("platform line after exit");
  const std::string log = ReadWholeFile(folder.folder() + "Log/AppLog.log");
  EXPECT_NE(log.find("] platform line while running\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("platform line after exit"), std::string::npos) << log;
}

TEST(MsgTableTest, LanguagesAndRows) {
  EXPECT_TRUE(SelectLanguage(L"zh_CN"));
  EXPECT_EQ(std::wstring(GetMsg(MSG_OK)), L"确定");
  EXPECT_FALSE(SelectLanguage(L"fr_FR"));
  EXPECT_EQ(std::wstring(GetMsg(MSG_OK)), L"OK");
  EXPECT_EQ(std::wstring(GetMsg(21)), GetMsg(MSG_UNKNOWN_ERR));
  EXPECT_EQ(std::wstring(GetMsg(-1)), GetMsg(MSG_UNKNOWN_ERR));
}

}  // namespace
