// The update fixture against the updater's own readers: served containers
// decode to the listed bytes, the faulty variants are faulty, the copied
// updater carries its version, and the command programs and the fake client
// behave as the descriptions expect.
#include <gtest/gtest.h>

#include <platform/Strings.h>

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ChildProcess.h"
#include "FWUpdateIni.h"
#include "FingerTestSupport.h"
#include "MD5.h"
#include "ProcessHelpers.h"
#include "ScopedTempDir.h"
#include "SystemHelpers.h"
#include "UpdateFixture.h"
#include "Zf7z.h"

namespace {

const char kLayout[] = R"(
# every kind, the faults, a failing Check and a Setup that signals
file Corvane client
file CorvaneUpdate updater
file a.dll random 5000 zf7z changed
file notes.txt text 3000 zf7z
file empty.dat empty zf7z
file bad.bin random 100 badmd5
file broken.bin random 4000 zf7z corrupt
check-exit 3
signal Setup fixture_ready
fault description
)";

class FixtureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new ScopedTempDir(ScopedTempDir::kAwkwardPrefix);
    ASSERT_TRUE(root_->ok());
    FixtureLayout layout;
    std::string error;
    ASSERT_TRUE(ParseFixtureLayout(kLayout, &layout, &error)) << error;
    const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, UPDATEFIXTURE_COMMAND};
    tree_ = new FixtureTree;
    ASSERT_TRUE(WriteFixture(layout, binaries, root_->folder(), tree_, &error)) << error;
    // The listed values, read back through the finger of N+1's own folder copy.
    ini_ = new CFWUpdateIni;
    LoadUpdateIni(*ini_, Utf8ToWide(tree_->newProgram) + L"UpdateInfo.ini", L"");
    finger_ = new CFingerFile;
    ASSERT_TRUE(finger_->InitSection(ini_, GetMainSection(*ini_)));
  }
  static void TearDownTestSuite() {
    delete finger_;
    delete ini_;
    delete tree_;
    delete root_;
  }
  static const SFileItem* Listed(const std::wstring& name) {
    for (const SFingerItem* item : finger_->Items())
      if (item->name == name) return static_cast<const SFileItem*>(item);
    return nullptr;
  }
  static std::string Served(const std::string& remote) { return ReadWholeFile(tree_->ServedFolder("1.0.0.2") + remote); }
  static std::string OrderLog() { return ReadWholeFile(tree_->OrderLog()); }
  // Polls the order log for a line, for at most ten seconds.
  static bool WaitForLine(const std::string& line) {
    for (int i = 0; i < 100; ++i) {
      if (OrderLog().find(line) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  static ScopedTempDir* root_;
  static FixtureTree* tree_;
  static CFWUpdateIni* ini_;
  static CFingerFile* finger_;
};

ScopedTempDir* FixtureTest::root_ = nullptr;
FixtureTree* FixtureTest::tree_ = nullptr;
CFWUpdateIni* FixtureTest::ini_ = nullptr;
CFingerFile* FixtureTest::finger_ = nullptr;

TEST_F(FixtureTest, ServedContainersDecodeToTheListedBytes) {
  for (const wchar_t* name : {L"a.dll", L"notes.txt", L"empty.dat"}) {
    const SFileItem* item = Listed(name);
    ASSERT_NE(item, nullptr) << WideToUtf8(name);
    EXPECT_EQ(item->zipType, ZIP_ZF7Z);
    const std::string container = Served(WideToUtf8(item->remoteName));
    EXPECT_EQ(static_cast<int>(container.size()), item->transSize);
    std::string decoded;
    ASSERT_EQ(Zf7zDecompress(container, decoded), item->size) << WideToUtf8(name);
    EXPECT_EQ(Utf8ToWide(FixtureMd5(decoded)), item->checkValue);
    std::wstring md5;
    ASSERT_TRUE(GetFileMD5(Utf8ToWide(tree_->newProgram) + name, md5));
    EXPECT_EQ(md5, item->checkValue) << "the program folder holds the same bytes";
  }
  EXPECT_LT(Served("notes.txt.z").size(), 3000u) << "text shrinks";
}

TEST_F(FixtureTest, FaultyVariants) {
  const SFileItem* bad = Listed(L"bad.bin");
  ASSERT_NE(bad, nullptr);
  const std::string served = Served("bad.bin");
  EXPECT_EQ(static_cast<int>(served.size()), bad->size);
  EXPECT_NE(Utf8ToWide(FixtureMd5(served)), bad->checkValue);

  std::string decoded;
  EXPECT_LT(Zf7zDecompress(Served("broken.bin.z"), decoded), 0);

  CFWUpdateIni served_ini;
  const std::string path = tree_->root + "fetched.ini";
  std::filesystem::copy_file(tree_->ServedDescription("1.0.0.2"), path);
  EXPECT_EQ(LoadUpdateIni(served_ini, Utf8ToWide(path), L""), L"0.0.0") << "not a description";
  CFingerFile finger;
  EXPECT_FALSE(finger.InitSection(&served_ini, GetMainSection(served_ini)));
  EXPECT_EQ(LoadUpdateIni(served_ini, Utf8ToWide(tree_->ServedDescription("1.0.0.1")), L""), L"1.0.0.1");
}

TEST_F(FixtureTest, UpdaterCopiesCarryTheirVersion) {
  std::wstring version;
  ASSERT_TRUE(GetFileVersion(Utf8ToWide(tree_->oldProgram + "CorvaneUpdate"), version));
  EXPECT_EQ(version, L"1.0.0.1");
  ASSERT_TRUE(GetFileVersion(Utf8ToWide(tree_->newProgram + "CorvaneUpdate"), version));
  EXPECT_EQ(version, L"1.0.0.2");
  const SFileItem* item = Listed(L"CorvaneUpdate");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->checkType, CHK_VER);
  EXPECT_EQ(item->checkValue, L"1.0.0.2");
  ASSERT_TRUE(GetFileVersion(Utf8ToWide(UPDATEFIXTURE_COMMAND), version));
  EXPECT_NE(version, L"1.0.0.2") << "the original keeps its own";
}

TEST_F(FixtureTest, CommandsLogAndAnswerAsConfigured) {
  const std::wstring tools = Utf8ToWide(tree_->tools);
  DWORD exitCode = 99;
  ASSERT_EQ(RunProcessWait(exitCode, L"\"" + tools + L"Check\" main", 5, false, nullptr), 0u);
  EXPECT_EQ(exitCode, 3u);
  ASSERT_EQ(RunProcessWait(exitCode, L"\"" + tools + L"Stop\" module", 5, false, nullptr), 0u);
  EXPECT_EQ(exitCode, 0u);
  // Setup signals the event and lingers: the wait ends on the event.
  EXPECT_EQ(RunProcessWait(exitCode, L"\"" + tools + L"Setup\" main", 5, false, L"WAIT_fixture_ready"), 0u);
  EXPECT_NE(OrderLog().find("Check main\nStop module\nSetup main\n"), std::string::npos) << OrderLog();
}

TEST_F(FixtureTest, ClientChecksItsFolderAndStopsOnRequest) {
  const std::wstring tools = Utf8ToWide(tree_->tools);
  const std::wstring client = Utf8ToWide(tree_->oldProgram) + L"Corvane";
  DWORD exitCode = 99;
  ASSERT_EQ(RunProcessWait(exitCode, L"\"" + tools + L"Start\" \"" + client + L"\"", 5, false, nullptr), 0u);
  EXPECT_EQ(exitCode, 0u);
  ASSERT_TRUE(WaitForLine("Corvane ver=1.0.0.1 folder=ok\n")) << OrderLog();
  long pid = 0;
  std::ifstream(tree_->tools + "client.pid") >> pid;
  ASSERT_GT(pid, 0);
  ASSERT_EQ(RunProcessWait(exitCode, L"\"" + client + L"\" -do=stop", 5, false, nullptr), 0u);
  EXPECT_TRUE(WaitForLine("Corvane -do=stop stopped=" + std::to_string(pid) + "\n")) << OrderLog();
  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) {
    ended = kill(static_cast<pid_t>(pid), 0) != 0;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(ended);
}

}  // namespace
