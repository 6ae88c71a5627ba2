// The dialog on a real X server, driven through its update handle by a
// stand-in for the update thread: what it shows and the one code it ends
// with, whichever of result, watchdog and user comes first.
#include <gtest/gtest.h>

#include <platform/Dialogs.h>
#include <platform/Kernel.h>
#include <platform/MessageQueue.h>
#include <platform/atl/AtlApp.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "MainDlg.h"
#include "MsgTable.h"
#include "RowName.h"

namespace {

struct Box {
  std::wstring text;
  std::wstring caption;
};

class TestDlg : public CMainDlg {
 public:
  TestDlg() : CMainDlg(nullptr) {}
  ~TestDlg() override {
    if (worker.joinable()) worker.join();
  }

  // Runs on its own thread once the dialog would start the update.
  std::function<void(CUpdateHandle&)> run;
  // Called while a box is "open"; returns the answer.
  std::function<int(TestDlg&)> answer = [](TestDlg&) { return IDOK; };
  std::vector<Box> boxes;
  std::vector<int> exits;
  std::thread worker;

  void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<int>(end - GetTickCount()) > 0) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(5);
    }
  }

 protected:
  void ExitUpdate(int code) override {
    exits.push_back(code);
    EndDialog(code);
  }
  int ShowBox(const std::wstring& text, const std::wstring& caption, UINT) override {
    boxes.push_back({text, caption});
    return answer(*this);
  }
  bool StartUpdate() override {
    if (run) worker = std::thread([this] { run(*this); });
    return true;
  }
  void CheckDiskSpace() override {}
};

class MainDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_.Init(nullptr, nullptr);
    CMainDlg::RegisterTemplate();
    SelectLanguage(L"en_US");
  }
  atl::CAppModule module_;
};

TEST_F(MainDlgTest, ProgressAndTextThenSuccessEndsWithoutABox) {
  TestDlg dlg;
  dlg.run = [](CUpdateHandle& handle) {
    handle.OnUpdatePercent(40);
    handle.ShowUpdateText(L"Updating main components, please wait...");
    Sleep(50);
    handle.OnUpdateFinished(0);
  };
  EXPECT_EQ(dlg.DoModal(nullptr), 0);
  EXPECT_EQ(dlg.exits, std::vector<int>{0});
  EXPECT_TRUE(dlg.boxes.empty());
  EXPECT_EQ(dlg.StatusText(), L"Updating main components, please wait...");
}

struct FinishCase {
  const char* name;
  int code;
  const wchar_t* serverText;
  int row;  // -1: no box
};

const FinishCase kFinishes[] = {
    {"DownloadFailed", 5, L"", MSG_DOWNLOAD_FAILED},
    {"ServerErrorRow", 6, L"", MSG_SERVER_ERR},
    {"ServerErrorText", 6, L"Server says no", -2},
    {"CodeFourIsUnknown", 4, L"", MSG_UNKNOWN_ERR},
    {"CodeTwelveIsUnknown", 12, L"", MSG_UNKNOWN_ERR},
    {"NewerUpdaterPid", 4321, L"", -1},
};

class MainDlgFinishTest : public MainDlgTest, public ::testing::WithParamInterface<FinishCase> {};

TEST_P(MainDlgFinishTest, ShowsTheCodesMessageAndExitsWithIt) {
  const FinishCase& c = GetParam();
  TestDlg dlg;
  dlg.run = [&c](CUpdateHandle& handle) {
    if (*c.serverText) handle.SetSvrErrText(c.serverText);
    handle.OnUpdateFinished(c.code);
  };
  EXPECT_EQ(dlg.DoModal(nullptr), c.code);
  EXPECT_EQ(dlg.exits, std::vector<int>{c.code});
  if (c.row == -1) {
    EXPECT_TRUE(dlg.boxes.empty());
    return;
  }
  ASSERT_EQ(dlg.boxes.size(), 1u);
  EXPECT_EQ(dlg.boxes[0].text, c.row == -2 ? std::wstring(c.serverText) : std::wstring(GetMsg(c.row)));
  EXPECT_EQ(dlg.boxes[0].caption, GetMsg(MSG_ERROR));
}

INSTANTIATE_TEST_SUITE_P(Codes, MainDlgFinishTest, ::testing::ValuesIn(kFinishes), RowName());

