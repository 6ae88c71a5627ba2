#include <QByteArray>

#include "App.h"
#include "PageFixture.h"
#include "RowName.h"

namespace {

struct ServerCase {
  const char* name;
  const char* version;
  const char* url;
  const char* servers;
};

class UpdateServerListTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(UpdateServerListTest, EachServerGetsTheVersionPath) {
  const ServerCase& c = GetParam();
  EXPECT_EQ(CApp::updateServerList(c.version, c.url), QString::fromUtf8(c.servers));
}

const ServerCase kServerCases[] = {
    {"EmptyPartDroppedSlashKept", "1.2.3.4", "10.0.0.5:8080/files;;10.0.0.6/",
     "10.0.0.5:8080/files/Update/Corvane/1.2.3.4/Win32/;10.0.0.6/Update/Corvane/1.2.3.4/Win32/"},
    {"EmptyUrl", "1.2.3.4", "", ""},
    {"OnlySeparators", "2.0", ";;", ""},
    {"OneServer", "2.0", "http://h/up", "http://h/up/Update/Corvane/2.0/Win32/"},
};
INSTANTIATE_TEST_SUITE_P(Urls, UpdateServerListTest, ::testing::ValuesIn(kServerCases), RowName());

TEST(UpdateCommandTest, QuotedAbsoluteUpdaterWithVersionFirst) {
  const QString command = CApp::updateCommand("/opt/corvane/", "1.2.3.4", "");
  const QString head = "\"/opt/corvane/CorvaneUpdate\" corvane:";
  ASSERT_TRUE(command.startsWith(head)) << command.toStdString();
  const QByteArray lines = QByteArray::fromBase64(command.mid(head.size()).toLatin1());
  EXPECT_TRUE(lines == "-SPVER=1.2.3.4\n-UPURL=" || lines == "-SPVER=1.2.3.4\n-UPURL=\n") << lines.toStdString();
}

class CrashTextTest : public PageFixture {};

TEST_F(CrashTextTest, LinesInOrderAndAnEmptyLogEndsTheText) {
  theApp.prepareExecutableLines();
  theApp.preparePcIdLine();
  theApp.prepareIpLine();
  QByteArray text = "left over";
  theApp.GetDumpInfo("log/x.dmp", text);
  const QList<QByteArray> lines = text.split('\n');
  ASSERT_GE(lines.size(), 9);
  const char* prefixes[] = {"Module:", "MeetVer:", "ExeLastModied:", "DumpTime:", "MeetID:0",
                            "PCID:",   "IP:",      "LastLogData:"};
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(lines[i].startsWith(prefixes[i])) << i << ": " << lines[i].toStdString();
  EXPECT_TRUE(text.endsWith("LastLogData:\n"));
  EXPECT_EQ(lines[3].size(), static_cast<int>(sizeof "DumpTime:2026-01-01 00:00:00" - 1));
}

}  // namespace
