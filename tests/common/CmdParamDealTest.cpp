#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

#include "CmdParamDeal.h"
#include "PRXCmdLineAnalyse.h"
#include "QtPrinters.h"
#include "RowName.h"

// Lets a test see the whole map as one text, in order.
static std::string Dump(const CmdParamDeal& map) {
  return map.ToString(QStringLiteral("|"), QStringLiteral(":")).toStdString();
}

struct ItemCase {
  const char* name;
  const char* item;
  const char* separator;
  const char* dump;  // the map afterwards, as Dump() shows it
};

static void PrintTo(const ItemCase& c, std::ostream* os) { *os << c.name; }

const ItemCase kItemCases[] = {
    {"KeyAndValue", "-do=stop", "=", "-do:stop|"},
    {"EmptyValue", "-do=", "=", "-do:|"},
    {"ValueKeepsLaterSeparators", "-a==b=c", "=", "-a:=b=c|"},
    {"NoSeparatorIgnored", "stop", "=", ""},
    {"SeparatorFirstIgnored", "=stop", "=", ""},
    {"OnlySeparatorIgnored", "=", "=", ""},
    {"EmptyItemIgnored", "", "=", ""},
    {"NothingTrimmed", " k = v ", "=", " k : v |"},
    {"LongSeparator", "k::v::w", "::", "k:v::w|"},
    {"SeparatorIsCaseSensitive", "aXb", "x", ""},
    {"EmptySeparatorIgnoresAll", "k=v", "", ""},
    {"NonAsciiKept", "\xc3\xa4=\xe2\x82\xac", "=", "\xc3\xa4:\xe2\x82\xac|"},
};

class ParseItemTest : public ::testing::TestWithParam<ItemCase> {};

TEST_P(ParseItemTest, StoresOrIgnores) {
  const ItemCase& c = GetParam();
  CmdParamDeal map;
  map.ParseItem(QString::fromUtf8(c.item), QString::fromUtf8(c.separator));
  EXPECT_EQ(Dump(map), c.dump);
}

INSTANTIATE_TEST_SUITE_P(Items, ParseItemTest, ::testing::ValuesIn(kItemCases), RowName());

TEST(CmdParamDeal, LaterItemReplacesValue) {
  CmdParamDeal map;
  map.ParseItem(QStringLiteral("k=1"), QStringLiteral("="));
  map.ParseItem(QStringLiteral("k=2"), QStringLiteral("="));
  EXPECT_EQ(Dump(map), "k:2|");
}

TEST(CmdParamDeal, ParseArgsSkipsProgramAndClearsFirst) {
  CmdParamDeal map;
  map.SetValue(QStringLiteral("old"), QStringLiteral("gone"));
  const char* argv[] = {"-prog=name", "-do=stop", "x", "=y", "-w=a=b", nullptr};
  map.ParseArgs(5, argv, QStringLiteral("="));
  EXPECT_EQ(Dump(map), "-do:stop|-w:a=b|");
}

TEST(CmdParamDeal, ParseArgsWithoutArgumentsLeavesEmptyMap) {
  CmdParamDeal map;
  map.SetValue(QStringLiteral("old"), QStringLiteral("gone"));
  const char* argv[] = {"prog", nullptr};
  map.ParseArgs(1, argv, QStringLiteral("="));
  EXPECT_EQ(Dump(map), "");
  map.SetValue(QStringLiteral("old"), QStringLiteral("gone"));
  map.ParseArgs(0, nullptr, QStringLiteral("="));
  EXPECT_EQ(Dump(map), "");
}

TEST(CmdParamDeal, GetValueAndGetString) {
  CmdParamDeal map;
  map.SetValue(QStringLiteral("-do"), QStringLiteral("stop"));
  map.SetValue(QStringLiteral("-empty"), QString());

  // Pre-filled, so a lookup that forgets to write, or writes when it should not, shows.
  QString value = QStringLiteral("untouched");
  EXPECT_FALSE(map.GetValue(QStringLiteral("-DO"), value));
  EXPECT_EQ(value, QStringLiteral("untouched"));
  EXPECT_TRUE(map.GetValue(QStringLiteral("-do"), value));
  EXPECT_EQ(value, QStringLiteral("stop"));
  EXPECT_TRUE(map.GetValue(QStringLiteral("-empty"), value));
  EXPECT_TRUE(value.isEmpty());

  EXPECT_EQ(map.GetString(QStringLiteral("-absent"), QStringLiteral("dflt")), QStringLiteral("dflt"));
  EXPECT_EQ(map.GetString(QStringLiteral("-empty"), QStringLiteral("dflt")), QString());
  EXPECT_EQ(map.GetString(QStringLiteral("-do"), QStringLiteral("dflt")), QStringLiteral("stop"));
}

