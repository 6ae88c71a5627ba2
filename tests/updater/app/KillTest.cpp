// The real updater killed with SIGKILL at each phase of an update, timed from
// its trace log, the commands' order log and the server's request log. What a
// kill may leave: files of N or of N+1 only (never a part of one), the
// installed description N's until it is copied, nothing touched outside the
// program folder; a second run then ends 0 with the restarted client's check
// passing, and fetches only what was neither installed nor staged whole.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include "FolderFiles.h"
#include "RealUpdater.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"

namespace fs = std::filesystem;

namespace {

using Files = FolderFileMap;

enum class Phase {
  Description,
  Files,
  Unpack,
  HandOver,
  StopCmd,
  Moves,
  CheckCmd,
  SetupCmd,
  DescriptionCopy,
  StartCmd
};

struct KillCase {
  const char* name;
  Phase phase;
  bool descriptionCopied;  // the installed description is N+1's at the kill
};

void PrintTo(const KillCase& kase, std::ostream* out) { *out << kase.name; }

const char kVersionN[] = "1.0.0.1";
const char kVersionN1[] = "1.0.0.2";

// z.dll is unpacked first, b.txt fetched third; main's own files and the
// module section each run their commands; a failing Check makes Setup run.
const char kLayout[] = R"(
file Corvane client
file z.dll random 20000 zf7z changed
file a.dll random 3000 changed
file b.txt text 2000 changed
file same.dat random 1000
file m.dll random 2000 changed module
file gone.txt text 100 oldonly
check-exit 1
)";

// Long enough that the kill always comes first; the test never waits it out.
const char kHold[] = "60000";

std::string Read(const std::string& path) { return ReadWholeFile(path); }

