// Base64 and the prefixed command line, the updater's build, and the client
// build's argument read by it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <platform/Strings.h>

#include "Base64.h"
#include "ChildProcess.h"
#include "PRXCmdLineAnalyse.h"
#include "RowName.h"
#include "ScopedTempDir.h"

namespace {

struct Rfc4648Case {
  const char* name;
  std::string bytes;
  std::string encoded;
};

const Rfc4648Case kRfc4648[] = {
    {"Empty", "", ""},          {"f", "f", "Zg=="},           {"fo", "fo", "Zm8="},
    {"foo", "foo", "Zm9v"},     {"foob", "foob", "Zm9vYg=="}, {"fooba", "fooba", "Zm9vYmE="},
    {"foobar", "foobar", "Zm9vYmFy"}, {"HighBytes", std::string("\xfb\xff\xbf", 3), "+/+/"},
};

class Base64Rfc : public ::testing::TestWithParam<Rfc4648Case> {};

TEST_P(Base64Rfc, EncodeExactCapacity) {
  const auto& c = GetParam();
  std::string out(c.encoded.size() + 1, '#');
  EXPECT_EQ(Base64Encode(reinterpret_cast<const unsigned char*>(c.bytes.data()), static_cast<int>(c.bytes.size()),
                         &out[0], static_cast<int>(c.encoded.size())),
            static_cast<int>(c.encoded.size()));
  EXPECT_EQ(out.substr(0, c.encoded.size()), c.encoded);
  EXPECT_EQ(out.back(), '#');
  if (!c.encoded.empty()) {
    EXPECT_EQ(Base64Encode(reinterpret_cast<const unsigned char*>(c.bytes.data()), static_cast<int>(c.bytes.size()),
                           &out[0], static_cast<int>(c.encoded.size()) - 1),
              -1);
  }
}

// The decoder keeps the zero bytes padding gives.
TEST_P(Base64Rfc, DecodeKeepsPaddingZeros) {
  const auto& c = GetParam();
  std::string bytes = "stale";
  ASSERT_TRUE(Base64DecodeBytes(c.encoded, bytes));
  std::string expected = c.bytes;
  expected.resize(c.encoded.size() / 4 * 3, '\0');
  EXPECT_EQ(bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, Base64Rfc, ::testing::ValuesIn(kRfc4648), RowName());

TEST(Base64, DecoderRefusals) {
  unsigned char out[16];
  EXPECT_EQ(Base64Decode("Zg=", 3, out, sizeof(out)), -1) << "not a multiple of 4";
  EXPECT_EQ(Base64Decode("Zg =", 4, out, sizeof(out)), -1) << "space";
  EXPECT_EQ(Base64Decode("Zg-_", 4, out, sizeof(out)), -1) << "URL alphabet";
  EXPECT_EQ(Base64Decode("Zm9v", 4, out, 2), -1) << "capacity";
  EXPECT_EQ(Base64Decode("\xc3\xa9xx", 4, out, sizeof(out)), -1) << "high bytes";
  // '=' counts as 0 wherever it stands.
  EXPECT_EQ(Base64Decode("=m9v", 4, out, sizeof(out)), 3);
  std::wstring text = L"stale";
  EXPECT_FALSE(Base64DecodeText(L"", text));
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(Base64EncodeText(L"", text));
  EXPECT_TRUE(Base64EncodeText(L"\u00e9", text));
  EXPECT_EQ(text, L"w6k=") << "UTF-8 is the ANSI code page";
}

std::wstring Arg(const std::string& prefix, const std::string& text) {
  std::string encoded(4 * ((text.size() + 2) / 3), '\0');
  Base64Encode(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()), &encoded[0],
               static_cast<int>(encoded.size()));
  return Utf8ToWide(prefix + encoded);
}

struct ParseCase {
  const char* name;
  std::wstring argument;
  bool parses;
  std::wstring items;  // ToString('|') of the map after parsing
};

std::vector<ParseCase> ParseCases() {
  return {
      {"TwoItems", Arg("corvane:", "-SPVER=2.1.0.5\n-UPURL=u1;u2\n"), true, L"-SPVER=2.1.0.5|-UPURL=u1;u2|"},
      {"AnyPrefix", Arg("any prefix:", "-A=1\n"), true, L"-A=1|"},
      {"PrefixEndsAtFirstColon", Arg("x:y:", "-A=1\n"), false, L""},
      {"LaterItemWins", Arg("p:", "-A=1\n-A=2\n"), true, L"-A=2|"},
      {"NoEquals", Arg("p:", "-FLAG\n"), true, L"-FLAG=|"},
      {"SecondEqualsKept", Arg("p:", "-A=b=c\n"), true, L"-A=b=c|"},
      {"TwoLineFeeds", Arg("p:", "-A=1\n\n-B=2\n"), true, L"=|-A=1|-B=2|"},
      {"NoTrailingLineFeed", Arg("p:", "-A=1\n-B=2"), true, L"-A=1|-B=2|"},
      {"CaseSensitiveOrder", Arg("p:", "-b=1\n-B=2\n"), true, L"-B=2|-b=1|"},
      {"NoColon", L"corvane", false, L""},
      {"ThreeBytesNoPadding", L"corvane:LUE9", true, L"-A=|"},
      {"BadLength", L"corvane:LUE9M", false, L""},
      {"Space", L"corvane:LUE9 MQ==", false, L""},
      {"OutsideAlphabet", L"corvane:LUE9*Q==", false, L""},
      {"DecodesToEmpty", Arg("p:", ""), false, L""},
      {"DecodesToZeroBytes", L"p:AAAA", false, L""},
      {"NotStartingWithDash", Arg("p:", "SPVER=1\n"), false, L""},
      {"WideCharacterInBase64", L"p:LUE9\u00e9Q==", false, L""},
  };
}

class CmdLineParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CmdLineParse, Items) {
  PRXCmdLineAnalyse line;
  EXPECT_EQ(line.Parse(GetParam().argument), GetParam().parses);
  EXPECT_EQ(line.ToString(L'|'), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CmdLineParse, ::testing::ValuesIn(ParseCases()), RowName());

TEST(CmdLine, ReEmitsTheSameArgument) {
  const std::wstring argument = Arg("corvane:", "-SPVER=2.1.0.5\n-UPURL=u1;u2\n");
  PRXCmdLineAnalyse line;
  ASSERT_TRUE(line.Parse(argument));
  EXPECT_EQ(line.ToCmdLine(), argument);
  EXPECT_EQ(line.Prefix(), L"corvane:");
  PRXCmdLineAnalyse empty;
  EXPECT_EQ(empty.ToCmdLine(), L"");
}

TEST(CmdLine, ItemSplittingEdges) {
  CmdParamDeal map;
  map.ParseString(L"", L'\n');
  EXPECT_EQ(map.ToString(L'|'), L"=|") << "an empty text is one empty item";
  std::wstring value = L"kept";
  EXPECT_FALSE(map.GetValue(L"-X", value));
  EXPECT_EQ(value, L"kept");
}

std::string RunClient(const std::vector<std::string>& args) {
  std::vector<std::string> argv{UPDATER_CLIENT_CMDLINE};
  argv.insert(argv.end(), args.begin(), args.end());
  ScopedTempDir folder{"cmdline"};
  const std::string output = (folder.path() / "out").string();
  if (!folder.ok() || !RunWithDeadline(argv, 60, output).finished) return "";
  return ReadWholeFile(output);
}

// What the client writes, this build reads to the same items and writes back
// to the same argument.
TEST(CmdLine, ClientArgumentReadsBack) {
  const std::string argument = RunClient({"corvane:", "-UPURL=http://a/Update/Corvane/2.1.0.5/Win32/;http://b/x/",
                                          "-SPVER=2.1.0.5", "-LOGCFG=log\u00e9.example:80"});
  ASSERT_EQ(argument.rfind("corvane:", 0), 0u) << argument;
  PRXCmdLineAnalyse line;
  ASSERT_TRUE(line.Parse(Utf8ToWide(argument)));
  EXPECT_EQ(line.ToString(L'|'), L"-LOGCFG=log\u00e9.example:80|-SPVER=2.1.0.5|"
                                 L"-UPURL=http://a/Update/Corvane/2.1.0.5/Win32/;http://b/x/|");
  EXPECT_EQ(WideToUtf8(line.ToCmdLine()), argument);
}

}  // namespace
