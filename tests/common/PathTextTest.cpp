#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>
#include <QString>

#include <string>

#include "PathText.h"
#include "QtPrinters.h"
#include "RowName.h"

struct PathCase {
  const char* name;
  const char* path;
  const char* separators;  // ToNativeSeparators
  const char* dir;         // ToNativeDir
};

static void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

const PathCase kPathCases[] = {
    {"DriveForward", "C:/a/b", "C:/a/b", "C:/a/b/"},
    {"DriveBackslashTrailing", "C:\\a\\", "C:/a/", "C:/a/"},
    {"Empty", "", "", "/"},
    {"Root", "/", "/", "/"},
    {"Mixed", "/opt\\corvane/Res\\", "/opt/corvane/Res/", "/opt/corvane/Res/"},
    {"DoubledBackslash", "a\\\\b", "a//b", "a//b/"},
    {"ItemNameFromIni", "Res\\Corvane.qss", "Res/Corvane.qss", "Res/Corvane.qss/"},
    {"NonAscii", "/tmp/\xc3\xa4\\b", "/tmp/\xc3\xa4/b", "/tmp/\xc3\xa4/b/"},
};

class PathTextTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTextTest, Converts) {
  const PathCase& c = GetParam();
  const QString path = QString::fromUtf8(c.path);
  EXPECT_EQ(ToNativeSeparators(path).toStdString(), c.separators);
  EXPECT_EQ(ToNativeDir(path).toStdString(), c.dir);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathTextTest, ::testing::ValuesIn(kPathCases), RowName());

TEST(CreateUuidText, LowerCaseWithoutBracesAndNew) {
  const QRegularExpression form(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
  QSet<QString> seen;
  for (int i = 0; i < 64; ++i) {
    const QString id = CreateUuidText();
    EXPECT_TRUE(form.match(id).hasMatch()) << id.toStdString();
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 64);
}