TEST_F(MainDlgTest, WatchdogEndsAStalledTransferWithDownloadFailed) {
  TestDlg dlg;
  dlg.SetWatchdogPeriod(100);
  dlg.run = [](CUpdateHandle& handle) { handle.OnUpdatePercent(10); };
  EXPECT_EQ(dlg.DoModal(nullptr), 5);
  ASSERT_EQ(dlg.boxes.size(), 1u);
  EXPECT_EQ(dlg.boxes[0].text, GetMsg(MSG_DOWNLOAD_FAILED));
}

// The install reports each step with the same percent: every report is a
// sign of life, and silence ends the install as it ends a transfer.
TEST_F(MainDlgTest, WatchdogGuardsTheInstallByItsSignsOfLife) {
  for (bool alive : {true, false}) {
    TestDlg dlg;
    dlg.SetWatchdogPeriod(50);
    dlg.run = [alive](CUpdateHandle& handle) {
      handle.OnUpdatePercent(95);
      for (int i = 0; i < 20; ++i) {
        Sleep(20);  // several watchdog periods in all
        if (alive) handle.OnUpdatePercent(95);
      }
      handle.OnUpdateFinished(0);
    };
    const int code = alive ? 0 : 5;
    EXPECT_EQ(dlg.DoModal(nullptr), code) << (alive ? "steps reported" : "silent");
    EXPECT_EQ(dlg.exits, std::vector<int>{code});
  }
}

TEST_F(MainDlgTest, WatchdogWaitsWhileTheUserAnswers) {
  TestDlg dlg;
  dlg.SetWatchdogPeriod(50);
  dlg.answer = [](TestDlg& self) {
    self.Pump(400);  // the user thinks for several watchdog periods
    return IDNO;
  };
  dlg.run = [&dlg](CUpdateHandle& handle) {
    handle.OnUpdatePercent(20);
    dlg.PostMessage(WM_CLOSE);
    Sleep(300);  // the question is still open
    handle.OnUpdateFinished(0);
  };
  EXPECT_EQ(dlg.DoModal(nullptr), 0);
  EXPECT_EQ(dlg.exits, std::vector<int>{0});
  ASSERT_EQ(dlg.boxes.size(), 1u) << "only the close question";
  EXPECT_EQ(dlg.boxes[0].text, GetMsg(MSG_CLOSE_QUESTION));
}

TEST_F(MainDlgTest, TheFirstFinishWins) {
  TestDlg dlg;
  dlg.answer = [](TestDlg& self) {
    self.OnUpdateFinished(0);  // the thread's own result arrives under the box
    self.Pump(200);
    return IDOK;
  };
  dlg.run = [](CUpdateHandle& handle) { handle.OnUpdateFinished(5); };
  EXPECT_EQ(dlg.DoModal(nullptr), 5);
  EXPECT_EQ(dlg.exits, std::vector<int>{5});
  EXPECT_EQ(dlg.boxes.size(), 1u);
}

TEST_F(MainDlgTest, CloseAsksAndYesEndsWithMinusOne) {
  TestDlg dlg;
  std::atomic<int> asked{0};
  dlg.answer = [&asked](TestDlg&) { return ++asked == 1 ? IDNO : IDYES; };
  dlg.run = [&dlg, &asked](CUpdateHandle&) {
    dlg.PostMessage(WM_CLOSE);
    // The second close comes once the first question was answered.
    for (int i = 0; i < 500 && asked.load() < 1; ++i) Sleep(10);
    dlg.PostMessage(WM_COMMAND, CMainDlg::IDC_CLOSE);
  };
  EXPECT_EQ(dlg.DoModal(nullptr), -1);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(dlg.exits, std::vector<int>{-1});
}

TEST_F(MainDlgTest, ChineseTexts) {
  ASSERT_TRUE(SelectLanguage(L"zh_CN"));
  TestDlg dlg;
  dlg.run = [](CUpdateHandle& handle) { handle.OnUpdateFinished(7); };
  EXPECT_EQ(dlg.DoModal(nullptr), 7);
  ASSERT_EQ(dlg.boxes.size(), 1u);
  EXPECT_EQ(dlg.boxes[0].caption, L"错误");
  SelectLanguage(L"en_US");
}

}  // namespace