bool WaitUntil(const std::function<bool()>& done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool Under(const std::string& rel, const char* folder) { return rel.compare(0, strlen(folder), folder) == 0; }

// The program folder proper: neither its log nor the staging folder.
Files ProgramFiles(const std::string& folder) {
  return FolderFiles(folder, [](const std::string& rel) { return Under(rel, "Log/") || Under(rel, "UpdateVer/"); });
}

const std::string* Find(const Files& files, const std::string& rel) {
  auto it = files.find(rel);
  return it == files.end() ? nullptr : &it->second;
}

// Ends a process that is not (or no longer) ours through ChildProcess: one
// the updater started, handed to us as the subreaper when the updater ended.
void KillAndReap(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The exit code of an orphan handed to us, -1 when it did not end by exit()
// in time (it is killed then).
int WaitOrphan(pid_t pid, int seconds) {
  int status = 0;
  for (int i = 0; i < seconds * 100; ++i) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  KillAndReap(pid);
  return -1;
}

long ReadPid(const std::string& path) {
  long pid = 0;
  std::ifstream(path) >> pid;
  return pid;
}

// The pid the last hand-over in the trace log started.
pid_t LastHandOverPid(const std::string& log) {
  const char kMark[] = "run new-update(pid:";
  const size_t at = log.rfind(kMark);
  if (at == std::string::npos) return -1;
  return static_cast<pid_t>(std::atol(log.c_str() + at + sizeof kMark - 1));
}

std::set<std::string> FetchedPaths(const UpdateServer& server) {
  std::set<std::string> paths;
  for (const LoggedRequest& request : server.Log())
    if (request.method == "GET") paths.insert(request.path);
  return paths;
}

int Requests(const UpdateServer& server, const std::string& path) {
  int count = 0;
  for (const LoggedRequest& request : server.Log()) count += request.path == path;
  return count;
}

std::string Join(const std::set<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += "\n  " + item;
  return text;
}

class KillTest : public ::testing::TestWithParam<KillCase> {
 protected:
  static void SetUpTestSuite() {
    // What the killed updater started (a command, the new updater of a
    // hand-over, the client) comes to us: we end it and read its status.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
  }

  // Whatever was handed to us and still runs (a client, a held command of a
  // failed case) ends here: nothing outlives the test.
  void TearDown() override {
    for (pid_t pid : AdoptedChildren()) KillAndReap(pid);
  }

  static std::vector<pid_t> AdoptedChildren() {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::string stat = Read(entry.path().string() + "/stat");
      const size_t close = stat.rfind(')');
      if (close == std::string::npos) continue;
      char state = 0;
      long parent = 0;
      if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &parent) == 2 && parent == getpid())
        children.push_back(static_cast<pid_t>(std::atol(name.c_str())));
    }
    return children;
  }

  std::string ServedPath(const std::string& name) const {
    return "/" + tree_.ServedFolder(kVersionN1).substr(tree_.server.size()) + name;
  }
  std::string DescriptionPath() const { return ServedPath(std::string("UpdateInfo.ini.") + kVersionN1); }
  std::string ServedPath(const FixtureFile& file) const { return ServedPath(file.name + (file.zf7z ? ".z" : "")); }

  // Outside the program folder: the fixture's other folders and the file
  // beside it, less what the commands and the client write by design.
  Files Outside() const {
    const std::string program = fs::path(tree_.oldProgram).parent_path().filename().string() + "/";
    return FolderFiles(tree_.root, [&](const std::string& rel) {
      if (Under(rel, program.c_str())) return true;
      if (!Under(rel, "tools/")) return false;
      const std::string name = rel.substr(6);
      // tools.ini and its lock are the test's own writes.
      return name == "order.log" || name.find("tools.ini") != std::string::npos ||
             (name.size() > 4 && name.rfind(".pid") == name.size() - 4);
    });
  }

  // Every file of the program folder N's or N+1's, the installed description
  // N's until its copy; every staged file N+1's whole.
  void ExpectWholeFiles(const Files& program, const Files& staged, bool descriptionCopied) const {
    for (const auto& [rel, bytes] : program) {
      const std::string* n = Find(oldFiles_, rel);
      const std::string* n1 = Find(newFiles_, rel);
      if (rel == "UpdateInfo.ini") {
        EXPECT_EQ(bytes, descriptionCopied ? *n1 : *n) << "the installed description";
      } else {
        EXPECT_TRUE((n && bytes == *n) || (n1 && bytes == *n1)) << rel << " is neither N's nor N+1's";
      }
    }
    for (const auto& [rel, bytes] : oldFiles_)
      EXPECT_TRUE(!newFiles_.count(rel) || program.count(rel)) << rel << " went missing";
    for (const auto& [rel, bytes] : staged) {
      const std::string* n1 = Find(newFiles_, rel);
      EXPECT_TRUE(n1 && bytes == *n1) << "UpdateVer/" << rel << " is not N+1's whole file";
    }
  }

  // What a second run has to fetch: the description until it is installed,
  // and each changed file neither in place nor staged whole.
  std::set<std::string> Missing(const Files& program, const Files& staged, bool descriptionCopied) const {
    std::set<std::string> missing;
    if (!descriptionCopied) missing.insert(DescriptionPath());
    for (const FixtureFile& file : layout_.files) {
      const std::string* n = Find(oldFiles_, file.name);
      const std::string* n1 = Find(newFiles_, file.name);
      if (!n1 || (n && *n == *n1)) continue;
      const std::string* now = Find(program, file.name);
      const std::string* ready = Find(staged, file.name);
      if ((now && *now == *n1) || (ready && *ready == *n1)) continue;
      missing.insert(ServedPath(file));
    }
    return missing;
  }

  std::string Order() const { return Read(tree_.OrderLog()); }
  bool Staged(const std::string& name) const {
    const std::string path = tree_.oldProgram + "UpdateVer/" + name;
    const std::string* bytes = Find(newFiles_, name);
    return bytes && fs::exists(path) && Read(path) == *bytes;
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
  FixtureLayout layout_;
  Files oldFiles_, newFiles_;
};

