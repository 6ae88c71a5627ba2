// The update description reader: variables, the version section, the choice
// of the main section and the main section's keys, over real files.
#include <gtest/gtest.h>

#include <platform/Kernel.h>

#include <string>

#include "FWUpdateIni.h"
#include "ScopedTempDir.h"
#include "UpdaterAppDir.h"
#include "RowName.h"

namespace {

class UpdateIniTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }
  // Loads the text as the description, with the command line as %ORGPARAM%.
  std::wstring Load(const std::string& text, const std::wstring& cmdLine = L"corvane:LVNQVkVS") {
    folder_.put("UpdateInfo.ini", text);
    return LoadUpdateIni(ini_, folder_.wideFolder() + L"UpdateInfo.ini", cmdLine);
  }

  ScopedTempDir folder_{ScopedTempDir::kAwkwardPrefix};
  CFWUpdateIni ini_;
};

struct MainSectionCase {
  const char* name;
  const char* ver;  // the VER section's lines
  const wchar_t* section;
};

const MainSectionCase kMainSectionCases[] = {
    {"NoIniVer", "Ver=1.0.0.1\n", L"MAIN"},
    {"IniVer1", "INIVer=1\n", L"MAIN"},
    {"IniVer2", "INIVer=2\n", L"MAIN_V2"},
    {"IniVer3", "INIVer=3\n", L"MAIN_V3"},
    {"NonNumeric", "INIVer=two\n", L"MAIN"},
    {"Negative", "INIVer=-3\n", L"MAIN"},
    {"LeadingDigits", "INIVer=4b\n", L"MAIN_V4"},
    {"Empty", "INIVer=\n", L"MAIN"},
};

class MainSectionTest : public UpdateIniTest, public ::testing::WithParamInterface<MainSectionCase> {};

TEST_P(MainSectionTest, FollowsIniVerOfTheSameFile) {
  Load(std::string("[VER]\n") + GetParam().ver);
  EXPECT_EQ(GetMainSection(ini_), GetParam().section);
}

INSTANTIATE_TEST_SUITE_P(IniVer, MainSectionTest, ::testing::ValuesIn(kMainSectionCases), RowName());

TEST_F(UpdateIniTest, VersionOfTheLoadedCopy) {
  EXPECT_EQ(Load("[VER]\nVer=2.1.0.5\nINIVer=2\n"), L"2.1.0.5");
  EXPECT_EQ(Load("[VER]\nINIVer=2\n"), L"0.0.0");
}

TEST_F(UpdateIniTest, MissingFileReadsAsEmpty) {
  EXPECT_EQ(LoadUpdateIni(ini_, folder_.wideFolder() + L"nope.ini", L""), L"0.0.0");
  EXPECT_EQ(ini_.GetInt(L"VER", L"INIVer"), 0);
  EXPECT_EQ(GetMainSection(ini_), L"MAIN");
  EXPECT_EQ(GetUpdateExe(ini_), L"Tessarel.exe");
  EXPECT_EQ(GetCommand(ini_, L"MAIN", L"StopCmd"), L"");
  SIniSection section;
  EXPECT_FALSE(ini_.GetSection(L"MAIN", section));
}

TEST_F(UpdateIniTest, VariablesExpandEverywhereInAValue) {
  Load("[MAIN]\n"
       "StartCmd=\"%APPDIR%Corvane\" -do=start %ORGPARAM%\n"
       "Twice=%APPDIR%a;%APPDIR%b\n"
       "Lower=%appdir%x\n"
       "%APPDIR%key=value\n");
  const std::wstring appDir = GetUpdaterAppDir();
  ASSERT_FALSE(appDir.empty());
  EXPECT_EQ(ini_.GetString(L"MAIN", L"StartCmd", nullptr, 512), L"\"" + appDir + L"Corvane\" -do=start corvane:LVNQVkVS");
  EXPECT_EQ(ini_.GetString(L"MAIN", L"Twice", nullptr, 512), appDir + L"a;" + appDir + L"b");
  EXPECT_EQ(ini_.GetString(L"MAIN", L"Lower", nullptr, 512), L"%appdir%x");
  EXPECT_EQ(ini_.GetString(L"MAIN", L"Nope", L"%APPDIR%", 512), appDir) << "a default is expanded too";

  SIniSection section;
  ASSERT_TRUE(ini_.GetSection(L"MAIN", section));
  ASSERT_EQ(section.values.size(), 4u);
  EXPECT_EQ(section.values[1].second, appDir + L"a;" + appDir + L"b");
  EXPECT_EQ(section.values[3].first, L"%APPDIR%key") << "keys are never expanded";
}

