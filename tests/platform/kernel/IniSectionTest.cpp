// GetPrivateProfileSectionW over a pinned description file, and StrToIntW.
// Which lines come back decides which update descriptions load: the finger
// processor fails on an entry without '='.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/ShlwApi.h>
#include <platform/Strings.h>

#include <string>
#include <vector>
#include "RowName.h"

namespace {

const std::string kSectionFile = std::string(KERNEL_TEST_DATA) + "/section.ini";

// The raw characters up to and with the two closing nulls; '#' poisons the rest.
std::wstring RawSection(const wchar_t* section, DWORD size, DWORD* returned, const std::string& path = kSectionFile) {
  std::vector<wchar_t> buffer(size + 4, L'#');
  *returned = GetPrivateProfileSectionW(section, buffer.data(), size, Utf8ToWide(path).c_str());
  return std::wstring(buffer.data(), std::min<size_t>(*returned + 3, buffer.size()));
}

std::vector<std::wstring> Entries(const wchar_t* section) {
  std::vector<wchar_t> buffer(8192, L'#');
  GetPrivateProfileSectionW(section, buffer.data(), 8192, Utf8ToWide(kSectionFile).c_str());
  std::vector<std::wstring> entries;
  for (const wchar_t* p = buffer.data(); *p; p += entries.back().size() + 1) entries.emplace_back(p);
  return entries;
}

TEST(IniSection, EveryLineOfTheFirstSectionInFileOrder) {
  const std::vector<std::wstring> expected = {
      L"Job_1=dlfl;a.dll;1024;1700000000;;a.dll;-1;MD5;0123abcd",
      L"Job_2=dlfl;b.dll;0;0;;b.dll;;;;",
      L"Job_1=rmfl;old.dll;:err",  // a duplicate key comes back too
      L"a line without an equals sign",
      L"=value without a key",
      L"Quoted=  kept  ",  // as GetPrivateProfileStringW reads the value
      L"Job_3=sub;module",
  };
  EXPECT_EQ(Entries(L"MAIN_V2"), expected);
  // The later [main_v2] is the same name and is never reached.
  EXPECT_EQ(Entries(L"main_v2"), expected);
  EXPECT_EQ(Entries(L"Other"), std::vector<std::wstring>{L"k=v"});
}

TEST(IniSection, MissingSectionOrFileIsAnEmptyList) {
  DWORD returned = 99;
  EXPECT_EQ(RawSection(L"Nope", 100, &returned), std::wstring(L"\0\0#", 3));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(RawSection(L"MAIN_V2", 100, &returned, kSectionFile + ".missing"), std::wstring(L"\0\0#", 3));
  EXPECT_EQ(returned, 0u);
}

TEST(IniSection, ListIsCutToTheBufferAndStillEndsInTwoNulls) {
  struct Case {
    DWORD size;
    DWORD returned;
    std::wstring text;
  };
  const Case cases[] = {
      {100, 4, std::wstring(L"k=v\0\0##", 7)},
      {5, 4, std::wstring(L"k=v\0\0##", 7)},
      {4, 2, std::wstring(L"k=\0\0#", 5)},
      {2, 0, std::wstring(L"\0\0#", 3)},
      {1, 0, std::wstring(L"\0##", 3)},
  };
  for (const Case& c : cases) {
    DWORD returned = 99;
    EXPECT_EQ(RawSection(L"Other", c.size, &returned), c.text) << "size " << c.size;
    EXPECT_EQ(returned, c.returned) << "size " << c.size;
  }
  wchar_t untouched = L'#';
  EXPECT_EQ(GetPrivateProfileSectionW(L"Other", &untouched, 0, Utf8ToWide(kSectionFile).c_str()), 0u);
  EXPECT_EQ(untouched, L'#');
}

struct IntCase {
  const char* name;
  const wchar_t* text;
  int value;
};

const IntCase kIntCases[] = {
    {"Digits", L"1024", 1024},
    {"Negative", L"-1", -1},
    {"Plus", L"+7", 7},
    {"LeadingDigitsTaken", L"12abc", 12},
    {"NonNumeric", L"x", 0},
    {"Empty", L"", 0},
    {"Null", nullptr, 0},
    {"SignAlone", L"-", 0},
    {"TwoSigns", L"--5", 0},
    {"LeadingBlankStops", L" 5", 0},
    {"DecimalPointStops", L"3.9", 3},
    {"Largest", L"2147483647", 2147483647},
    {"WrapsPast32Bits", L"4294967297", 1},
};

class StrToInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(StrToInt, Converts) { EXPECT_EQ(StrToIntW(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(Texts, StrToInt, ::testing::ValuesIn(kIntCases), RowName());

}  // namespace
