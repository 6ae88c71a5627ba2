// The install against two written versions of a program folder: N+1's files
// staged in UpdateVer/ of N, then the check and the install as the update
// thread runs them. The fixture's Stop, Check and Setup commands append to
// one log, so the order they ran in is what the test reads.
#include <gtest/gtest.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "FileHelpers.h"
#include "LocalInstall.h"
#include "ProcessHelpers.h"
#include "RowName.h"
#include "ScopedTempDir.h"
#include "UpdateCheck.h"
#include "UpdateFixture.h"
#include "UpdateResult.h"
#include "UpdateState.h"

namespace fs = std::filesystem;

namespace {

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok());
    SetRetryPausesForTests(1, 1);
  }
  void TearDown() override { SetRetryPausesForTests(0, 0); }

  // Writes both versions and stages all of N+1 (description included) in
  // N's UpdateVer/, as a finished download leaves it.
  void Write(const std::string& layoutText) {
    FixtureLayout layout;
    std::string error;
    ASSERT_TRUE(ParseFixtureLayout(layoutText, &layout, &error)) << error;
    const FixtureBinaries binaries{UPDATEFIXTURE_COMMAND, UPDATEFIXTURE_CLIENT, UPDATEFIXTURE_COMMAND};
    ASSERT_TRUE(WriteFixture(layout, binaries, root_.folder(), &tree_, &error)) << error;
    fs::copy(tree_.newProgram, tree_.oldProgram + "UpdateVer", fs::copy_options::recursive);
    state_.SetFolders(Utf8ToWide(tree_.oldProgram), Utf8ToWide(tree_.oldProgram) + L"CorvaneUpdate");
    state_.destVer = Utf8ToWide(layout.newVer);
  }
  // The check and the install, as the update thread runs them after a download.
  int Install() {
    CUpdateCheck check(state_);
    check.InitUpdate();
    if (!check.CalculateUpdateFigerFile()) return URC_LOCAL_UPDATE_ERR;
    for (const SFingerItem* item : state_.downItems)
      EXPECT_NE(item->type, FIT_DOWNFILE) << "staged, yet to fetch: " << WideToUtf8(item->name);
    CLocalInstall install(state_, nullptr);
    const int self = install.UpdateSelfExe();
    if (self != 0) return self;
    return install.LocalVerUpdate();
  }
  std::string Order() const { return ReadWholeFile(tree_.OrderLog()); }
  void SetTool(const wchar_t* tool, const wchar_t* key, const wchar_t* value) {
    ASSERT_TRUE(WritePrivateProfileStringW(tool, key, value, Utf8ToWide(tree_.tools + "tools.ini").c_str()));
  }
  // Program folder and N+1 hold the same bytes for every file of N+1.
  void ExpectInstalled(bool withDescription = true) {
    for (const auto& entry : fs::recursive_directory_iterator(tree_.newProgram)) {
      if (!entry.is_regular_file()) continue;
      const std::string rel = fs::relative(entry.path(), tree_.newProgram).string();
      if (!withDescription && rel == "UpdateInfo.ini") continue;
      EXPECT_EQ(ReadWholeFile(tree_.oldProgram + rel), ReadWholeFile(entry.path().string())) << rel;
    }
  }

  ScopedTempDir root_{ScopedTempDir::kAwkwardPrefix};
  FixtureTree tree_;
  SUpdateState state_;
};

const char kLayout[] = R"(
file Corvane client
file a.dll random 3000 changed
file same.txt text 500
file m.dll random 2000 changed module
file gone.txt text 100 oldonly
file stuck.txt text 100 oldonly keep
)";

TEST_F(InstallTest, StopBeforeFirstChangeCheckPerSectionSetupWhenCheckFails) {
  Write(std::string(kLayout) + "check-exit 3\n");
  ASSERT_EQ(Install(), URC_NO_ERR);
  EXPECT_EQ(Order(),
            "Stop main\n"
            "Stop module\n"
            "Check module\n"
            "Setup module\n"
            "Check main\n"
            "Setup main\n");
  ExpectInstalled();
  EXPECT_FALSE(fs::exists(tree_.oldProgram + "gone.txt"));
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini"), ReadWholeFile(tree_.newProgram + "UpdateInfo.ini"));
  EXPECT_EQ(state_.localVer, L"1.0.0.2") << "the installed description is read again";
  EXPECT_TRUE(fs::is_empty(tree_.oldProgram + "UpdateVer")) << "the staging folder is emptied, not removed";
}

TEST_F(InstallTest, SectionWithoutChangesRunsOnlyItsCheck) {
  Write("file Corvane client\nfile a.dll random 3000 changed\nfile m.dll random 2000 module\n");
  ASSERT_EQ(Install(), URC_NO_ERR);
  EXPECT_EQ(Order(), "Stop main\nCheck module\nCheck main\n");
}

