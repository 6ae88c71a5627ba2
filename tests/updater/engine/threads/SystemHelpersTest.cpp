#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "ScopedTempDir.h"
#include "SystemHelpers.h"

namespace {

namespace fs = std::filesystem;

std::wstring OwnPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length);
}

TEST(GetFileVersion, ReadsOurOwnVersionRecord) {
  std::wstring version = L"stale";
  ASSERT_TRUE(GetFileVersion(OwnPath(), version));
  std::string expected = ENGINE_TEST_VERSION;
  while (std::count(expected.begin(), expected.end(), '.') < 3) expected += ".0";
  EXPECT_EQ(WideToUtf8(version), expected);
}

TEST(GetFileVersion, FilesWithoutARecordGiveFalseAndNothing) {
  ScopedTempDir folder{"no-version"};
  const fs::path text = folder.path() / "text";
  std::ofstream(text) << "not a program";
  for (const std::wstring& path : {Utf8ToWide(text.string()), std::wstring(L"/nonexistent/file")}) {
    std::wstring version = L"stale";
    EXPECT_FALSE(GetFileVersion(path, version));
    EXPECT_EQ(version, L"");
  }
}

TEST(TimeTexts, UnixTimeInLocalTime) {
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  std::wstring text;
  FormatUnixTime(text, 0);
  EXPECT_EQ(text, L"1970-01-01 00:00:00");
  FormatUnixTime(text, 1700000000);
  EXPECT_EQ(text, L"2023-11-14 22:13:20");
  if (oldTz) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  GetLocalTimeText(text);
  ASSERT_EQ(text.size(), 19u);
  EXPECT_EQ(text[4], L'-');
  EXPECT_EQ(text[10], L' ');
  EXPECT_EQ(text[13], L':');
}

TEST(CreateUuidText, ThirtySixLowerCaseCharactersEachTimeNew) {
  std::wstring first, second;
  CreateUuidText(first);
  CreateUuidText(second);
  ASSERT_EQ(first.size(), 36u);
  for (size_t at : {8u, 13u, 18u, 23u}) EXPECT_EQ(first[at], L'-');
  EXPECT_EQ(first.find_first_not_of(L"0123456789abcdef-"), std::wstring::npos);
  EXPECT_NE(first, second);
}

TEST(LoadResString, TheTableIsBuiltIn) {
  std::wstring text = L"stale";
  LoadResString(text, 1000);
  EXPECT_EQ(text, L"PELLORAN_UPDATE_MEM");
  LoadResString(text, 999);
  EXPECT_EQ(text, L"");
}

TEST(IniReadString, ReadsValuesWithinTheBuffer) {
  ScopedTempDir folder{"engine"};
  const fs::path ini = folder.path() / "engine.ini";
  std::ofstream(ini) << "[Update]\nServer=http://127.0.0.1/x\n";
  const std::wstring file = Utf8ToWide(ini.string());
  EXPECT_EQ(IniReadString(L"Update", L"Server", L"", 256, file.c_str()), L"http://127.0.0.1/x");
  EXPECT_EQ(IniReadString(L"Update", L"Missing", L"dflt", 256, file.c_str()), L"dflt");
  EXPECT_EQ(IniReadString(L"Update", L"Server", L"", 5, file.c_str()), L"http");
  EXPECT_EQ(IniReadString(L"Update", L"Server", L"", 0, file.c_str()), L"");
}

}  // namespace
