// The updater's entry point: start-up, then the dialog, which ends the
// process itself; the return path here is only taken when start-up fails.
#include <platform/Dialogs.h>
#include <platform/Strings.h>
#include <platform/atl/AtlApp.h>

#include <string>

#include "FileDownloadApp.h"
#include "MainDlg.h"
#include "MsgTable.h"
#include "TestHooks.h"

namespace {

// Start-up failures the user must see get a box once the window layer is up.
class CUpdaterApp : public CFileDownloadApp {
 protected:
  void ShowStartupError(int messageRow, int captionRow) override {
    CFileDownloadApp::ShowStartupError(messageRow, captionRow);
    MessageBoxW(nullptr, GetMsg(messageRow), GetMsg(captionRow), MB_ICONERROR);
  }
};

CUpdaterApp theApp;
atl::CAppModule theModule;

int RunDlg() {
  CMainDlg::RegisterTemplate();
  CMainDlg dialog(&theApp);
  // Tests of the real program see a stalled transfer end in seconds.
  dialog.SetWatchdogPeriod(static_cast<UINT>(UpdaterTestHook("WATCHDOG_MS", CMainDlg::kWatchdogMs)));
  return static_cast<int>(dialog.DoModal());
}

}  // namespace

int main(int argc, char** argv) {
  theModule.Init(nullptr, nullptr);
  const std::wstring argument = argc > 1 ? Utf8ToWide(argv[1]) : std::wstring();
  const int result = theApp.InitInstance(argument) ? RunDlg() : -1;
  theApp.ExitInstance();
  theModule.Term();
  // The process status holds 8 bits: -1 arrives as 255, as the client expects.
  return result & 0xFF;
}
