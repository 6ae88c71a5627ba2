// The update thread end to end against the scripted server and the update
// fixture: what it fetches, what it leaves alone, its result codes, the
// error report, and the progress it reports.
#include <gtest/gtest.h>

#include <platform/Strings.h>

#include <signal.h>
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "FW_WinHttpRequest.h"
#include "PRXCmdLineAnalyse.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "Trace.h"
#include "TraceManager.h"
#include "UpdateFixture.h"
#include "UpdateHandle.h"
#include "UpdateResult.h"
#include "UpdateServer.h"
#include "UpdateThread.h"

namespace {

void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class RecordingHandle : public CUpdateHandle {
 public:
  void OnUpdateFinished(int code) override {
    std::lock_guard<std::mutex> hold(lock_);
    finished_.push_back(code);
  }
  void OnUpdatePercent(int percent) override {
    std::lock_guard<std::mutex> hold(lock_);
    percents_.push_back(percent);
  }
  void ShowUpdateWnd(int) override {}
  void ShowUpdateText(const std::wstring& text) override {
    std::lock_guard<std::mutex> hold(lock_);
    texts_.push_back(text);
  }
  void SetSvrErrText(const std::wstring&) override {}

  std::vector<int> Percents() const {
    std::lock_guard<std::mutex> hold(lock_);
    return percents_;
  }
  std::vector<int> Finished() const {
    std::lock_guard<std::mutex> hold(lock_);
    return finished_;
  }

 private:
  mutable std::mutex lock_;
  std::vector<int> percents_;
  std::vector<int> finished_;
  std::vector<std::wstring> texts_;
};

// The trace log runs for the whole program: the error report sends its
// error log's tail, so a failed run has something to report.
class TraceEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    STraceCfg cfg = {};
    snprintf(cfg.mainLogPath, sizeof cfg.mainLogPath, "%sAppLog.log", folder_.folder().c_str());
    snprintf(cfg.errLogPath, sizeof cfg.errLogPath, "%serrlogs", folder_.folder().c_str());
    cfg.mainLogMaxSize = 0xA00000;
    cfg.errLogMaxSize = 20480;
    StartTrace(&cfg);
  }
  void TearDown() override { StopTrace(); }

 private:
  ScopedTempDir folder_{ScopedTempDir::kAwkwardPrefix};
};

const ::testing::Environment* const kTrace = ::testing::AddGlobalTestEnvironment(new TraceEnvironment);

struct RunOptions {
  bool withVersion = true;
  bool withServers = true;
  std::string version;  // the target; N+1 when empty
};

class UpdateThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FW_WinHttpRequest::SetTimeoutForTests(2000);
    ASSERT_TRUE(root_.ok());
  }
  void TearDown() override {
    StopClient();
    FW_WinHttpRequest::SetTimeoutForTests(0);
  }

  void MakeFixture(const std::string& layoutText) {
    FixtureLayout layout;
    std::string error;
    ASSERT_TRUE(ParseFixtureLayout(layoutText, &layout, &error)) << error;
    const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""};
    ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
    StartServer();
  }
  void StartServer() {
    server_.reset(new UpdateServer);
    ASSERT_TRUE(server_->Start("127.0.0.1", tree_.server));
  }
  // Rewrites the description N+1's server gives out.
  void EditServedDescription(const std::function<std::string(const std::string&)>& edit) {
    const std::string path = tree_.ServedDescription("1.0.0.2");
    Write(path, edit(ReadWholeFile(path)));
  }

  int RunUpdate(const RunOptions& options = RunOptions()) {
    const std::string version = options.version.empty() ? "1.0.0.2" : options.version;
    const std::wstring port = std::to_wstring(server_->port());
    PRXCmdLineAnalyse cmdLine;
    if (options.withVersion) cmdLine.ParseItem(L"-SPVER=" + Utf8ToWide(version) + L";other");
    if (options.withServers)
      cmdLine.ParseItem(L"-UPURL=127.0.0.1:" + port + L"/Update/Corvane/" + Utf8ToWide(version) + L"/Win32");
    // The report goes to the same server, where the test sees its POST.
    cmdLine.ParseItem(L"-LOGCFG=0;127.0.0.1:1:" + port);
    const std::wstring appDir = Utf8ToWide(tree_.oldProgram);
    CUpdateThread thread;
    thread.Init(appDir, appDir + L"CorvaneUpdate", L"test:" + cmdLine.ToCmdLine(), &cmdLine);
    thread.SetHandle(&handle_);
    thread.Mgr().SetNoDataTimeout(1500);
    if (!thread.StartThread()) return -100;
    if (!thread.WaitExit(120000)) return -101;
    return thread.GetExitCode();
  }

  // Paths the server was asked for, in order.
  std::vector<std::string> Requested(const std::string& method = "GET") const {
    std::vector<std::string> paths;
    for (const LoggedRequest& request : server_->Log())
      if (request.method == method) paths.push_back(request.path);
    return paths;
  }
  bool Requested(const std::string& suffix, const std::vector<std::string>& paths) const {
    for (const std::string& path : paths)
      if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        return true;
    return false;
  }
  bool ReportSent() const {
    for (const std::string& path : Requested("POST"))
      if (path.rfind("/logsvr/reporterr", 0) == 0) return true;
    return false;
  }
  std::string OrderLog() const { return ReadWholeFile(tree_.OrderLog()); }
  // The fake client writes its line after it started; the start command
  // does not wait for it.
  bool ClientSaw(const std::string& line) const {
    for (int i = 0; i < 100; ++i) {
      if (OrderLog().find(line) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  // A started client outlives the test unless ended; its pid file is
  // written before its line in the order log.
  void StopClient() {
    if (OrderLog().find("Start ") == std::string::npos || !ClientSaw("\nCorvane ")) return;
    for (int i = 0; i < 50; ++i) {
      long pid = 0;
      std::ifstream(tree_.tools + "client.pid") >> pid;
      if (pid <= 0 || kill(static_cast<pid_t>(pid), 0) != 0) return;
      kill(static_cast<pid_t>(pid), SIGTERM);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
  std::unique_ptr<UpdateServer> server_;
  RecordingHandle handle_;
};

const char kTwoChanged[] = R"(
file Corvane client
file a.dll random 5000 zf7z changed
file b.txt text 3000 changed
file same.dat random 2000
)";

TEST_F(UpdateThreadTest, UpdatesTheFolderAndStartsTheClient) {
  MakeFixture(kTwoChanged);
  EXPECT_EQ(RunUpdate(), URC_NO_ERR);
  EXPECT_TRUE(ClientSaw("Corvane ver=1.0.0.2 folder=ok")) << OrderLog();
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini"), ReadWholeFile(tree_.newProgram + "UpdateInfo.ini"));
  const std::vector<std::string> got = Requested();
  EXPECT_TRUE(Requested("/UpdateInfo.ini.1.0.0.2", got));
  EXPECT_TRUE(Requested("/a.dll.z", got));
  EXPECT_TRUE(Requested("/b.txt", got));
  EXPECT_FALSE(Requested("/same.dat", got)) << "a current file is not fetched";
  EXPECT_FALSE(ReportSent());
  EXPECT_EQ(handle_.Finished(), std::vector<int>{URC_NO_ERR});
}

TEST_F(UpdateThreadTest, SameVersionAllCurrentOnlyStartsTheClient) {
  MakeFixture(kTwoChanged);
  EXPECT_EQ(RunUpdate({true, true, "1.0.0.1"}), URC_NO_ERR);
  EXPECT_TRUE(ClientSaw("Corvane ver=1.0.0.1 folder=ok")) << OrderLog();
  EXPECT_TRUE(server_->Log().empty()) << "nothing to fetch, not even the description";
}

// With OnlyStartMeet the folder is not even looked at: a damaged file that
// would otherwise start a download stays as it is.
TEST_F(UpdateThreadTest, OnlyStartMeetChecksNothing) {
  MakeFixture(kTwoChanged);
  Write(tree_.oldProgram + "UserCfg.ini", "[CFG]\r\nOnlyStartMeet=1\r\n");
  Write(tree_.oldProgram + "same.dat", "damaged");
  EXPECT_EQ(RunUpdate({true, true, "1.0.0.1"}), URC_NO_ERR);
  EXPECT_TRUE(ClientSaw("Corvane ver=1.0.0.1")) << OrderLog();
  EXPECT_TRUE(server_->Log().empty());
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "same.dat"), "damaged");
}

TEST_F(UpdateThreadTest, SameVersionWithADamagedFileFetchesIt) {
  MakeFixture(kTwoChanged);
  Write(tree_.oldProgram + "same.dat", "damaged");
  EXPECT_EQ(RunUpdate({true, true, "1.0.0.1"}), URC_NO_ERR);
  EXPECT_TRUE(Requested("/same.dat", Requested()));
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "same.dat"), ReadWholeFile(tree_.newProgram + "same.dat"));
}

