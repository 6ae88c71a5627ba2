#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <string>

#include "IniHelpers.h"
#include "QtPrinters.h"
#include "RowName.h"

class IniHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

  QTemporaryDir dir_;
};

struct LengthCase {
  const char* name;
  int length;
  int expected;
};

static void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

// The read buffer holds 8192 characters with the terminator.
const LengthCase kLengthCases[] = {
    {"Empty", 0, 0},       {"One", 1, 1},          {"BelowLimit", 8190, 8190},
    {"AtLimit", 8191, 8191}, {"OneOver", 8192, 8191}, {"FarOver", 20000, 8191},
};

class IniReadLengthTest : public IniHelpersTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(IniReadLengthTest, ReturnsAtMost8191Characters) {
  const LengthCase& c = GetParam();
  const QString file = Path("long.ini");
  // A repeating pattern, so a read that loses or shifts characters shows.
  QString value;
  for (int i = 0; i < c.length; ++i) value += QChar('a' + i % 26);
  ASSERT_TRUE(IniWriteString(QStringLiteral("S"), QStringLiteral("K"), value, file));
  const QString read = IniReadString(QStringLiteral("S"), QStringLiteral("K"), file);
  EXPECT_EQ(read.size(), c.expected);
  EXPECT_EQ(read, value.left(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Lengths, IniReadLengthTest, ::testing::ValuesIn(kLengthCases), RowName());

TEST_F(IniHelpersTest, WriteThenReadRoundTrips) {
  const QString file = Path("UserCfg.ini");
  const QString section = QStringLiteral("CFG");
  ASSERT_TRUE(IniWriteString(section, QStringLiteral("UsrID"), QStringLiteral("0f1e2d3c"), file));
  ASSERT_TRUE(IniWriteString(section, QStringLiteral("Name"), QString::fromUtf8("K\xc3\xbc\x63he \xe2\x82\xac"), file));
  ASSERT_TRUE(IniWriteString(QStringLiteral("VER"), QStringLiteral("Ver"), QStringLiteral("2.1.0.5"), file));
  EXPECT_EQ(IniReadString(section, QStringLiteral("UsrID"), file), QStringLiteral("0f1e2d3c"));
  EXPECT_EQ(IniReadString(section, QStringLiteral("Name"), file), QString::fromUtf8("K\xc3\xbc\x63he \xe2\x82\xac"));
  EXPECT_EQ(IniReadString(QStringLiteral("VER"), QStringLiteral("Ver"), file), QStringLiteral("2.1.0.5"));

  ASSERT_TRUE(IniWriteString(section, QStringLiteral("UsrID"), QStringLiteral("replaced"), file));
  EXPECT_EQ(IniReadString(section, QStringLiteral("UsrID"), file), QStringLiteral("replaced"));
}

TEST_F(IniHelpersTest, MissingFileSectionOrKeyGivesEmpty) {
  const QString file = Path("cfg.ini");
  EXPECT_EQ(IniReadString(QStringLiteral("S"), QStringLiteral("K"), file), QString());
  EXPECT_FALSE(QFile::exists(file)) << "reading created the file";
  ASSERT_TRUE(IniWriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"), file));
  EXPECT_EQ(IniReadString(QStringLiteral("Other"), QStringLiteral("K"), file), QString());
  EXPECT_EQ(IniReadString(QStringLiteral("S"), QStringLiteral("Other"), file), QString());
}

TEST_F(IniHelpersTest, DeleteKeyLeavesTheRest) {
  const QString file = Path("cfg.ini");
  ASSERT_TRUE(IniWriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"), file));
  ASSERT_TRUE(IniWriteString(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2"), file));
  EXPECT_TRUE(IniDeleteKey(QStringLiteral("S"), QStringLiteral("A"), file));
  EXPECT_EQ(IniReadString(QStringLiteral("S"), QStringLiteral("A"), file), QString());
  EXPECT_EQ(IniReadString(QStringLiteral("S"), QStringLiteral("B"), file), QStringLiteral("2"));
}

TEST_F(IniHelpersTest, DeleteSectionEmptiesEveryKeyOfIt) {
  const QString file = Path("cfg.ini");
  for (const char* key : {"A", "B", "C"}) {
    ASSERT_TRUE(IniWriteString(QStringLiteral("Gone"), QString::fromUtf8(key), QStringLiteral("x"), file));
  }
  ASSERT_TRUE(IniWriteString(QStringLiteral("Kept"), QStringLiteral("A"), QStringLiteral("y"), file));
  EXPECT_TRUE(IniDeleteSection(QStringLiteral("Gone"), file));
  for (const char* key : {"A", "B", "C"}) {
    EXPECT_EQ(IniReadString(QStringLiteral("Gone"), QString::fromUtf8(key), file), QString()) << key;
  }
  EXPECT_EQ(IniReadString(QStringLiteral("Kept"), QStringLiteral("A"), file), QStringLiteral("y"));
}

TEST_F(IniHelpersTest, WriteIntoMissingFolderFails) {
  const QString file = Path("no-such-folder/cfg.ini");
  EXPECT_FALSE(IniWriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"), file));
  EXPECT_EQ(IniReadString(QStringLiteral("S"), QStringLiteral("K"), file), QString());
}
