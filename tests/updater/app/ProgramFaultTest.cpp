// The real updater against servers and folders that fail it: a faulty answer
// on one server, on every server, a file that contradicts its MD5, a broken
// container, a garbage description, a description whose updater lies in a
// folder, no server at all, a staging folder that runs out of room. Each run ends in one of two ways only: 0 with the new
// version installed byte for byte, or its failure code with the error box
// (answered by a key), the old install untouched and a report posted.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <signal.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BoxAnswerer.h"
#include "ChildProcess.h"
#include "FolderFiles.h"
#include "RealUpdater.h"
#include "ReportBody.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"

namespace fs = std::filesystem;

namespace {

constexpr char kNewVer[] = "1.0.0.2";
constexpr char kServedPath[] = "/Update/Corvane/1.0.0.2/Win32/";
constexpr char kReportPath[] = "/logsvr/reporterr/";

enum class Scope { One, All };
enum class Target { Description, BigFile, PackedFile };
enum class Setup { Served, BadMd5, Corrupt, GarbageDescription, UpdaterInFolder, ServersDown, DiskFull };

struct FaultCase {
  const char* name;
  int servers;
  Setup setup;
  FaultKind fault;
  Target target;
  Scope scope;
  bool always;  // every request for the path, not only the first
  long long amount;
  int code;  // 0: the update must succeed
};

// Each kind of the server's faults once or twice here, where the process, its
// box and its folder are what count; the transfer tests play every fault on
// 1, 2 and 4 servers. Faults a server may play while another (or a retry)
// still delivers: the update must come through whole. The same faults on every server, every
// time, leave nothing good to fetch: the run must fail with 5.
const FaultCase kCases[] = {
    {"DropOnOne", 2, Setup::Served, FaultKind::DropAt, Target::BigFile, Scope::One, true, 1000, 0},
    {"ShortBodyOnOne", 2, Setup::Served, FaultKind::ShortBody, Target::BigFile, Scope::One, true, 100, 0},
    {"WrongRangeStartOnOne", 2, Setup::Served, FaultKind::WrongRangeStart, Target::BigFile, Scope::One, true, 7, 0},
    {"WrongTotalOnOne", 2, Setup::Served, FaultKind::WrongTotal, Target::BigFile, Scope::One, true, 0, 0},
    {"NotFoundOnOne", 2, Setup::Served, FaultKind::NotFound, Target::BigFile, Scope::One, true, 0, 0},
    {"ServerErrorOnOneOfFour", 4, Setup::Served, FaultKind::ServerError, Target::BigFile, Scope::One, true, 0, 0},
    {"StallBeforeHeadOnOne", 2, Setup::Served, FaultKind::StallBeforeHead, Target::BigFile, Scope::One, true, 0, 0},
    {"StallAfterHeadOnOne", 2, Setup::Served, FaultKind::StallAfterHead, Target::BigFile, Scope::One, true, 0, 0},
    {"StallMidBodyOnOne", 2, Setup::Served, FaultKind::StallMidBody, Target::BigFile, Scope::One, true, 1000, 0},
    {"TrickleOnOne", 2, Setup::Served, FaultKind::Trickle, Target::BigFile, Scope::One, true, 20000, 0},
    {"RedirectLoopOnOne", 2, Setup::Served, FaultKind::RedirectLoop, Target::BigFile, Scope::One, true, 0, 0},
    {"DescriptionDropOnOne", 2, Setup::Served, FaultKind::DropAt, Target::Description, Scope::One, true, 10, 0},
    // Answers that are lawful HTTP, on every server.
    {"RedirectOnAll", 2, Setup::Served, FaultKind::Redirect302, Target::BigFile, Scope::All, true, 0, 0},
    {"WholeFileOnAll", 2, Setup::Served, FaultKind::WholeFile, Target::BigFile, Scope::All, true, 0, 0},
    {"StarTotalOnAll", 2, Setup::Served, FaultKind::StarTotal, Target::BigFile, Scope::All, true, 0, 0},
    {"NoLengthOnAll", 2, Setup::Served, FaultKind::NoLength, Target::BigFile, Scope::All, true, 0, 0},
    {"ChunkedOnAll", 2, Setup::Served, FaultKind::Chunked, Target::BigFile, Scope::All, true, 0, 0},
    // Lies in Content-Range on every server: only the block requests get a
    // ranged answer, so the whole-file stream alone must bring the update.
    {"WrongRangeStartOnAll", 2, Setup::Served, FaultKind::WrongRangeStart, Target::BigFile, Scope::All, true, 7, 0},
    {"WrongTotalOnAll", 2, Setup::Served, FaultKind::WrongTotal, Target::BigFile, Scope::All, true, 0, 0},
    // A fault that passes: the retry gets the file.
    {"DropOnAllOnce", 2, Setup::Served, FaultKind::DropAt, Target::BigFile, Scope::All, false, 1000, 0},
    {"ServerErrorOnAllOnce", 2, Setup::Served, FaultKind::ServerError, Target::PackedFile, Scope::All, false, 0, 0},
    // Nothing good anywhere. For DropOnAll the same first bytes again and
    // again are no progress: the servers back off and the silence ends the
    // run, not the dialog's watchdog.
    {"DropOnAll", 2, Setup::Served, FaultKind::DropAt, Target::BigFile, Scope::All, true, 1000, 5},
    {"NotFoundOnAll", 1, Setup::Served, FaultKind::NotFound, Target::PackedFile, Scope::All, true, 0, 5},
    {"ServerErrorOnAll", 2, Setup::Served, FaultKind::ServerError, Target::BigFile, Scope::All, true, 0, 5},
    {"StallBeforeHeadOnAll", 2, Setup::Served, FaultKind::StallBeforeHead, Target::BigFile, Scope::All, true, 0, 5},
    {"EndlessOnAll", 2, Setup::Served, FaultKind::Endless, Target::PackedFile, Scope::All, true, 0, 5},
    {"RedirectLoopOnAll", 2, Setup::Served, FaultKind::RedirectLoop, Target::BigFile, Scope::All, true, 0, 5},
    {"DescriptionNotFoundOnAll", 2, Setup::Served, FaultKind::NotFound, Target::Description, Scope::All, true, 0, 5},
    // The folders and files themselves.
    {"FileContradictsItsMd5", 2, Setup::BadMd5, FaultKind::None, Target::BigFile, Scope::All, true, 0, 5},
    {"BrokenContainer", 2, Setup::Corrupt, FaultKind::None, Target::BigFile, Scope::All, true, 0, 5},
    {"GarbageDescription", 2, Setup::GarbageDescription, FaultKind::None, Target::BigFile, Scope::All, true, 0, 9},
    // Staged as UpdateVer/bin/, it would not know the program folder and
    // hand over again and again: refused before any file is fetched.
    {"UpdaterInFolder", 2, Setup::UpdaterInFolder, FaultKind::None, Target::BigFile, Scope::All, true, 0, 9},
    {"AllServersDown", 3, Setup::ServersDown, FaultKind::None, Target::BigFile, Scope::All, true, 0, 5},
    {"DiskFullWhileStaging", 2, Setup::DiskFull, FaultKind::None, Target::BigFile, Scope::All, true, 0, 5},
};

std::string Read(const std::string& path) { return ReadWholeFile(path); }

std::string Layout(Setup setup) {
  std::string layout = "file Corvane client\n";
  layout += std::string("file a.dll random 5000 zf7z changed") + (setup == Setup::Corrupt ? " corrupt" : "") + "\n";
  layout += std::string("file big.bin random 300000 changed") + (setup == Setup::BadMd5 ? " badmd5" : "") + "\n";
  layout += "file b.txt text 3000 changed\nfile same.dat random 2000\n";
  if (setup == Setup::GarbageDescription) layout += "fault description\n";
  if (setup == Setup::UpdaterInFolder) layout += "file bin/CorvaneUpdate random 4000 changed\n";
  return layout;
}

std::string PathOf(Target target) {
  switch (target) {
    case Target::Description: return std::string(kServedPath) + "UpdateInfo.ini." + kNewVer;
    case Target::BigFile: return std::string(kServedPath) + "big.bin";
    case Target::PackedFile: return std::string(kServedPath) + "a.dll.z";
  }
  return std::string();
}

// Every file of the folder but the run's own (its log, its staging folder,
// the settings a report writes its id to, with their lock), by relative name.
FolderFileMap InstalledFiles(const std::string& folder) {
  return FolderFiles(folder, [](const std::string& name) {
    return name.rfind("Log", 0) == 0 || name.rfind("UpdateVer", 0) == 0 || name == "UserCfg.ini" ||
           name == ".UserCfg.ini.lock";
  });
}

// How the disk-full case gets a small file system of its own for the staging
// folder: a private mount namespace, as root or inside a user namespace.
std::vector<std::string> SmallStagingLauncher(const std::string& staging, std::string* why) {
  const std::string unshare = FindInPath("unshare");
  if (unshare.empty()) {
    *why = "no unshare program";
    return {};
  }
  const std::string script = "mount -t tmpfs -o size=64k tmpfs \"$0\" && exec \"$@\"";
  std::vector<std::vector<std::string>> ways;
  if (geteuid() == 0) ways.push_back({unshare, "-m", "--propagation", "private"});
  ways.push_back({unshare, "-r", "-m", "--propagation", "private"});
  for (const auto& way : ways) {
    std::vector<std::string> launcher = way;
    launcher.insert(launcher.end(), {FindInPath("sh"), "-c", script, staging});
    // The whole launcher once with a program that does nothing: the mount
    // goes with the namespace when it ends.
    std::vector<std::string> probe = launcher;
    probe.push_back(FindInPath("true"));
    if (RunWithDeadline(probe, 10).exitCode() == 0) return launcher;
  }
  *why = "no private mount namespace can be made here (neither as root nor in a user namespace)";
  return {};
}

class ProgramFaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void TearDown() override {
    // A successful update starts the fake client, which outlives us unless ended.
    EndStartedClient(tree_, exitCode_ == 0 ? 5000 : 0);
  }