TEST_P(KillTest, LeavesWholeFilesAndARerunFinishes) {
  const KillCase& kase = GetParam();
  const bool handOver = kase.phase == Phase::HandOver;
  ASSERT_TRUE(root_.ok());
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout(std::string(kLayout) + (handOver ? "file CorvaneUpdate updater\n" : ""), &layout_,
                                 &error))
      << error;
  const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, CORVANE_UPDATE_PROGRAM};
  ASSERT_TRUE(WriteFixture(layout_, binaries, root_.folder(), &tree_, &error)) << error;
  RealUpdater updater(tree_.oldProgram);
  ASSERT_TRUE(updater.ok());
  // The copy run is N's own updater, which N+1 replaces.
  if (handOver) {
    ASSERT_TRUE(RewriteVersionRecord(updater.program(), kVersionN));
  }
  std::ofstream(tree_.root + "beside.txt") << "a file beside the program folder\n";
  oldFiles_ = ProgramFiles(tree_.oldProgram);
  newFiles_ = ProgramFiles(tree_.newProgram);
  const Files outside = Outside();
  const std::string tools = Read(tree_.tools + "tools.ini");

  UpdateServer first;
  ASSERT_TRUE(first.Start("127.0.0.1", tree_.server));
  std::vector<std::string> environment = updater.Environment();
  const char* heldCommand = nullptr;
  std::function<bool()> reached;
  switch (kase.phase) {
    case Phase::Description:
      first.AddFault({DescriptionPath(), 1, true, FaultKind::StallMidBody, 100, ""});
      reached = [&] { return Requests(first, DescriptionPath()) > 0; };
      break;
    case Phase::Files:
      first.AddFault({ServedPath("b.txt"), 1, true, FaultKind::StallMidBody, 500, ""});
      reached = [&] { return Requests(first, ServedPath("b.txt")) > 0 && Staged("z.dll") && Staged("a.dll"); };
      break;
    case Phase::Unpack:
      environment.push_back(std::string("CORVANE_UPDATE_TEST_PAUSE_AFTER_UNPACK=") + kHold);
      reached = [&] { return Staged("z.dll"); };
      break;
    case Phase::HandOver:
      // The new updater fetches the description again: it stalls there, so
      // the kill finds it just started.
      first.AddFault({DescriptionPath(), 2, true, FaultKind::StallMidBody, 100, ""});
      reached = [&] {
        return Requests(first, DescriptionPath()) > 1 && LastHandOverPid(Read(updater.AppLog())) > 0;
      };
      break;
    case Phase::StopCmd:
      heldCommand = "Stop";
      reached = [&] { return Order().find("Stop main\n") != std::string::npos; };
      break;
    case Phase::Moves:
      environment.push_back(std::string("CORVANE_UPDATE_TEST_PAUSE_AFTER_MOVE=") + kHold);
      reached = [&] {
        for (const FixtureFile& file : layout_.files) {
          const std::string* now = Find(newFiles_, file.name);
          if (file.changed && now && Read(tree_.oldProgram + file.name) == *now) return true;
        }
        return false;
      };
      break;
    case Phase::CheckCmd:
      heldCommand = "Check";
      reached = [&] { return Order().find("Check module\n") != std::string::npos; };
      break;
    case Phase::SetupCmd:
      heldCommand = "Setup";
      reached = [&] { return Order().find("Setup module\n") != std::string::npos; };
      break;
    case Phase::DescriptionCopy:
      environment.push_back(std::string("CORVANE_UPDATE_TEST_PAUSE_BEFORE_DESCRIPTION_COPY=") + kHold);
      reached = [&] { return Read(updater.AppLog()).find("Update finger file...") != std::string::npos; };
      break;
    case Phase::StartCmd:
      heldCommand = "Start";
      reached = [&] { return Order().find("Start ") != std::string::npos; };
      break;
  }
  if (heldCommand) {
    ASSERT_TRUE(WritePrivateProfileStringW(Utf8ToWide(heldCommand).c_str(), L"hold", Utf8ToWide(kHold).c_str(),
                                           Utf8ToWide(tree_.tools + "tools.ini").c_str()));
  }

  const std::string firstAddress = "127.0.0.1:" + std::to_string(first.port());
  {
    ChildProcess run;
    ASSERT_TRUE(run.start({updater.program(), UpdaterArgument({{firstAddress}, kVersionN1, firstAddress})}, {},
                          environment));
    const bool hit = WaitUntil(reached, 30000);
    pid_t command = -1;
    if (heldCommand) {
      const std::string pidFile = tree_.tools + heldCommand + ".pid";
      WaitUntil([&] { return ReadPid(pidFile) > 0; }, 5000);
      command = static_cast<pid_t>(ReadPid(pidFile));
    }
    pid_t successor = -1;
    if (handOver && hit) {
      successor = LastHandOverPid(Read(updater.AppLog()));
      EXPECT_EQ(run.wait(std::chrono::seconds(10)).exitCode(), 13) << "a hand-over ends the old updater with 13";
    }
    run.kill();
    KillAndReap(successor);
    KillAndReap(command);
    first.Stop();
    ASSERT_TRUE(hit) << "the phase was not reached\n" << Read(updater.AppLog()) << Order();
  }

  const Files program = ProgramFiles(tree_.oldProgram);
  const Files staged = FolderFiles(tree_.oldProgram + "UpdateVer/", [](const std::string&) { return false; });
  ExpectWholeFiles(program, staged, kase.descriptionCopied);
  EXPECT_EQ(FolderChanges(outside, Outside()), "") << "outside the program folder";
  const std::set<std::string> missing = Missing(program, staged, kase.descriptionCopied);

  // The second run, against a server of its own, without holds.
  std::ofstream(tree_.tools + "tools.ini", std::ios::trunc) << tools;
  const size_t orderBefore = Order().size();
  UpdateServer second;
  ASSERT_TRUE(second.Start("127.0.0.1", tree_.server));
  const std::string secondAddress = "127.0.0.1:" + std::to_string(second.port());
  ChildProcess rerun;
  ASSERT_TRUE(updater.Start(UpdaterArgument({{secondAddress}, kVersionN1, secondAddress}), &rerun));
  if (handOver) {
    ASSERT_EQ(rerun.wait(std::chrono::seconds(60)).exitCode(), 13) << Read(updater.AppLog());
    const pid_t successor = LastHandOverPid(Read(updater.AppLog()));
    EXPECT_EQ(WaitOrphan(successor, 60), 0) << "the new updater's run\n" << Read(updater.AppLog());
  } else {
    EXPECT_EQ(rerun.wait(std::chrono::seconds(60)).exitCode(), 0) << Read(updater.AppLog());
  }
  const std::string passed = std::string("Corvane ver=") + kVersionN1 + " folder=ok";
  EXPECT_TRUE(WaitUntil([&] { return Order().find(passed, orderBefore) != std::string::npos; }, 10000))
      << "the restarted client's check\n" << Order();
  second.Stop();

  const Files installed = ProgramFiles(tree_.oldProgram);
  for (const auto& [rel, bytes] : newFiles_) {
    const std::string* now = Find(installed, rel);
    EXPECT_TRUE(now && *now == bytes) << rel << " is not N+1's";
  }
  for (const auto& [rel, bytes] : installed)
    EXPECT_TRUE(newFiles_.count(rel) || rel == "CorvaneUpdate") << rel << " is left from N";
  EXPECT_TRUE(FolderFiles(tree_.oldProgram + "UpdateVer/", [](const std::string&) { return false; }).empty())
      << "the staging folder is emptied";
  EXPECT_EQ(FetchedPaths(second), missing) << "fetched:" << Join(FetchedPaths(second)) << "\nmissing:" << Join(missing);
  EXPECT_EQ(FolderChanges(outside, Outside()), "") << "outside the program folder";
}

const KillCase kCases[] = {
    {"Description", Phase::Description, false},
    {"Files", Phase::Files, false},
    {"Unpack", Phase::Unpack, false},
    {"HandOver", Phase::HandOver, false},
    {"StopCmd", Phase::StopCmd, false},
    {"Moves", Phase::Moves, false},
    {"CheckCmd", Phase::CheckCmd, false},
    {"SetupCmd", Phase::SetupCmd, false},
    {"DescriptionCopy", Phase::DescriptionCopy, false},
    {"StartCmd", Phase::StartCmd, true},
};

INSTANTIATE_TEST_SUITE_P(Phases, KillTest, ::testing::ValuesIn(kCases), RowName());

}  // namespace
