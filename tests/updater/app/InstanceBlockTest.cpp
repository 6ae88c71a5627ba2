// The instance block: an updater that starts ends the one recorded there and
// records itself; its exit clears the record. A child process stands in for
// the older updater, under a block name of the test's own.
#include <gtest/gtest.h>

#include <platform/Kernel.h>

#include <string>

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

TEST(InstanceBlockTest, SecondUpdaterEndsTheFirst) {
  HANDLE child = nullptr;
  DWORD pid = 0;
  ASSERT_EQ(RunProcess(L"/bin/sleep 30", SW_SHOW, &child, &pid), 0u);
  CNamedShareMem older;
  ASSERT_EQ(older.open(BlockName(), 256), 0u);
  *older.data() = static_cast<int>(pid);

  ScopedTempDir folder{ScopedTempDir::kAwkwardPrefix};
  CFileDownloadApp app;
  app.SetAppDir(folder.wideFolder());
  app.SetInstanceBlockName(BlockName());
  ASSERT_TRUE(app.StopOtherInstance());
  EXPECT_EQ(WaitForSingleObject(child, 5000), WAIT_OBJECT_0) << "the recorded updater was ended";
  EXPECT_EQ(*older.data(), static_cast<int>(GetCurrentProcessId()));
  app.ExitInstance();
  EXPECT_EQ(*older.data(), 0) << "exit clears our own record";
  CloseHandle(child);
}

TEST(InstanceBlockTest, VanishedPidIsLoggedAndStartGoesOn) {
  HANDLE child = nullptr;
  DWORD pid = 0;
  ASSERT_EQ(RunProcess(L"/bin/true", SW_SHOW, &child, &pid), 0u);
  ASSERT_EQ(WaitForSingleObject(child, 5000), WAIT_OBJECT_0);
  CloseHandle(child);
  CNamedShareMem older;
  ASSERT_EQ(older.open(BlockName(), 256), 0u);
  *older.data() = static_cast<int>(pid);
  CFileDownloadApp app;
  app.SetInstanceBlockName(BlockName());
  EXPECT_TRUE(app.StopOtherInstance());
  EXPECT_EQ(*older.data(), static_cast<int>(GetCurrentProcessId()));
  app.ExitInstance();
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

TEST(MsgTableTest, LanguagesAndRows) {
  EXPECT_TRUE(SelectLanguage(L"zh_CN"));
  EXPECT_EQ(std::wstring(GetMsg(MSG_OK)), L"确定");
  EXPECT_FALSE(SelectLanguage(L"fr_FR"));
  EXPECT_EQ(std::wstring(GetMsg(MSG_OK)), L"OK");
  EXPECT_EQ(std::wstring(GetMsg(21)), GetMsg(MSG_UNKNOWN_ERR));
  EXPECT_EQ(std::wstring(GetMsg(-1)), GetMsg(MSG_UNKNOWN_ERR));
}

}  // namespace
