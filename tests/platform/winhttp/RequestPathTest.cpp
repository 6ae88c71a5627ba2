// What a request's object name becomes on the wire.
#include <gtest/gtest.h>

#include "RequestPath.h"
#include "RowName.h"

namespace {

struct PathRow {
  const char* name;
  const char* given;  // UTF-8
  const char* sent;
};

const PathRow kRows[] = {
    {"PlainPathStaysAsItIs", "/Update/Corvane/1.0.0.2/Win32/a-b_c.d~e", "/Update/Corvane/1.0.0.2/Win32/a-b_c.d~e"},
    {"SubDelimsAndColonStay", "/x/!$&'()*+,;=:@", "/x/!$&'()*+,;=:@"},
    {"Blank", "/Win32/read me.txt", "/Win32/read%20me.txt"},
    {"HashAndQuestionMarkArePartOfTheName", "/a#1?b", "/a%231%3Fb"},
    {"LonePercent", "/100%.txt", "/100%25.txt"},
    {"PercentWithOneHexDigit", "/a%4", "/a%254"},
    {"PercentWithNonHex", "/a%zz", "/a%25zz"},
    {"ValidEscapeStays", "/a%20b%2fc%C3%A9", "/a%20b%2fc%C3%A9"},
    {"NonAsciiLetterIsItsUtf8Bytes", "/caf\xC3\xA9/\xE4\xB8\xAD.dll", "/caf%C3%A9/%E4%B8%AD.dll"},
    {"UnsafeSigns", "/\"<>\\^`{|}[]", "/%22%3C%3E%5C%5E%60%7B%7C%7D%5B%5D"},
    {"ControlsAndDelete", "/a\tb\x7F", "/a%09b%7F"},
    {"Empty", "", ""},
};

class RequestPathTest : public ::testing::TestWithParam<PathRow> {};

TEST_P(RequestPathTest, EscapesWhatAPathCannotCarry) {
  EXPECT_EQ(EscapeRequestPath(GetParam().given), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(Paths, RequestPathTest, ::testing::ValuesIn(kRows), RowName());

}  // namespace
