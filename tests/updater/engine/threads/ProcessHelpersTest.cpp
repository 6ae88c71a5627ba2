#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Threads.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ProcessHelpers.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

namespace fs = std::filesystem;

std::wstring Quoted(const std::string& text) { return L"\"" + Utf8ToWide(text) + L"\""; }

struct SplitCase {
  const char* name;
  const wchar_t* command;
  bool ok;
  const wchar_t* program;
  const wchar_t* arguments;
};

class SplitCmdLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCmdLineTest, SplitsProgramFromArguments) {
  std::wstring program = L"stale", arguments = L"stale";  // must be emptied
  EXPECT_EQ(SplitCmdLine(GetParam().command, program, arguments), GetParam().ok);
  EXPECT_EQ(program, GetParam().program);
  EXPECT_EQ(arguments, GetParam().arguments);
}

const SplitCase kSplits[] = {
    {"QuotedPathWithSpace", L"\"/opt/my app/run\"   -x", true, L"/opt/my app/run", L"-x"},
    {"QuotedNoArguments", L"\"/opt/my app/run\"", true, L"/opt/my app/run", L""},
    {"NoSpaces", L"/bin/run", true, L"/bin/run", L""},
    {"PlainWithArguments", L"/bin/run  a b", true, L"/bin/run", L"a b"},
    {"UnclosedQuote", L"\"/opt/my app/run -x", false, L"", L""},
    {"Empty", L"", true, L"", L""},
};
INSTANTIATE_TEST_SUITE_P(Commands, SplitCmdLineTest, ::testing::ValuesIn(kSplits), RowName());

struct WaitModeCase {
  const char* name;
  const wchar_t* keyword;
  int mode;
  const wchar_t* eventName;
};

class ParseWaitModeTest : public ::testing::TestWithParam<WaitModeCase> {};

TEST_P(ParseWaitModeTest, KeywordGivesMode) {
  SWaitMode wait;
  wait.mode = -1;
  wait.eventName = L"stale";
  ParseWaitMode(GetParam().keyword, wait);
  EXPECT_EQ(wait.mode, GetParam().mode);
  EXPECT_EQ(wait.eventName, GetParam().eventName);
}

const WaitModeCase kWaitModes[] = {
    {"Null", nullptr, WAITEXIT, L""},         {"WaitExit", L"WAITEXIT", WAITEXIT, L""},
    {"WaitIdle", L"WAITIDLE", WAITIDLE, L""}, {"Event", L"WAIT_Done", WAIT_EVENT, L"Done"},
    {"LowerCase", L"waitexit", WAIT_NONE, L""}, {"Empty", L"", WAIT_NONE, L""},
    {"BareWait", L"WAIT", WAIT_NONE, L""},
};
INSTANTIATE_TEST_SUITE_P(Keywords, ParseWaitModeTest, ::testing::ValuesIn(kWaitModes), RowName());

class RunProcessWaitTest : public ::testing::Test {
 protected:
  std::wstring Child(const std::wstring& args) const { return Quoted(KERNEL_PROCESS_CHILD) + L" " + args; }
  std::wstring EventName() const { return L"engine-wait-" + std::to_wstring(GetCurrentProcessId()); }
};

TEST_F(RunProcessWaitTest, WaitExitGivesTheExitCode) {
  for (const wchar_t* keyword : {static_cast<const wchar_t*>(nullptr), L"WAITEXIT"}) {
    DWORD code = 99;
    EXPECT_EQ(RunProcessWait(code, Child(L"exit 7"), SW_HIDE, false, keyword), 0u);
    EXPECT_EQ(code, 7u);
  }
}

TEST_F(RunProcessWaitTest, OtherModesReturnZeroWithoutTheExitCode) {
  for (const wchar_t* keyword : {L"WAITIDLE", L"WAIT", L""}) {
    DWORD code = 99;
    EXPECT_EQ(RunProcessWait(code, Child(L"exit 7"), SW_HIDE, false, keyword), 0u);
    EXPECT_EQ(code, 0u);
  }
}

TEST_F(RunProcessWaitTest, ProgramEndingBeforeTheEventGivesAborted) {
  const std::wstring keyword = L"WAIT_" + EventName();
  DWORD code = 99;
  EXPECT_EQ(RunProcessWait(code, Child(L"exit 0"), SW_HIDE, false, keyword.c_str()), ERROR_OPERATION_ABORTED);
}

// The peer sets the event, then holds it until its stdin ends: a pipe whose
// write end this test keeps, so the peer runs on after RunProcessWait returns.
TEST_F(RunProcessWaitTest, EventSetFirstReturnsZeroAndLeavesTheProgramRunning) {
  const std::wstring name = EventName() + L"-set";
  const std::wstring keyword = L"WAIT_" + name;
  int stdinPipe[2];
  ASSERT_EQ(pipe(stdinPipe), 0);
  const int savedStdin = dup(STDIN_FILENO);
  dup2(stdinPipe[0], STDIN_FILENO);
  close(stdinPipe[0]);
  DWORD code = 99;
  const DWORD result =
      RunProcessWait(code, Quoted(NAMED_OBJECT_PEER) + L" event " + name + L" 1 1", SW_HIDE, false, keyword.c_str());
  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(code, 0u);
  // Only the peer holds the event now.
  HANDLE held = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
  EXPECT_NE(held, nullptr) << "the peer did not keep running";
  if (held) CloseHandle(held);
  close(stdinPipe[1]);
  HANDLE gone = nullptr;
  for (int i = 0; i < 2000; ++i) {
    gone = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (!gone) break;
    CloseHandle(gone);
    Sleep(5);
  }
  EXPECT_EQ(gone, nullptr) << "the peer did not end with its stdin";
}

TEST_F(RunProcessWaitTest, ElevationStartsTheProgramUnelevated) {
  DWORD code = 99;
  EXPECT_EQ(RunProcessWait(code, Child(L"exit 4"), SW_HIDE, true, L"WAITEXIT"), 0u);
  EXPECT_EQ(code, 4u);
}

TEST_F(RunProcessWaitTest, QuotedPathsWithSpacesRunWithAndWithoutElevation) {
  ScopedTempDir folder{"engine proc"};
  ASSERT_TRUE(folder.ok());
  const fs::path program = folder.path() / "child prog";
  fs::copy_file(KERNEL_PROCESS_CHILD, program, fs::copy_options::overwrite_existing);
  for (bool elevate : {false, true}) {
    DWORD code = 99;
    EXPECT_EQ(RunProcessWait(code, Quoted(program.string()) + L"   exit 5", SW_SHOW, elevate, L"WAITEXIT"), 0u);
    EXPECT_EQ(code, 5u) << "elevate " << elevate;
  }
}

TEST_F(RunProcessWaitTest, StartErrorsAreReturned) {
  DWORD code = 99;
  EXPECT_EQ(RunProcessWait(code, L"/nonexistent/program -x", SW_HIDE, false, L"WAITEXIT"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RunProcessWait(code, L"\"/nonexistent/my program\" -x", SW_HIDE, true, nullptr), ERROR_FILE_NOT_FOUND);
  HANDLE process = reinterpret_cast<HANDLE>(1);
  EXPECT_EQ(RunProcess(L"/nonexistent/program", SW_HIDE, &process), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(process, nullptr);
}

TEST(IsVistaOrLater, TheReportedSystemIsNewer) { EXPECT_TRUE(IsVistaOrLater()); }

}  // namespace