TEST(CmdParamDeal, ToStringOrdersKeysByCodeUnit) {
  CmdParamDeal map;
  EXPECT_EQ(map.ToString(QStringLiteral("\n"), QStringLiteral("=")), QString());
  for (const char* key : {"b", "a", "B", "-UPURL", "-SPVER", "\xc3\xa9"}) {
    map.SetValue(QString::fromUtf8(key), QStringLiteral("v"));
  }
  map.SetValue(QStringLiteral("a"), QStringLiteral("w"));
  EXPECT_EQ(map.ToString(QStringLiteral(";"), QStringLiteral("->")).toStdString(),
            "-SPVER->v;-UPURL->v;B->v;a->w;b->v;\xc3\xa9->v;");
}

struct CmdLineCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> values;  // in the order they are set
  const char* decoded;                                      // nullptr: the prefix alone
};

static void PrintTo(const CmdLineCase& c, std::ostream* os) { *os << c.name; }

const CmdLineCase kCmdLineCases[] = {
    {"Empty", {}, nullptr},
    {"OneItem", {{"-SPVER", "1.0.0.1"}}, "-SPVER=1.0.0.1\n"},
    {"UpdateLaunch", {{"-UPURL", "http://u1/;http://u2/"}, {"-SPVER", "2.1.0.5"}},
     "-SPVER=2.1.0.5\n-UPURL=http://u1/;http://u2/\n"},
    {"ValueWithSeparator", {{"-SPVER", "a=b"}}, "-SPVER=a=b\n"},
    {"NonAsciiAsUtf8", {{"-UPURL", "http://h\xc3\xb6st/\xe2\x82\xac"}}, "-UPURL=http://h\xc3\xb6st/\xe2\x82\xac\n"},
    // A line feed in a value would hand the updater an item nobody set.
    {"LineFeedInValueDropped", {{"-SPVER", "1"}, {"-UPURL", "http://u/\n-LOGCFG=http://evil/"}}, "-SPVER=1\n"},
    {"LineFeedInKeyDropped", {{"-SPVER", "1"}, {"-A\n-B", "x"}}, "-SPVER=1\n"},
    {"SeparatorInKeyDropped", {{"-SPVER", "1"}, {"-A=B", "x"}}, "-SPVER=1\n"},
    // An empty key sorts first and would make the updater refuse the argument.
    {"EmptyKeyDropped", {{"", "x"}, {"-SPVER", "1"}}, "-SPVER=1\n"},
    {"OnlyDroppedItems", {{"-UPURL", "a\nb"}}, nullptr},
};

class ToCmdLineTest : public ::testing::TestWithParam<CmdLineCase> {};

TEST_P(ToCmdLineTest, PrefixThenBase64OfItems) {
  const CmdLineCase& c = GetParam();
  PRXCmdLineAnalyse cmd;
  cmd.prefix = QStringLiteral("corvane:");
  for (const auto& kv : c.values) cmd.SetValue(QString::fromUtf8(kv.first), QString::fromUtf8(kv.second));

  const QString line = cmd.ToCmdLine();
  ASSERT_TRUE(line.startsWith(QStringLiteral("corvane:"))) << line.toStdString();
  const QByteArray encoded = line.mid(8).toLatin1();
  if (c.decoded == nullptr) {
    EXPECT_TRUE(encoded.isEmpty()) << encoded.toStdString();
    return;
  }
  const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
  ASSERT_TRUE(decoded) << encoded.toStdString();
  EXPECT_EQ(decoded.decoded.toStdString(), c.decoded);
  EXPECT_EQ(encoded, QByteArray(c.decoded).toBase64()) << "not standard padded Base64";
}

INSTANTIATE_TEST_SUITE_P(Argument, ToCmdLineTest, ::testing::ValuesIn(kCmdLineCases), RowName());

TEST(PRXCmdLineAnalyse, PrefixStartsEmpty) { EXPECT_EQ(PRXCmdLineAnalyse().ToCmdLine(), QString()); }
