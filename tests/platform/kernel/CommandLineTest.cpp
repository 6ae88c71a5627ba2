#include <gtest/gtest.h>
#include <platform/Strings.h>

#include <string>
#include <vector>

#include "CommandLine.h"
#include "RowName.h"

namespace {

struct SplitCase {
  const char* name;
  std::wstring line;
  std::vector<std::wstring> args;
};

const SplitCase kSplitCases[] = {
    {"Empty", L"", {}},
    {"ProgramOnly", L"prog", {L"prog"}},
    {"SpacesAndTabsSeparate", L"prog  a\tb   ", {L"prog", L"a", L"b"}},
    {"LeadingBlankGivesEmptyProgram", L" prog a", {L"", L"prog", L"a"}},
    {"QuotedProgramWithSpace", L"\"/opt/my app/run\" arg", {L"/opt/my app/run", L"arg"}},
    {"QuotedProgramThenThreeSpaces", L"\"/a b/c\"   x", {L"/a b/c", L"x"}},
    // In the program name a backslash never escapes a quote.
    {"ProgramBackslashesLiteral", L"C:\\a\\\"b c\" d", {L"C:\\a\\b c", L"d"}},
    {"QuotedArgumentWithSpace", L"p \"a b\" c", {L"p", L"a b", L"c"}},
    {"EmptyQuotedArgument", L"p \"\" x", {L"p", L"", L"x"}},
    {"TrailingEmptyQuotedArgument", L"p \"\"", {L"p", L""}},
    {"QuotePartInsideWord", L"p ab\"c d\"e", {L"p", L"abc de"}},
    {"EscapedQuote", L"p a\\\"b", {L"p", L"a\"b"}},
    {"TwoBackslashesThenQuote", L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
    {"ThreeBackslashesThenQuote", L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
    {"BackslashesWithoutQuoteAreLiteral", L"p a\\\\b\\ c\\", {L"p", L"a\\\\b\\", L"c\\"}},
    {"QuotedPathEndingInBackslash", L"p \"C:\\dir\\\\\" next", {L"p", L"C:\\dir\\", L"next"}},
    {"DoubledQuoteInsideQuotes", L"p \"a\"\"b\"", {L"p", L"a\"b"}},
    {"TripledQuotes", L"p \"\"\"a\"\"\"", {L"p", L"\"a\""}},
    {"DoubledQuoteOutsideQuotes", L"p a\"\"b", {L"p", L"ab"}},
    {"UnclosedQuoteRunsToEnd", L"p \"a  b", {L"p", L"a  b"}},
    {"NonAscii", L"p \u00e9t\u00e9 \u6587", {L"p", L"\u00e9t\u00e9", L"\u6587"}},
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, GivesTheArguments) {
  const SplitCase& c = GetParam();
  const std::vector<std::wstring> args = SplitCommandLine(c.line);
  ASSERT_EQ(args.size(), c.args.size()) << WideToUtf8(c.line);
  for (size_t i = 0; i < args.size(); ++i) {
    EXPECT_EQ(WideToUtf8(args[i]), WideToUtf8(c.args[i])) << "argument " << i << " of " << WideToUtf8(c.line);
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, SplitCommandLineTest, ::testing::ValuesIn(kSplitCases), RowName());

}  // namespace
