// The updater program itself, as the client starts it: a real window on its
// own X server, the scripted server and an old program folder; the process
// status and the folder tell the result.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "PRXCmdLineAnalyse.h"
#include "TempFolder.h"
#include "UpdateFixture.h"
#include "UpdateServer.h"

extern char** environ;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The process status, or -1000 when it did not end within the limit.
int RunProgram(const std::string& program, const std::string& argument, int seconds) {
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1001;
  for (int i = 0; i < seconds * 10; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1002;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1000;
}

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // The fake client the update started outlives us unless ended.
    for (int i = 0; i < 50 && Read(tree_.OrderLog()).find("\nCorvane ") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    long pid = 0;
    std::ifstream(tree_.tools + "client.pid") >> pid;
    if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);
  }

  TempFolder root_;
  FixtureTree tree_;
};

TEST_F(ProgramTest, UpdatesTheFolderAndExitsWithZero) {
  ASSERT_TRUE(root_.Valid());
  FixtureLayout layout;
  std::string error;
  ASSERT_TRUE(ParseFixtureLayout(R"(
file Corvane client
file a.dll random 5000 zf7z changed
file b.txt text 3000 changed
file same.dat random 2000
)",
                                 &layout, &error))
      << error;
  const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, ""};
  ASSERT_TRUE(WriteFixture(layout, binaries, root_.Path(), &tree_, &error)) << error;
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1", tree_.server));

  const std::string program = tree_.oldProgram + "CorvaneUpdate";
  std::filesystem::copy_file(CORVANE_UPDATE_PROGRAM, program, std::filesystem::copy_options::overwrite_existing);
  const std::wstring port = std::to_wstring(server.port());
  PRXCmdLineAnalyse cmdLine;
  cmdLine.ParseItem(L"-SPVER=1.0.0.2;other");
  cmdLine.ParseItem(L"-UPURL=127.0.0.1:" + port + L"/Update/Corvane/1.0.0.2/Win32");
  cmdLine.ParseItem(L"-LOGCFG=0;127.0.0.1:1:" + port);
  std::wstring argument = L"test:" + cmdLine.ToCmdLine();

  EXPECT_EQ(RunProgram(program, std::string(argument.begin(), argument.end()), 120), 0)
      << Read(tree_.oldProgram + "Log/AppLog.log");
  EXPECT_EQ(Read(tree_.oldProgram + "UpdateInfo.ini"), Read(tree_.newProgram + "UpdateInfo.ini"))
      << "the installed version is the new one";
}

// -1 reaches the client as 255: the status holds 8 bits.
TEST_F(ProgramTest, NoArgumentEndsWithMinusOne) {
  ASSERT_TRUE(root_.Valid());
  const std::string program = root_.Path() + "CorvaneUpdate";
  std::filesystem::copy_file(CORVANE_UPDATE_PROGRAM, program);
  EXPECT_EQ(RunProgram(program, "", 30), 255);
  EXPECT_NE(Read(root_.Path() + "Log/AppLog.log").find("FileDownload null param!"), std::string::npos);
}

}  // namespace