  std::vector<std::string> Reports() const {
    std::vector<std::string> bodies;
    for (const LoggedRequest& request : report_.Log())
      if (request.method == "POST" && request.path == kReportPath) bodies.push_back(request.body);
    return bodies;
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
  UpdateServer report_;
  int exitCode_ = -1;
};

TEST_P(ProgramFaultTest, EndsWithTheNewVersionWholeOrWithItsCodeAndTheOldOneIntact) {
  const FaultCase& c = GetParam();
  ASSERT_TRUE(root_.ok());
  FixtureLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout(Layout(c.setup), &layout, &error)) << error;
  const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""};
  ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
  if (c.setup == Setup::UpdaterInFolder) {
    const std::string description = tree_.ServedDescription(kNewVer);
    std::string text = Read(description);
    const std::string line = "UpdateExe=CorvaneUpdate\r\n";
    const size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, line.size(), "UpdateExe=bin\\CorvaneUpdate\r\n");
    std::ofstream(description, std::ios::binary | std::ios::trunc) << text;
  }

  // The boxes are known by their English captions.
  std::ofstream(tree_.oldProgram + "UserCfg.ini") << "[CFG]\r\nLanguage=en_US\r\n";
  RealUpdater updater(tree_.oldProgram);
  ASSERT_TRUE(updater.ok());
  // The program's own waits are a minute for a silent transfer and 20 s for
  // a silent request, in the same proportion; ProgramTest runs on them.
  updater.AddEnvironment("CORVANE_UPDATE_TEST_NO_DATA_MS=2000");
  updater.AddEnvironment("CORVANE_UPDATE_TEST_HTTP_TIMEOUT_MS=1000");
  // A run that hangs ends in seconds, and the check below names it.
  updater.AddEnvironment("CORVANE_UPDATE_TEST_WATCHDOG_MS=6000");
  if (c.setup == Setup::DiskFull) {
    const std::string staging = tree_.oldProgram + "UpdateVer";
    fs::create_directories(staging);
    std::string why;
    std::vector<std::string> launcher = SmallStagingLauncher(staging, &why);
    if (launcher.empty()) GTEST_SKIP() << why;
    updater.SetLauncher(launcher);
  }

  std::vector<std::unique_ptr<UpdateServer>> servers;
  std::vector<std::string> addresses;
  for (int i = 0; i < c.servers; ++i) {
    servers.emplace_back(new UpdateServer);
    ASSERT_TRUE(servers.back()->Start("127.0.0." + std::to_string(i + 1), tree_.server));
    addresses.push_back(servers.back()->address() + ":" + std::to_string(servers.back()->port()));
    if (c.fault != FaultKind::None && (c.scope == Scope::All || i == 0)) {
      ServerFault fault;
      fault.path = PathOf(c.target);
      fault.always = c.always;
      fault.kind = c.fault;
      fault.amount = c.amount;
      // Where a redirect sends the client: the same bytes, elsewhere.
      fault.target = "/moved" + fault.path;
      servers.back()->PutFile(fault.target, Read(tree_.server + fault.path.substr(1)));
      servers.back()->AddFault(fault);
    }
  }
  // A closed port refuses at once, as a machine that is up but serves nothing.
  if (c.setup == Setup::ServersDown)
    for (auto& server : servers) server->Stop();
  ASSERT_TRUE(report_.Start("127.0.0.1"));
  report_.PutFile(kReportPath, "OK");
  const std::string reportAddress = "127.0.0.1:" + std::to_string(report_.port());

  const FolderFileMap before = InstalledFiles(tree_.oldProgram);
  BoxAnswerer boxes({"Error", "Warning"});
  ASSERT_TRUE(boxes.ok());
  ChildProcess child;
  ASSERT_TRUE(updater.Start(UpdaterArgument({addresses, kNewVer, reportAddress}), &child));
  exitCode_ = child.wait(std::chrono::seconds(90)).exitCode();
  boxes.Stop();
  const std::string log = Read(updater.AppLog());
  // A row whose fault never played proves nothing.
  if (c.fault != FaultKind::None) {
    const std::string path = PathOf(c.target);
    int asked = 0, followed = 0;
    for (const auto& server : servers) {
      for (const LoggedRequest& request : server->Log()) {
        asked += request.path == path ? 1 : 0;
        followed += request.path == "/moved" + path ? 1 : 0;
      }
    }
    EXPECT_GT(asked, 0) << path << " was never asked for";
    if (c.fault == FaultKind::Redirect302) {
      EXPECT_GT(followed, 0) << "the redirect was not followed";
    }
  }

  if (c.code == 0) {
    ASSERT_EQ(exitCode_, 0) << log;
    EXPECT_TRUE(boxes.Answered().empty());
    std::istringstream manifest(Read(tree_.tools + "manifest-" + kNewVer + ".txt"));
    std::string line;
    while (std::getline(manifest, line)) {
      const std::string name = line.substr(0, line.find('\t'));
      EXPECT_TRUE(Read(tree_.oldProgram + name) == Read(tree_.newProgram + name)) << name << " is not N+1's";
    }
    EXPECT_EQ(Read(tree_.oldProgram + "UpdateInfo.ini"), Read(tree_.newProgram + "UpdateInfo.ini"));
    EXPECT_TRUE(fs::is_empty(tree_.oldProgram + "UpdateVer")) << "the staging folder is left over";
    EXPECT_TRUE(Reports().empty());
    return;
  }
  ASSERT_EQ(exitCode_, c.code) << log;
  EXPECT_EQ(boxes.Answered(), std::vector<std::string>{"Error"}) << "one error box, answered with Return";
  if (c.setup == Setup::DiskFull) {
    EXPECT_NE(log.find("(err:112)"), std::string::npos) << "not the full disk: " << log;
  }
  if (c.setup == Setup::UpdaterInFolder) {
    EXPECT_NE(log.find("names an updater in a folder! (UpdateExe:bin\\CorvaneUpdate)"), std::string::npos) << log;
    for (const auto& server : servers)
      for (const LoggedRequest& request : server->Log())
        EXPECT_EQ(request.path, PathOf(Target::Description)) << "fetched after the refusal";
    EXPECT_EQ(log.find("run new update"), std::string::npos) << log;
  }
  EXPECT_NE(log.find("Update failed! (exitCode:" + std::to_string(c.code) + ")"), std::string::npos) << log;
  EXPECT_EQ(FolderChanges(before, InstalledFiles(tree_.oldProgram)), "") << "the old install changed";
  // The thread ends each of these runs and reports it; the watchdog would
  // end the process without a report.
  EXPECT_EQ(log.find("Update percent not change for a long time!"), std::string::npos) << log;
  const std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const std::string report = InflateReport(reports[0]);
  EXPECT_NE(report.find("version:1.0.0.1;"), std::string::npos) << report;
  EXPECT_NE(report.find("update failed! (code:" + std::to_string(c.code)), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Faults, ProgramFaultTest, ::testing::ValuesIn(kCases), RowName());