struct FailureCase {
  const char* name;
  RunOptions options;
  int code;
};

const FailureCase kFailures[] = {
    {"NoTargetVersion", {false, true, ""}, URC_PARAM_ERR},
    {"NoServers", {true, false, ""}, URC_PARAM_ERR},
    {"DescriptionNotServed", {true, true, "1.0.0.9"}, URC_DOWNLOAD_ERR},
};

class UpdateFailureTest : public UpdateThreadTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UpdateFailureTest, FailsReportsAndStartsNothing) {
  MakeFixture(kTwoChanged);
  const std::string before = ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini");
  EXPECT_EQ(RunUpdate(GetParam().options), GetParam().code);
  EXPECT_EQ(handle_.Finished(), std::vector<int>{GetParam().code});
  EXPECT_TRUE(ReportSent());
  EXPECT_EQ(OrderLog().find("Start"), std::string::npos) << OrderLog();
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini"), before);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateFailureTest, ::testing::ValuesIn(kFailures), RowName());

// A description that answers 200 but cannot be installed must never be
// copied over the installed one: the folder would lose its version and the
// command that starts the client.
struct BadDescriptionCase {
  const char* name;
  std::string (*edit)(const std::string&);
};

const BadDescriptionCase kBadDescriptions[] = {
    {"NotAnIniFile", [](const std::string&) { return std::string("<html>busy, try later</html>\n"); }},
    {"VersionIsNoVersion",
     [](const std::string& text) { return std::regex_replace(text, std::regex("Ver=1\\.0\\.0\\.2"), "Ver=latest"); }},
    {"NoStartCommand",
     [](const std::string& text) { return std::regex_replace(text, std::regex("StartCmd=[^\r\n]*\r\n"), ""); }},
};

class BadDescriptionTest : public UpdateThreadTest, public ::testing::WithParamInterface<BadDescriptionCase> {};

TEST_P(BadDescriptionTest, FailsWithoutTouchingTheFolder) {
  MakeFixture(kTwoChanged);
  EditServedDescription(GetParam().edit);
  const std::string before = ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini");
  EXPECT_EQ(RunUpdate(), URC_LOCAL_UPDATE_ERR);
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini"), before);
  EXPECT_NE(ReadWholeFile(tree_.oldProgram + "a.dll"), ReadWholeFile(tree_.newProgram + "a.dll"));
  EXPECT_FALSE(Requested("/b.txt", Requested()));
  EXPECT_TRUE(ReportSent());
}

INSTANTIATE_TEST_SUITE_P(Table, BadDescriptionTest, ::testing::ValuesIn(kBadDescriptions), RowName());

// A fetched file whose bytes fail the listed check is not installed, and
// nothing after it is either.
TEST_F(UpdateThreadTest, AFileFailingItsCheckFailsTheDownload) {
  MakeFixture(R"(
file Corvane client
file a.dll random 5000 changed
file bad.bin random 3000 changed badmd5
)");
  const std::string before = ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini");
  EXPECT_EQ(RunUpdate(), URC_DOWNLOAD_ERR);
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini"), before);
  EXPECT_NE(ReadWholeFile(tree_.oldProgram + "a.dll"), ReadWholeFile(tree_.newProgram + "a.dll"));
  EXPECT_EQ(OrderLog().find("Start"), std::string::npos) << OrderLog();
  EXPECT_TRUE(ReportSent());
}

// A run that failed on its third file leaves the first two in the staging
// folder; the next run fetches only the third.
TEST_F(UpdateThreadTest, RerunFetchesOnlyWhatIsNotStaged) {
  MakeFixture(R"(
file Corvane client
file a.dll random 5000 zf7z changed
file b.txt text 3000 changed
file c.bin random 4000 changed
)");
  ServerFault fault;
  fault.path = "/Update/Corvane/1.0.0.2/Win32/c.bin";
  fault.always = true;
  fault.kind = FaultKind::NotFound;
  server_->AddFault(fault);
  ASSERT_EQ(RunUpdate(), URC_DOWNLOAD_ERR);
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateVer/b.txt"), ReadWholeFile(tree_.newProgram + "b.txt"));
  EXPECT_EQ(OrderLog().find("Start"), std::string::npos);

  StartServer();  // the same tree, without the fault
  ASSERT_EQ(RunUpdate(), URC_NO_ERR);
  const std::vector<std::string> got = Requested();
  EXPECT_TRUE(Requested("/c.bin", got));
  EXPECT_FALSE(Requested("/a.dll.z", got));
  EXPECT_FALSE(Requested("/b.txt", got));
  EXPECT_TRUE(ClientSaw("Corvane ver=1.0.0.2 folder=ok")) << OrderLog();
}

// Blanks the transfer size (field 6) of every file line.
std::string UnknownTransferSizes(const std::string& text) {
  return std::regex_replace(text, std::regex("(=dlfl;[^;]*;[^;]*;[^;]*;[^;]*;[^;]*;)[^;]*;"), "$1;");
}

// Files of unknown size count alike: two of them split 13..90 in halves.
TEST_F(UpdateThreadTest, TwoUnknownSizesShareTheFileWindow) {
  MakeFixture(R"(
file Corvane client
file a.dll random 3000 changed
file b.txt text 2000 changed
)");
  EditServedDescription(UnknownTransferSizes);
  ASSERT_EQ(RunUpdate(), URC_NO_ERR);
  const std::vector<int> percents = handle_.Percents();
  // Each file's window is announced by its start: 13, then 13 + 77 / 2.
  const auto first = std::find(percents.begin(), percents.end(), 13);
  ASSERT_NE(first, percents.end());
  const auto second = std::find(first, percents.end(), 51);
  ASSERT_NE(second, percents.end());
  for (auto it = first; it != second; ++it) EXPECT_LE(*it, 51);
  for (auto it = second; it != percents.end() && *it < 90; ++it) EXPECT_GE(*it, 51);
}

// Every file listed with nothing to transfer: the window is not divided by a
// total of 0.
TEST_F(UpdateThreadTest, EmptyFilesOnlyGiveTheWholeWindow) {
  MakeFixture(R"(
file Corvane client
file empty.dat empty newonly
)");
  ASSERT_EQ(RunUpdate(), URC_NO_ERR);
  std::error_code error;
  EXPECT_EQ(std::filesystem::file_size(tree_.oldProgram + "empty.dat", error), 0u);
  EXPECT_FALSE(error) << error.message();
  EXPECT_TRUE(ClientSaw("Corvane ver=1.0.0.2 folder=ok")) << OrderLog();
}

// Past 21 MB done x 100 leaves 32 bits; the percent must still only grow
// and stay in 0..100.
TEST_F(UpdateThreadTest, PercentsOfABigFileOnlyGrow) {
  MakeFixture(R"(
file Corvane client
file big.bin large 26000000 changed
)");
  ASSERT_EQ(RunUpdate(), URC_NO_ERR);
  const std::vector<int> percents = handle_.Percents();
  ASSERT_FALSE(percents.empty());
  for (size_t i = 0; i < percents.size(); ++i) {
    EXPECT_GE(percents[i], 0);
    EXPECT_LE(percents[i], 100);
    if (i) {
      EXPECT_GE(percents[i], percents[i - 1]) << "at " << i;
    }
  }
  EXPECT_GE(percents.back(), 90);
}

}  // namespace
