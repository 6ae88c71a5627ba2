// The updater replacing itself and one updater taking a run over from another,
// through the real program: the first hands the run to the copy it staged and
// exits, or is ended by the updater that starts after it; the folder must end
// as version N+1, byte for byte, whoever finishes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "RealUpdater.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) { return ReadWholeFile(path); }

// The end of a log, for a failure's message.
std::string Tail(const std::string& log) { return log.size() > 6000 ? log.substr(log.size() - 6000) : log; }

// Every number the log gives after `before` (a regular expression ending
// where the number starts).
std::vector<long> NumbersAfter(const std::string& log, const std::string& before) {
  std::vector<long> numbers;
  const std::regex pattern(before + "(\\d+)");
  for (auto it = std::sregex_iterator(log.begin(), log.end(), pattern); it != std::sregex_iterator(); ++it)
    numbers.push_back(std::stol((*it)[1].str()));
  return numbers;
}

// The path the updater with this pid logged as its own right after it started.
std::string LoggedExecutable(const std::string& log, long pid) {
  const std::string header = "(pid:" + std::to_string(pid) + ")----------";
  const size_t at = log.find(header);
  if (at == std::string::npos) return "";
  const size_t begin = log.find('\n', at);
  if (begin == std::string::npos) return "";
  return log.substr(begin + 1, log.find('\n', begin + 1) - begin - 1);
}

bool SignalledToDeath(const ChildResult& result) {
  return result.finished && WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGKILL;
}

std::string Describe(const ChildResult& result) {
  if (!result.finished) return "still running at the deadline";
  if (WIFEXITED(result.status)) return "exit " + std::to_string(WEXITSTATUS(result.status));
  if (WIFSIGNALED(result.status)) return "signal " + std::to_string(WTERMSIG(result.status));
  return "status " + std::to_string(result.status);
}

// What differs between the updated folder and N+1 as generated: every file
// of N+1 with its bytes, nothing else beside them but the updater's own log,
// an empty staging folder and the updater the test placed when N+1 does not
// list one.
std::string FolderDifference(const std::string& updated, const std::string& expected) {
  std::string problems;
  for (const auto& entry : fs::recursive_directory_iterator(expected)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = fs::relative(entry.path(), expected).string();
    if (!fs::exists(updated + name))
      problems += "missing " + name + "; ";
    else if (Read(updated + name) != Read(entry.path().string()))
      problems += "other bytes in " + name + "; ";
  }
  for (const auto& entry : fs::recursive_directory_iterator(updated)) {
    const std::string name = fs::relative(entry.path(), updated).string();
    if (name == "Log" || name.rfind("Log/", 0) == 0 || name == "UpdateVer" || name == "CorvaneUpdate") continue;
    if (!fs::exists(expected + name)) problems += "left over " + name + "; ";
  }
  std::error_code error;
  if (fs::exists(updated + "UpdateVer") && !fs::is_empty(updated + "UpdateVer", error))
    problems += "staging folder not emptied; ";
  return problems;
}

class SelfUpdateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The updater an updater starts outlives its parent; as its subreaper we
    // get it as our child and can wait for its status.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
  }

  void TearDown() override {
    // The fake client the update started outlives us unless ended; it became
    // our child when the updater that started it exited.
    EndStartedClient(tree_, 5000);
  }

  // Both versions of the layout, N+1 served by the scripted server.
  void WriteTree(const std::string& layoutText) {
    ASSERT_TRUE(root_.ok());
    FixtureLayout layout;
    std::string error;
    ASSERT_TRUE(ParseFixtureLayout(layoutText, &layout, &error)) << error;
    const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, CORVANE_UPDATE_PROGRAM};
    ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
    ASSERT_TRUE(server_.Start("127.0.0.1", tree_.server));
    address_ = "127.0.0.1:" + std::to_string(server_.port());
  }

  // The updater of N in the program folder, as the generator wrote it (the
  // real program with N's version record).
  void PlaceUpdater(RealUpdater* updater) {
    ASSERT_TRUE(updater->ok());
    ASSERT_TRUE(RewriteVersionRecord(updater->program(), "1.0.0.1"));
    updater->AddEnvironment("CORVANE_UPDATE_TEST_HANDOVER_LINGER_MS=" + std::to_string(linger_ms_));
  }

  std::string Argument() const { return UpdaterArgument({{address_}, "1.0.0.2", address_}); }

  void ExpectUpdatedAndClientChecked() {
    EXPECT_EQ(FolderDifference(tree_.oldProgram, tree_.newProgram), "");
    std::string order;
    for (int i = 0; i < 100; ++i) {
      order = Read(tree_.OrderLog());
      if (order.find("\nCorvane ver=") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(order.find("\nCorvane ver=1.0.0.2 folder=ok\n"), std::string::npos) << order;
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
  UpdateServer server_;
  std::string address_;
  long linger_ms_ = 0;
};

constexpr char kSelfLayout[] = R"(
file Corvane client
file CorvaneUpdate updater
file a.dll random 5000 zf7z changed
file b.txt text 3000 changed
file same.dat random 2000
)";

// The old updater exits at once or stays until the new one ends it.
struct HandOverCase {
  const char* name;
  long lingerMs;
  bool oldEndedByNew;
};

class SelfUpdateHandOverTest : public SelfUpdateTest, public ::testing::WithParamInterface<HandOverCase> {};

TEST_P(SelfUpdateHandOverTest, StagedUpdaterFinishesTheRun) {
  linger_ms_ = GetParam().lingerMs;
  WriteTree(kSelfLayout);
  RealUpdater updater(tree_.oldProgram);
  PlaceUpdater(&updater);

  ChildProcess first;
  ASSERT_TRUE(updater.Start(Argument(), &first));
  const long firstPid = first.pid();
  const ChildResult firstEnd = first.wait(std::chrono::seconds(60));
  const std::string log = Read(updater.AppLog());
  if (GetParam().oldEndedByNew) {
    EXPECT_TRUE(SignalledToDeath(firstEnd)) << Describe(firstEnd) << "\n" << Tail(log);
  } else {
    EXPECT_EQ(firstEnd.exitCode(), 13) << Describe(firstEnd) << "\n" << Tail(log);
  }

  const std::vector<long> started = NumbersAfter(log, "run new-update\\(pid:");
  ASSERT_EQ(started.size(), 1u) << Tail(log);
  const long newPid = started[0];
  EXPECT_EQ(NumbersAfter(log, "update handed over! \\(code:"), std::vector<long>{newPid})
      << "the old updater names the one it handed over to";

  // Its parent is gone: the new updater is ours now.
  ChildProcess second;
  ASSERT_TRUE(second.adopt(static_cast<pid_t>(newPid)));
  const ChildResult secondEnd = second.wait(std::chrono::seconds(60));
  const std::string fullLog = Read(updater.AppLog());
  EXPECT_EQ(secondEnd.exitCode(), 0) << Describe(secondEnd) << "\n" << Tail(fullLog);

  const std::string exe = LoggedExecutable(fullLog, newPid);
  EXPECT_NE(exe.find("/UpdateVer/CorvaneUpdate"), std::string::npos) << "ran from " << exe;
  const std::vector<long> ended = NumbersAfter(fullLog, "kill pre-Tessarel pid:");
  if (GetParam().oldEndedByNew) {
    EXPECT_EQ(ended, std::vector<long>{firstPid});
  }

  ExpectUpdatedAndClientChecked();
  EXPECT_EQ(access(updater.program().c_str(), X_OK), 0) << "the installed updater runs the next update";
}

INSTANTIATE_TEST_SUITE_P(OldUpdater, SelfUpdateHandOverTest,
                         ::testing::Values(HandOverCase{"ExitsAtOnce", 0, false},
                                           HandOverCase{"StillRunning", 20000, true}),
                         RowName());

// A second updater started while the first is fetching ends it (ended from
// outside, the first leaves no exit code of its own: the kernel records the
// kill) and does the whole run itself.
TEST_F(SelfUpdateTest, SecondUpdaterTakesOverARunningOne) {
  WriteTree("file Corvane client\nfile big.dat random 400000 changed\nfile b.txt text 3000 changed\n");
  // Slow enough that the first is still fetching when the second starts.
  server_.SetThrottle(40000);
  RealUpdater updater(tree_.oldProgram);
  ASSERT_TRUE(updater.ok());

  ChildProcess first, second;
  ASSERT_TRUE(updater.Start(Argument(), &first));
  const long firstPid = first.pid();
  for (int i = 0; i < 300 && server_.BodyBytesSent() < 40000; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_GE(server_.BodyBytesSent(), 40000) << Tail(Read(updater.AppLog()));

  ASSERT_TRUE(updater.Start(Argument(), &second));
  const ChildResult firstEnd = first.wait(std::chrono::seconds(20));
  server_.SetThrottle(0);
  EXPECT_TRUE(SignalledToDeath(firstEnd)) << Describe(firstEnd) << "\n" << Tail(Read(updater.AppLog()));
  const ChildResult secondEnd = second.wait(std::chrono::seconds(60));
  const std::string log = Read(updater.AppLog());
  EXPECT_EQ(secondEnd.exitCode(), 0) << Describe(secondEnd) << "\n" << Tail(log);
  EXPECT_EQ(NumbersAfter(log, "kill pre-Tessarel pid:"), std::vector<long>{firstPid}) << Tail(log);

  ExpectUpdatedAndClientChecked();
}

}  // namespace
