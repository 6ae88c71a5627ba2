#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <string>

#include "AppPaths.h"
#include "HelperProgram.h"
#include "QtPrinters.h"
#include "RowName.h"

using namespace std::chrono_literals;

TEST(GetModuleDir, IsTheRunningExecutablesFolder) {
  const QString dir = GetModuleDir();
  const QString expected = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath() + "/";
  EXPECT_EQ(dir, expected);
  EXPECT_TRUE(dir.endsWith(QLatin1Char('/')));
  EXPECT_FALSE(dir.contains(QLatin1Char('\\')));
}

struct VersionCase {
  const char* name;
  const char* ini;  // UpdateInfo.ini beside the program; nullptr: none
  const char* version;
  bool deepFolder;  // the program's path is longer than MAX_PATH
};

static void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }

const VersionCase kVersionCases[] = {
    {"NoUpdateInfo", nullptr, "", false},
    {"Installed", "[VER]\nVer=2.1.0.5\n", "2.1.0.5", false},
    {"CrLfAndOtherKeys", "[FILES]\r\nVer=9.9.9.9\r\n[VER]\r\nBuild=7\r\nVer=3.0.0.12\r\n", "3.0.0.12", false},
    {"NoVerKey", "[VER]\nBuild=7\n", "", false},
    {"NoVerSection", "[OTHER]\nVer=2.1.0.5\n", "", false},
    {"EmptyFile", "", "", false},
    {"DeepFolder", "[VER]\nVer=4.0.0.1\n", "4.0.0.1", true},
};

class GetAppVersionTest : public ::testing::TestWithParam<VersionCase> {};

// The helper runs from a folder of our own, so nothing is written beside the
// build's executables.
TEST_P(GetAppVersionTest, ReadsUpdateInfoBesideTheExecutable) {
  const VersionCase& c = GetParam();
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  QString folder = QFileInfo(temp.path()).canonicalFilePath() + QStringLiteral("/program folder");
  if (c.deepFolder) {
    while (folder.size() < 400) folder += QStringLiteral("/a-rather-long-folder-name");
  }
  const QString program = helper_program::CopyInto(folder);
  ASSERT_FALSE(program.isEmpty()) << "could not copy the helper into " << folder.toStdString();
  if (c.ini != nullptr) {
    QFile ini(folder + QStringLiteral("/UpdateInfo.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ASSERT_EQ(ini.write(c.ini), static_cast<qint64>(qstrlen(c.ini)));
  }
  const QString out = temp.filePath(QStringLiteral("out.txt"));

  ASSERT_EQ(helper_program::RunAndWait({program.toStdString(), "paths", out.toStdString()}, 20s), 0);
  const QList<QByteArray> lines = helper_program::WaitForFile(out, 1s).split('\n');
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(QString::fromUtf8(lines[0]), folder + QLatin1Char('/'));
  EXPECT_EQ(lines[1].toStdString(), c.version);
}

INSTANTIATE_TEST_SUITE_P(UpdateInfo, GetAppVersionTest, ::testing::ValuesIn(kVersionCases), RowName());
