// Run options taken off a description's command, and commands run from a
// description: /DOWHENEXIST, a WAIT_ event, the exit code passed back.
#include <gtest/gtest.h>

#include <platform/Strings.h>

#include "FWUpdateIni.h"
#include "LocalInstall.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateState.h"

namespace {

struct OptionCase {
  const char* name;
  const wchar_t* command;
  const wchar_t* rest;
  bool admin;
  const wchar_t* waitMode;
  bool doWhenExist;
};

const OptionCase kOptionCases[] = {
    {"Plain", L"x.exe -a", L"x.exe -a", false, L"WAITEXIT", false},
    {"WaitIdle", L"%APPDIR%Corvane.exe -do=stop /WAITIDLE", L"%APPDIR%Corvane.exe -do=stop", false, L"WAITIDLE",
     false},
    {"WaitEvent", L"x.exe /WAIT_Ready", L"x.exe", false, L"WAIT_Ready", false},
    {"WaitEventThenArgs", L"x.exe /WAIT_Ready -b", L"x.exe -b", false, L"WAIT_Ready", false},
    {"BareWait", L"x.exe /WAIT", L"x.exe", false, L"WAIT", false},
    {"DoWhenExist", L"x.exe /DOWHENEXIST", L"x.exe", false, L"WAITEXIT", true},
    {"Admin", L"x.exe /ADMIN -c /ADMIN", L"x.exe -c", true, L"WAITEXIT", false},
    {"AllTogether", L"x.exe /ADMIN /WAIT_Go /DOWHENEXIST", L"x.exe", true, L"WAIT_Go", true},
    {"SecondWaitIdle", L"x.exe /WAIT_A /WAITIDLE", L"x.exe", false, L"WAITIDLE", false},
    {"OptionAtTheStartIsNone", L" /WAITIDLE", L" /WAITIDLE", false, L"WAITEXIT", false},
    {"CaseSensitive", L"x.exe /waitidle", L"x.exe /waitidle", false, L"WAITEXIT", false},
};

class RunOptionsTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(RunOptionsTest, Parse) {
  const OptionCase& c = GetParam();
  std::wstring command = c.command;
  SRunOptions options;
  options.admin = !c.admin;  // poisoned: the parse must set every field
  options.doWhenExist = !c.doWhenExist;
  CLocalInstall::ParseRunOptions(command, options);
  EXPECT_EQ(WideToUtf8(command), WideToUtf8(c.rest));
  EXPECT_EQ(options.admin, c.admin);
  EXPECT_EQ(WideToUtf8(options.waitMode), WideToUtf8(c.waitMode));
  EXPECT_EQ(options.doWhenExist, c.doWhenExist);
}

INSTANTIATE_TEST_SUITE_P(Commands, RunOptionsTest, ::testing::ValuesIn(kOptionCases), RowName());

class RunCmdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    state_.SetFolders(folder_.wideFolder(), folder_.wideFolder() + L"CorvaneUpdate");
  }
  int Run(const std::string& command, bool required = false) {
    folder_.put("cmd.ini", "[S]\nCmd=" + command + "\n");
    CFWUpdateIni ini;
    ini.SetFile(folder_.wideFolder() + L"cmd.ini");
    CLocalInstall install(state_, nullptr);
    return install.RunCmd(ini, L"S", L"Cmd", required);
  }
  ScopedTempDir folder_{ScopedTempDir::kAwkwardPrefix};
  SUpdateState state_;
};

TEST_F(RunCmdTest, ExitCodeComesBack) {
  EXPECT_EQ(Run("/bin/sh -c \"exit 7\""), 7);
  EXPECT_EQ(Run("  /bin/true  "), 0) << "trimmed";
}

TEST_F(RunCmdTest, EmptyCommandRunsNothingUnlessRequired) {
  EXPECT_EQ(Run(""), 0);
  EXPECT_NE(Run("", true), 0) << "a required command that is empty cannot start";
}

TEST_F(RunCmdTest, DoWhenExistSkipsAMissingProgram) {
  EXPECT_EQ(Run("%APPDIR%missing.exe -x /DOWHENEXIST"), 0);
  EXPECT_EQ(Run("/bin/sh -c \"exit 5\" /DOWHENEXIST"), 5) << "an existing program runs";
}

TEST_F(RunCmdTest, MissingProgramGivesTheStartError) {
  EXPECT_EQ(Run("%APPDIR%missing.exe"), 2) << "ERROR_FILE_NOT_FOUND";
}

TEST_F(RunCmdTest, WaitIdleDoesNotWaitForTheEnd) {
  // The idle wait returns before the program ends, so its exit code is never seen.
  EXPECT_EQ(Run("/bin/sh -c \"sleep 1; exit 9\" /WAITIDLE"), 0);
}

}  // namespace