TEST_F(UpdateIniTest, LaterVariableBroughtInByAReplacementIsReplaced) {
  Load("[MAIN]\nA=%APPDIR%\nB=%ORGPARAM%\n");
  ini_.SetVar(L"%APPDIR%", L"/x/%ORGPARAM%/");
  ini_.SetVar(L"%ORGPARAM%", L"<%APPDIR%>");
  // %APPDIR% sorts first: its value brings in %ORGPARAM%, which is replaced;
  // %ORGPARAM%'s value brings in %APPDIR% after its turn, which stays.
  EXPECT_EQ(ini_.GetString(L"MAIN", L"A", nullptr, 512), L"/x/<%APPDIR%>/");
  EXPECT_EQ(ini_.GetString(L"MAIN", L"B", nullptr, 512), L"<%APPDIR%>");
  // A value holding its own name is not scanned again: no endless growth.
  ini_.SetVar(L"%ORGPARAM%", L"%ORGPARAM%%ORGPARAM%");
  EXPECT_EQ(ini_.GetString(L"MAIN", L"B", nullptr, 512), L"%ORGPARAM%%ORGPARAM%");
}

TEST_F(UpdateIniTest, UpdateExeDefaultsAlsoWhenEmpty) {
  Load("[MAIN]\nUpdateExe=\n");
  EXPECT_EQ(GetUpdateExe(ini_), L"Tessarel.exe");
  Load("[VER]\nINIVer=2\n[MAIN]\nUpdateExe=Old\n[MAIN_V2]\nUpdateExe=CorvaneUpdate\n");
  EXPECT_EQ(GetUpdateExe(ini_), L"CorvaneUpdate");
}

TEST_F(UpdateIniTest, LongCommandIsCutTo511Characters) {
  const std::string command = "%APPDIR%" + std::string(592, 'c');
  Load("[MAIN]\nStartCmd=" + command + "\n");
  // The cut happens before expansion, on the text as written.
  const std::wstring expected = GetUpdaterAppDir() + std::wstring(511 - 8, L'c');
  EXPECT_EQ(GetCommand(ini_, L"MAIN", L"StartCmd"), expected);
}

TEST_F(UpdateIniTest, EntryWithoutEqualsFailsTheSection) {
  Load("[files]\nJob_1=dlfl;a\nJob_2=rmfl;b\nnot an entry\nJob_3=rmfl;c\n");
  SIniSection section;
  SetLastError(0);
  EXPECT_FALSE(ini_.GetSection(L"files", section));
  EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
  EXPECT_EQ(section.name, L"files");
  ASSERT_EQ(section.values.size(), 2u) << "pairs before the bad entry stay";
  EXPECT_EQ(section.values[1].first, L"Job_2");
  EXPECT_EQ(section.values[1].second, L"rmfl;b");
}

TEST_F(UpdateIniTest, SectionKeepsOrderDuplicatesAndEmptyParts) {
  Load("; comment\n[files]\n\n; why\nJob_1=dlfl;a\nJob_1=dlfl;again\nJob_2=\n=no key\n[Empty]\n");
  SIniSection section;
  ASSERT_TRUE(ini_.GetSection(L"FILES", section));
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"Job_1", L"dlfl;a"}, {L"Job_1", L"dlfl;again"}, {L"Job_2", L""}, {L"", L"no key"}};
  EXPECT_EQ(section.values, expected);
  section.values.emplace_back(L"stale", L"entry");
  EXPECT_TRUE(ini_.GetSection(L"Empty", section));
  EXPECT_TRUE(section.values.empty());
  EXPECT_TRUE(ini_.GetSection(L"Missing", section));
  EXPECT_TRUE(section.values.empty());
}

TEST_F(UpdateIniTest, ReplacedFileIsSeenByTheNextRead) {
  Load("[VER]\nVer=1.0.0.1\n");
  EXPECT_EQ(GetIniVersion(ini_), L"1.0.0.1");
  folder_.put("UpdateInfo.ini", "[VER]\nVer=1.0.0.2\n");
  EXPECT_EQ(GetIniVersion(ini_), L"1.0.0.2");
}

}  // namespace
