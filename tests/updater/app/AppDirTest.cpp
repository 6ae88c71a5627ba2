#include <gtest/gtest.h>

#include <platform/Kernel.h>

#include <string>
#include <vector>

#include "UpdaterAppDir.h"
#include "RowName.h"

namespace {

struct AppDirCase {
  const char* name;
  const wchar_t* exe;
  const wchar_t* folder;
};

const AppDirCase kAppDirCases[] = {
    {"ProgramFolder", L"/opt/Corvane Ä/CorvaneUpdate", L"/opt/Corvane Ä/"},
    {"StagingFolder", L"/opt/Corvane Ä/UpdateVer/CorvaneUpdate", L"/opt/Corvane Ä/"},
    {"OnlyTheLastStagingLevel", L"/opt/UpdateVer/UpdateVer/CorvaneUpdate", L"/opt/UpdateVer/"},
    {"StagingCaseMatters", L"/opt/updatever/CorvaneUpdate", L"/opt/updatever/"},
    {"LongerNameIsNotStaging", L"/opt/OldUpdateVer2/CorvaneUpdate", L"/opt/OldUpdateVer2/"},
    {"SuffixOfAName", L"/opt/MyUpdateVer/CorvaneUpdate", L"/opt/MyUpdateVer/"},
    {"Root", L"/CorvaneUpdate", L"/"},
    {"NoFolder", L"CorvaneUpdate", L""},
};

class AppDirTest : public ::testing::TestWithParam<AppDirCase> {};

TEST_P(AppDirTest, FolderOfTheExecutable) { EXPECT_EQ(ProgramFolderOfExe(GetParam().exe), GetParam().folder); }

INSTANTIATE_TEST_SUITE_P(Paths, AppDirTest, ::testing::ValuesIn(kAppDirCases), RowName());

TEST(AppDir, RunningExecutablesFolder) {
  std::vector<wchar_t> path(4096, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  ASSERT_GT(n, 0u);
  const std::wstring exe(path.data(), n);
  EXPECT_EQ(GetUpdaterAppDir(), exe.substr(0, exe.rfind(L'/') + 1));
}

}  // namespace
