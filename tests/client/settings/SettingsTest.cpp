#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "App.h"
#include "FWIniDatFile.h"
#include "IniHelpers.h"
#include "RowName.h"

namespace {

const QString kCfg = QStringLiteral("CFG");

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ini_ = dir_.filePath(QStringLiteral("UserCfg.ini"));
  }
  FWIniDatFile& settings() { return FWIniDatFile::instance(); }

  QTemporaryDir dir_;
  QString ini_;
};

QString ProbeUsrID(const QString& ini) {
  QProcess probe;
  probe.start(QStringLiteral(CORVANE_SETTINGS_PROBE), {ini});
  if (!probe.waitForFinished(10000) || probe.exitCode() != 0) return QStringLiteral("(probe failed)");
  return QString::fromLocal8Bit(probe.readAllStandardOutput()).trimmed();
}

TEST_F(SettingsTest, FreshFolderGetsAUsrIdThatLaterStartsKeep) {
  ASSERT_FALSE(QFile::exists(ini_));
  const QString first = ProbeUsrID(ini_);
  EXPECT_EQ(first.size(), 36) << first.toStdString();
  EXPECT_FALSE(first.contains('{'));
  EXPECT_EQ(IniReadString(kCfg, QStringLiteral("UsrID"), ini_), first);
  EXPECT_EQ(ProbeUsrID(ini_), first);

  settings().setFile(ini_);
  EXPECT_EQ(settings().getFile(), ini_);
  EXPECT_EQ(GetUsrID(), first);
}

TEST_F(SettingsTest, SetFileRemovesTheLeftoverLockButNotTheIniLayersOwn) {
  QFile leftover(ini_ + ".lock");
  ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
  leftover.close();
  settings().setFile(ini_);
  EXPECT_FALSE(QFile::exists(ini_ + ".lock"));
  // The id write went through the ini layer, whose lock is another file.
  const QString own = dir_.filePath(QStringLiteral(".UserCfg.ini.lock"));
  ASSERT_TRUE(QFile::exists(own));
  settings().setFile(ini_);
  EXPECT_TRUE(QFile::exists(own));
}

struct IntCase {
  const char* name;
  const char* stored;  // nullptr: the key is missing
  int expected;
};

const IntCase kIntCases[] = {
    {"Missing", nullptr, 42},  {"Empty", "", 42},          {"NotANumber", "abc", 0},
    {"Negative", "-3", -3},    {"Plain", "7", 7},          {"TrailingText", "12abc", 0},
    {"Overflow", "99999999999", 0},
};

class GetIntTest : public SettingsTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(GetIntTest, ReadsDecimalOrDefault) {
  settings().setFile(ini_);
  const IntCase& c = GetParam();
  if (c.stored) {
    ASSERT_TRUE(IniWriteString(kCfg, QStringLiteral("value"), QString::fromUtf8(c.stored), ini_));
  }
  EXPECT_EQ(settings().getInt(QStringLiteral("value"), 42, kCfg), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, GetIntTest, ::testing::ValuesIn(kIntCases), RowName());

TEST_F(SettingsTest, StringsIntsAndRemovals) {
  settings().setFile(ini_);
  EXPECT_EQ(settings().getString(QStringLiteral("absent"), kCfg), QString());
  const QString list = QStringLiteral("a=1;b=2 ; Zürich");
  ASSERT_TRUE(settings().setString(QStringLiteral("meetList"), list, kCfg));
  EXPECT_EQ(settings().getMeetList(), list);
  settings().setInt(QStringLiteral("ScreenEncType"), -17, kCfg);
  EXPECT_EQ(IniReadString(kCfg, QStringLiteral("ScreenEncType"), ini_), "-17");
  EXPECT_TRUE(settings().removeKey(QStringLiteral("meetList"), kCfg));
  EXPECT_EQ(settings().getMeetList(), QString());
  settings().setString(QStringLiteral("k"), QStringLiteral("v"), QStringLiteral("Other"));
  EXPECT_TRUE(settings().removeSection(QStringLiteral("Other")));
  EXPECT_EQ(settings().getString(QStringLiteral("k"), QStringLiteral("Other")), QString());
  EXPECT_EQ(settings().getInt(QStringLiteral("ScreenEncType"), 0, kCfg), -17);
}

TEST_F(SettingsTest, AppKeepsTheLastBoxAndTheLastTypedAddress) {
  settings().setFile(ini_);
  EXPECT_EQ(theApp.lastUserAddIp(), QString());
  theApp.saveLastUserAddIp(QStringLiteral("10.1.1.1"));
  theApp.saveLastBoxInfo(QStringLiteral("box-7"));
  EXPECT_EQ(theApp.lastUserAddIp(), "10.1.1.1");
  EXPECT_EQ(IniReadString(kCfg, QStringLiteral("LastUserAddIp"), ini_), "10.1.1.1");
  EXPECT_EQ(IniReadString(kCfg, QStringLiteral("LastBoxInfo"), ini_), "box-7");
  EXPECT_EQ(gSettings, &settings());
}

}  // namespace