// A stop, check, setup or start command that never returns (waited for until
// it exits, the default): the watchdog ends it and the run ends with 5 and
// its report, as a stalled transfer's does. What a stopped install leaves,
// a re-run repairs (the kill tests show it).
struct HungCase {
  const char* command;
  bool checkFails;  // the setup command runs only after a failed check
};

const HungCase kHung[] = {{"Stop", false}, {"Check", false}, {"Setup", true}, {"Start", false}};

class HungCommandTest : public ::testing::TestWithParam<HungCase> {
 protected:
  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
};

TEST_P(HungCommandTest, EndsTheRunWithFiveAndItsReport) {
  ASSERT_TRUE(root_.ok());
  FixtureLayout layout;
  std::string error;
  const std::string text = std::string("file Corvane client\nfile b.txt text 3000 changed\n") +
                           (GetParam().checkFails ? "check-exit 1\n" : "");
  ASSERT_TRUE(ParseFixtureLayout(text, &layout, &error)) << error;
  ASSERT_TRUE(WriteFixture(layout, {UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""}, root_.folder(), &tree_, &error))
      << error;
  std::ofstream(tree_.oldProgram + "UserCfg.ini") << "[CFG]\r\nLanguage=en_US\r\n";
  const std::wstring command = Utf8ToWide(GetParam().command);
  // Ten minutes: for ever, against the watchdog's seconds here.
  ASSERT_TRUE(WritePrivateProfileStringW(command.c_str(), L"hold", L"600000",
                                         Utf8ToWide(tree_.tools + "tools.ini").c_str()));

  UpdateServer server, report;
  ASSERT_TRUE(server.Start("127.0.0.1", tree_.server));
  ASSERT_TRUE(report.Start("127.0.0.1"));
  report.PutFile(kReportPath, "OK");
  RealUpdater updater(tree_.oldProgram);
  ASSERT_TRUE(updater.ok());
  updater.AddEnvironment("CORVANE_UPDATE_TEST_WATCHDOG_MS=1500");
  BoxAnswerer boxes({"Error"});
  ASSERT_TRUE(boxes.ok());
  ChildProcess child;
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  const std::string reportAddress = "127.0.0.1:" + std::to_string(report.port());
  ASSERT_TRUE(updater.Start(UpdaterArgument({{address}, kNewVer, reportAddress}), &child));
  const int code = child.wait(std::chrono::seconds(60)).exitCode();
  boxes.Stop();
  const std::string log = Read(updater.AppLog());
  ASSERT_EQ(code, 5) << log;
  EXPECT_EQ(boxes.Answered(), std::vector<std::string>{"Error"});
  EXPECT_NE(log.find("cmd gives no sign of life, ended! (cmd:\"" + tree_.tools + GetParam().command),
            std::string::npos)
      << log;

  int reports = 0;
  for (const LoggedRequest& request : report.Log()) {
    if (request.method != "POST" || request.path != kReportPath) continue;
    ++reports;
    const std::string body = InflateReport(request.body);
    EXPECT_NE(body.find("update failed! (code:5"), std::string::npos) << body;
  }
  EXPECT_EQ(reports, 1);

  // The command itself was ended with the run.
  const long pid = std::atol(Read(tree_.tools + GetParam().command + ".pid").c_str());
  ASSERT_GT(pid, 0);
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(gone) << "the command still runs";
  if (!gone) kill(static_cast<pid_t>(pid), SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(Commands, HungCommandTest, ::testing::ValuesIn(kHung),
                         [](const ::testing::TestParamInfo<HungCase>& info) { return std::string(info.param.command); });

}  // namespace
