// The parsers' text helpers and the version word.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "StrHelpers.h"
#include "Version.h"
#include "RowName.h"

namespace {

struct FieldCase {
  const char* name;
  const wchar_t* text;
  int index;
  bool found;
  std::wstring field;
};

const FieldCase kFields[] = {
    {"First", L"a;b;", 0, true, L"a"},
    {"Second", L"a;b;", 1, true, L"b"},
    {"AfterTrailingSeparator", L"a;b;", 2, false, L""},
    {"EmptyBetweenTwo", L"a;;b", 1, true, L""},
    {"LastWithoutSeparator", L"a;;b", 2, true, L"b"},
    {"BeyondTheEnd", L"a;;b", 3, false, L""},
    {"EmptyText", L"", 0, true, L""},
    {"EmptyTextSecond", L"", 1, false, L""},
    {"OnlySeparator", L";", 0, true, L""},
    {"OnlySeparatorSecond", L";", 1, false, L""},
};

class ExtractSubStrTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ExtractSubStrTest, Field) {
  std::wstring field = L"poisoned";
  EXPECT_EQ(ExtractSubStr(GetParam().text, GetParam().index, L';', field), GetParam().found);
  EXPECT_EQ(field, GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(Texts, ExtractSubStrTest, ::testing::ValuesIn(kFields), RowName());

TEST(ExtractSubStr, NullTextLeavesTheOutput) {
  std::wstring field = L"kept";
  EXPECT_FALSE(ExtractSubStr(nullptr, 0, L';', field));
  EXPECT_EQ(field, L"kept");
}

TEST(ExtractVerField, Forms) {
  std::wstring version = L"poisoned";
  ExtractVerField(version, L"x-1.2.3.4-y;z");
  EXPECT_EQ(version, L"1.2.3.4");
  ExtractVerField(version, L"1.2.3.4;z");
  EXPECT_EQ(version, L"1.2.3.4");
  ExtractVerField(version, L"x-1.2.3.4");
  EXPECT_EQ(version, L"1.2.3.4");
  ExtractVerField(version, L"x-");
  EXPECT_EQ(version, L"") << "nothing after the first '-'";
}

TEST(FormatBounded, CutsAndTerminates) {
  wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(FormatBounded(buffer, 4, L"%ls", L"0123456789"), 3);
  EXPECT_EQ(std::wstring(buffer), L"012");
  EXPECT_EQ(FormatBounded(buffer, 4, L"%ls", L""), 0);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(FormatBounded(buffer, 0, L"%d", 5), 0);
  EXPECT_EQ(FormatBounded(buffer, 4, L"%d", 12), 2);
  EXPECT_EQ(std::wstring(buffer), L"12");
  wchar_t large[600];
  EXPECT_EQ(FormatBounded(large, 600, L"%0500d", 1), 500) << "longer than the first scratch buffer";
}

TEST(StrCopyN, Bounds) {
  wchar_t buffer[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(StrCopyN(buffer, L"abcdef", 4), 3u);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  EXPECT_EQ(StrCopyN(buffer, L"", 4), 0u);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(StrCopyN(buffer, L"x", 0), 0u);
}

TEST(SplitString, EmptyPiecesOnRequest) {
  std::vector<std::string> pieces = {"stale"};
  EXPECT_EQ(SplitString(pieces, "a,,b,", ',', true), 4);
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitString(pieces, "a,,b,", ',', false), 2);
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitString(pieces, "", ',', false), 0);
}

TEST(FindStrIndex, CaseSensitive) {
  const wchar_t* const table[] = {L"DOWNFILE", L"DELFILE", L"CHECKFILE"};
  EXPECT_EQ(FindStrIndex(L"DELFILE", table, 3), 1);
  EXPECT_EQ(FindStrIndex(L"delfile", table, 3), 3);
}

TEST(HexEncode, UpperCaseHighNibbleFirst) {
  const unsigned char bytes[] = {0x00, 0x9f, 0xa0, 0xff};
  wchar_t out[9] = {};
  EXPECT_EQ(HexEncode(bytes, 4, out), 8u);
  EXPECT_EQ(std::wstring(out), L"009FA0FF");
}

TEST(AnsiToUtf8, IllFormedBytesBecomeReplacements) {
  std::string out;
  AnsiToUtf8("a\xff" "b", 3, out);
  EXPECT_EQ(out, "a\xef\xbf\xbd" "b");
  AnsiToUtf8("\xc3\xa9", 2, out);
  EXPECT_EQ(out, "\xc3\xa9");
}

struct VersionCase {
  const char* name;
  std::wstring text;
  uint32_t value;
};

const VersionCase kVersions[] = {
    {"Full", L"2.1.0.5", 0x02010005u},
    {"TwoParts", L"2.1", 0x02010000u},
    {"PartAbove255", L"1.2.300.4", 0x01022C04u},
    {"LeadingZero", L"2.01.0.5", 0x02010005u},
    {"NoNumber", L"v2.1", 0u},
    {"Empty", L"", 0u},
    {"TrailingText", L"1.2.3.4-beta", 0x01020304u},
};

class SVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(SVersionTest, PackedValue) {
  const SVersion version(GetParam().text);
  EXPECT_EQ(version.value, GetParam().value);
  EXPECT_EQ(version.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, SVersionTest, ::testing::ValuesIn(kVersions), RowName());

TEST(SVersion, EqualByValue) {
  EXPECT_TRUE(SVersion(L"2.1.0.5") == SVersion(L"2.01.0.5"));
  EXPECT_FALSE(SVersion(L"2.1.0.5") == SVersion(L"2.1.0.6"));
}

}  // namespace
