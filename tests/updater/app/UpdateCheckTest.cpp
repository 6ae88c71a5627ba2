// The decisions before a download: result codes as the exit status keeps
// them, and fetched descriptions that must not be installed.
#include <gtest/gtest.h>

#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateCheck.h"
#include "UpdateResult.h"
#include "UpdateState.h"

namespace {

TEST(UpdateResultTest, NamesAndExitStatus) {
  EXPECT_STREQ(UpdateResultName(0), "URC_NO_ERR");
  EXPECT_STREQ(UpdateResultName(11), "URC_LOCAL_FILE_COPY_ERR");
  EXPECT_STREQ(UpdateResultName(12), "BUTT");
  EXPECT_STREQ(UpdateResultName(4242), "NewPID");
  EXPECT_FALSE(IsUpdateFailure(0));
  EXPECT_TRUE(IsUpdateFailure(1));
  EXPECT_TRUE(IsUpdateFailure(12));
  EXPECT_FALSE(IsUpdateFailure(4242)) << "a hand-over is no failure";
  EXPECT_EQ(UpdateExitStatus(-1), 255);
  EXPECT_EQ(UpdateExitStatus(5), 5);
  EXPECT_EQ(UpdateExitStatus(4242), kHandOverExitCode) << "a pid does not fit 8 bits";
}

struct DescriptionCase {
  const char* name;
  const char* text;
  bool installable;
};

const char kGood[] =
    "[VER]\nVer=1.0.0.2\nINIVer=2\n[MAIN_V2]\nStartCmd=%APPDIR%Corvane\nUpdateExe=CorvaneUpdate\n"
    "Job_1=dlfl;a.dll;3;0;;a.dll;3;;;\n";

const DescriptionCase kDescriptionCases[] = {
    {"Good", kGood, true},
    {"Garbage", "\x7F" "ELF not a description\n", false},
    {"NoVersion", "[VER]\nINIVer=2\n[MAIN_V2]\nStartCmd=x\n", false},
    {"VersionWordZero", "[VER]\nVer=0.0.0.0\n[MAIN]\nStartCmd=x\n", false},
    {"NoStartCmd", "[VER]\nVer=1.0.0.2\nINIVer=2\n[MAIN_V2]\nUpdateExe=CorvaneUpdate\n", false},
    {"StartCmdInOtherSection", "[VER]\nVer=1.0.0.2\nINIVer=2\n[MAIN]\nStartCmd=x\n", false},
    {"UpdaterOutsideTheFolder", "[VER]\nVer=1.0.0.2\n[MAIN]\nStartCmd=x\nUpdateExe=..\\..\\evil\n", false},
    {"UpdaterAbsolute", "[VER]\nVer=1.0.0.2\n[MAIN]\nStartCmd=x\nUpdateExe=/tmp/evil\n", false},
    // Staged below UpdateVer/, it would not find the program folder.
    {"UpdaterInSubfolder", "[VER]\nVer=1.0.0.2\n[MAIN]\nStartCmd=x\nUpdateExe=bin\\CorvaneUpdate\n", false},
};

class ServerDescriptionTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(ServerDescriptionTest, InstallableOnlyWhenSound) {
  ScopedTempDir folder{ScopedTempDir::kAwkwardPrefix};
  ASSERT_TRUE(folder.ok());
  folder.put("UpdateInfo.ini", kGood);
  folder.put("UpdateVer/UpdateInfo.ini", GetParam().text);
  SUpdateState state;
  state.SetFolders(folder.wideFolder(), folder.wideFolder() + L"CorvaneUpdate");
  state.destVer = L"1.0.0.2";
  CUpdateCheck check(state);
  check.InitUpdate();
  EXPECT_EQ(check.CalculateUpdateFigerFile(), GetParam().installable);
}

INSTANTIATE_TEST_SUITE_P(Fetched, ServerDescriptionTest, ::testing::ValuesIn(kDescriptionCases), RowName());

// Same version: OnlyStartMeet starts the client without a check; else all
// current means nothing to fetch, and one stale file means a download.
struct LocalCase {
  const char* name;
  const char* userCfg;
  bool staleFile;
  const wchar_t* destVer;
  bool done;
};

const LocalCase kLocalCases[] = {
    {"SameAndCurrent", "", false, L"1.0.0.2", true},
    {"SameButStale", "", true, L"1.0.0.2", false},
    {"OnlyStartMeet", "[CFG]\nOnlyStartMeet=1\n", true, L"1.0.0.2", true},
    {"NoUpdateListCountsAsCurrent", "[CFG]\nnoupdateFiles=a.dll;\n", true, L"1.0.0.2", true},
    {"NewerTarget", "[CFG]\nOnlyStartMeet=1\n", false, L"1.0.0.3", false},
};

class CheckLocalTest : public ::testing::TestWithParam<LocalCase> {};

TEST_P(CheckLocalTest, DecidesWhetherToFetch) {
  ScopedTempDir folder{ScopedTempDir::kAwkwardPrefix};
  ASSERT_TRUE(folder.ok());
  folder.put("UpdateInfo.ini", kGood);
  folder.put("a.dll", GetParam().staleFile ? "abcd" : "abc");
  folder.put("UserCfg.ini", GetParam().userCfg);
  SUpdateState state;
  state.SetFolders(folder.wideFolder(), folder.wideFolder() + L"CorvaneUpdate");
  state.destVer = GetParam().destVer;
  CUpdateCheck check(state);
  check.InitUpdate();
  bool done = !GetParam().done;
  EXPECT_EQ(check.CheckLocal(&done), 0);
  EXPECT_EQ(done, GetParam().done);
  CFingerFile::SetNoUpdateFiles(L"");
}

INSTANTIATE_TEST_SUITE_P(Versions, CheckLocalTest, ::testing::ValuesIn(kLocalCases), RowName());

}  // namespace