TEST_F(InstallTest, FailingSetupStopsTheInstallWithNine) {
  Write(std::string(kLayout) + "check-exit 3\n");
  SetTool(L"Setup", L"exit", L"4");
  EXPECT_EQ(Install(), URC_LOCAL_UPDATE_ERR);
  EXPECT_EQ(Order(), "Stop main\nStop module\nCheck module\nSetup module\n");
  EXPECT_EQ(ReadWholeFile(tree_.oldProgram + "UpdateInfo.ini").find("Ver=1.0.0.2"), std::string::npos)
      << "a failed install keeps the installed description";
}

TEST_F(InstallTest, WaitEventEndsTheWaitBeforeTheProgram) {
  // Setup signals the event and then lingers with a failing exit code: only
  // the event is waited for, so the failure of the lingering program is not seen.
  Write(std::string(kLayout) + "check-exit 3\nsignal Setup fixture_ready_i24\n");
  SetTool(L"Setup", L"exit", L"4");
  SetTool(L"Setup", L"linger", L"300");
  EXPECT_EQ(Install(), URC_NO_ERR);
  EXPECT_NE(Order().find("Setup module\n"), std::string::npos);
}

// rmfl: a delete that fails stops the install only when its flag is 0
// (stuck.txt is listed without :err, gone.txt with it).
struct DeleteCase {
  const char* name;
  const char* blocked;
  int result;
};
class FailedDeleteTest : public InstallTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(FailedDeleteTest, FailsOnlyWithErrFlag) {
  Write(kLayout);
  // A folder with content where the file was cannot be deleted as a file.
  const std::string blocked = tree_.oldProgram + GetParam().blocked;
  fs::remove(blocked);
  fs::create_directories(blocked + "/inner");
  EXPECT_EQ(Install(), GetParam().result);
}

const DeleteCase kDeleteCases[] = {
    {"WithoutErrFlag", "stuck.txt", URC_NO_ERR},
    {"WithErrFlag", "gone.txt", URC_LOCAL_FILE_COPY_ERR},
};
INSTANTIATE_TEST_SUITE_P(Rmfl, FailedDeleteTest, ::testing::ValuesIn(kDeleteCases), RowName());

TEST_F(InstallTest, ItemInTwoSectionsIsAppliedOnce) {
  Write(kLayout);
  // N+1's description lists a.dll in the module section as well.
  for (const std::string& copy : {tree_.oldProgram + "UpdateVer/UpdateInfo.ini"}) {
    std::string text = ReadWholeFile(copy);
    const std::string moduleHead = "[module]\r\nSectionType=module\r\n";
    const size_t at = text.find(moduleHead);
    ASSERT_NE(at, std::string::npos);
    const size_t line = text.find("dlfl;a.dll;");
    ASSERT_NE(line, std::string::npos);
    const size_t begin = text.rfind("\r\n", line) + 2;
    const std::string dlfl = text.substr(begin, text.find("\r\n", line) - begin);
    text.insert(at + moduleHead.size(), "Job_900" + dlfl.substr(dlfl.find('=')) + "\r\n");
    std::ofstream(copy, std::ios::binary) << text;
  }
  ASSERT_EQ(Install(), URC_NO_ERR) << "the second listing of a.dll is not moved again";
  ExpectInstalled(/*withDescription=*/false);
}

TEST_F(InstallTest, StartCommandOfTheNewDescriptionStartsTheClient) {
  Write(kLayout);
  ASSERT_EQ(Install(), URC_NO_ERR);
  CLocalInstall install(state_, nullptr);
  EXPECT_TRUE(install.StartMainExe());
  EXPECT_NE(Order().find("Start " + tree_.oldProgram + "Corvane"), std::string::npos) << Order();
  // The client records its pid once it runs; wait for that (bounded) before stopping it.
  bool running = false;
  for (int i = 0; i < 100 && !running; ++i) {
    running = Order().find("Corvane ver=1.0.0.2 folder=") != std::string::npos;
    if (!running) Sleep(100);
  }
  EXPECT_TRUE(running) << Order();
  EXPECT_NE(Order().find("Corvane ver=1.0.0.2 folder=ok"), std::string::npos) << "the client sees N+1 whole";
  // The fake client keeps running: end it the way a description's stop does.
  DWORD exitCode = 0;
  EXPECT_EQ(RunProcessWait(exitCode, L"\"" + Utf8ToWide(tree_.oldProgram) + L"Corvane\" -do=stop", SW_SHOW, false,
                           nullptr),
            0u);
}

// The transfer writes what it fetched without any run bit; an installed file
// keeps the mode it had, so a replaced program still runs, and a file new to
// the folder keeps the mode it was written with.
TEST_F(InstallTest, ReplacedFilesKeepTheInstalledMode) {
  Write("file Corvane client\nfile tool random 3000 changed\nfile fresh.dat random 100 newonly\n");
  const std::string installed = tree_.oldProgram + "tool";
  fs::permissions(installed, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  for (const char* name : {"tool", "fresh.dat"})
    fs::permissions(tree_.oldProgram + "UpdateVer/" + name, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(Install(), URC_NO_ERR);
  ExpectInstalled();
  EXPECT_EQ(fs::status(installed).permissions(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(fs::status(tree_.oldProgram + "fresh.dat").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
