// The error report: where it goes, and its body inflated back into the head
// and the error log's tail.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "ErrReport.h"
#include "MutilThreadMgr.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateServer.h"
#include "FileItem.h"
#include "PRXCmdLineAnalyse.h"
#include "ReportBody.h"
#include "Base64.h"
#include "SystemHelpers.h"
#include "Trace.h"
#include "TraceManager.h"
#include "UpdateState.h"

namespace {

struct ServerCase {
  const char* name;
  const char* logcfg;  // null: no -LOGCFG key
  bool sent;
  const wchar_t* list;
};

const ServerCase kServerCases[] = {
    {"HostAndHttpPort", "a;10.0.0.5:12005:8080", true, L"10.0.0.5:8080/logsvr/reporterr"},
    {"NoHttpPortIs80", "a;10.0.0.5:12005", true, L"10.0.0.5:80/logsvr/reporterr"},
    {"EmptyHost", "a;:12005:8080", false, L""},
    {"NoFieldOneIsBuiltIn", "a", true, L"127.0.0.1:3366/logsvr/reporterr"},
    {"EmptyValueIsBuiltIn", "", true, L"127.0.0.1:3366/logsvr/reporterr"},
    {"MissingKeyIsBuiltIn", nullptr, true, L"127.0.0.1:3366/logsvr/reporterr"},
};

class ReportServerTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(ReportServerTest, FromLogCfg) {
  std::string lines = "-SPVER=1.0.0.2\n";
  if (GetParam().logcfg) lines += std::string("-LOGCFG=") + GetParam().logcfg + "\n";
  std::wstring encoded;
  ASSERT_TRUE(Base64EncodeText(Utf8ToWide(lines), encoded));
  PRXCmdLineAnalyse cmdLine;
  ASSERT_TRUE(cmdLine.Parse(L"corvane:" + encoded));
  std::wstring list = L"poison";
  EXPECT_EQ(CErrReport::GetReportServer(&cmdLine, list), GetParam().sent);
  EXPECT_EQ(WideToUtf8(list), WideToUtf8(GetParam().list));
}

INSTANTIATE_TEST_SUITE_P(Entries, ReportServerTest, ::testing::ValuesIn(kServerCases), RowName());

class ErrReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    state_.SetFolders(folder_.wideFolder(), folder_.wideFolder() + L"CorvaneUpdate");
    state_.localVer = L"1.0.0.1";
    STraceCfg cfg = {};
    std::strcpy(cfg.mainLogPath, (folder_.folder() + "AppLog.log").c_str());
    std::strcpy(cfg.errLogPath, (folder_.folder() + "errlogs").c_str());
    cfg.mainLogMaxSize = 1 << 20;
    cfg.errLogMaxSize = 20480;
    ASSERT_TRUE(StartTrace(&cfg));
  }
  void TearDown() override { StopTrace(); }

  ScopedTempDir folder_{ScopedTempDir::kAwkwardPrefix};
  SUpdateState state_;
};

TEST_F(ErrReportTest, BodyIsHeadAndErrorLogTail) {
  TraceErr("update failed! (code:%d(%s))", 5, "URC_DOWNLOAD_ERR");
  TraceInf("an information line stays out of the error log");
  CErrReport report(state_);
  std::string body;
  ASSERT_TRUE(report.PackErrLog(body));
  const std::string text = InflateReport(body);
  const std::wstring id = IniReadString(L"CFG", L"UsrID", L"", 64, state_.userCfgPath.c_str());
  ASSERT_EQ(id.size(), 36u) << "a new installation id is kept in UserCfg.ini";
  const std::string head = "--------------------\nversion:1.0.0.1;client:" + WideToUtf8(id) + ";clientIP:";
  EXPECT_EQ(text.compare(0, head.size(), head), 0) << text;
  EXPECT_NE(text.find(";module:update;conferenceID:0;termID:;\n"), std::string::npos) << text;
  EXPECT_NE(text.find("update failed! (code:5(URC_DOWNLOAD_ERR))"), std::string::npos) << text;
  EXPECT_EQ(text.find("an information line"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder_.folder() + "errlogs")) << "the error log goes once read";

  // The next report carries the same id and only what was logged since.
  TraceErr("second failure");
  ASSERT_TRUE(report.PackErrLog(body));
  const std::string second = InflateReport(body);
  EXPECT_NE(second.find("client:" + WideToUtf8(id) + ";"), std::string::npos);
  EXPECT_EQ(second.find("update failed!"), std::string::npos);
  EXPECT_NE(second.find("second failure"), std::string::npos);
}

TEST_F(ErrReportTest, NoErrorLogSendsNothing) {
  CErrReport report(state_);
  std::string body = "poison";
  EXPECT_FALSE(report.PackErrLog(body));
  EXPECT_TRUE(body.empty());
}

// The whole report as the log server gets it: one POST to /logsvr/reporterr/
// whose body inflates to the head and the error log's tail.
TEST_F(ErrReportTest, PostReachesTheLogServer) {
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1"));
  const std::string lines = "-SPVER=1.0.0.2\n-LOGCFG=x;127.0.0.1:12005:" + std::to_string(server.port()) + "\n";
  std::wstring encoded;
  ASSERT_TRUE(Base64EncodeText(Utf8ToWide(lines), encoded));
  PRXCmdLineAnalyse cmdLine;
  ASSERT_TRUE(cmdLine.Parse(L"corvane:" + encoded));
  state_.cmdLine = &cmdLine;
  TraceErr("update failed! (code:%d(%s))", 9, "URC_LOCAL_UPDATE_ERR");

  CMutilThreadMgr mgr;
  CErrReport report(state_);
  report.ReportErr(mgr, nullptr);
  ASSERT_TRUE(server.WaitForRequests(1, 10000));
  const std::vector<LoggedRequest> log = server.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "POST");
  EXPECT_EQ(log[0].path, "/logsvr/reporterr/");
  const std::string text = InflateReport(log[0].body);
  EXPECT_EQ(text.rfind("--------------------\nversion:1.0.0.1;client:", 0), 0u) << text;
  EXPECT_NE(text.find("update failed! (code:9(URC_LOCAL_UPDATE_ERR))"), std::string::npos) << text;
  server.Stop();
}

TEST(ErrReportItemTest, UploadItemCarriesTheBody) {
  const auto item = CErrReport::MakeUploadItem("zipped");
  EXPECT_EQ(item->type, FIT_UPFILE);
  EXPECT_EQ(WideToUtf8(item->name), "reporterr");
  EXPECT_EQ(item->size, -1);
  EXPECT_EQ(item->transSize, 6);
  EXPECT_EQ(item->data, "zipped");
  EXPECT_TRUE(item->remoteName.empty());
}

}  // namespace
