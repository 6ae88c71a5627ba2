#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Shell.h>
#include <platform/Strings.h>

#include <filesystem>
#include <string>
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

namespace fs = std::filesystem;

const DWORD kWaitMs = 10000;  // only a failing test reaches it

struct VerbCase {
  const char* name;
  const wchar_t* verb;
};

class ShellExecuteVerbTest : public ::testing::TestWithParam<VerbCase> {};

// "runas" has no elevation to ask for: the program runs all the same.
TEST_P(ShellExecuteVerbTest, StartsTheProgramWithItsParametersFromAPathWithSpaces) {
  ScopedTempDir folder{"shell exec"};
  ASSERT_TRUE(folder.ok());
  const fs::path program = folder.path() / "child program";
  fs::copy_file(KERNEL_PROCESS_CHILD, program, fs::copy_options::overwrite_existing);
  const std::wstring file = Utf8ToWide(program.string());
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = GetParam().verb;
  info.lpFile = file.c_str();
  info.lpParameters = L"exit 9";
  info.nShow = SW_SHOW;
  ASSERT_TRUE(ShellExecuteExW(&info)) << GetLastError();
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, kWaitMs), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 9u);
  CloseHandle(info.hProcess);
}

const VerbCase kVerbs[] = {{"RunAs", L"runas"}, {"Open", L"open"}, {"NoVerb", nullptr}};
INSTANTIATE_TEST_SUITE_P(Verbs, ShellExecuteVerbTest, ::testing::ValuesIn(kVerbs), RowName());

TEST(ShellExecute, FailuresSetTheError) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.lpVerb = L"runas";
  info.lpFile = L"/nonexistent/program";
  EXPECT_FALSE(ShellExecuteExW(&info));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(info.hProcess, nullptr);
  info.lpVerb = L"print";
  EXPECT_FALSE(ShellExecuteExW(&info));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  info.cbSize = 0;
  EXPECT_FALSE(ShellExecuteExW(&info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
