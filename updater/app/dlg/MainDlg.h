// The updater's only window: a small topmost progress dialog that starts the
// update thread, shows what it reports, guards against a stalled transfer,
// asks before the user closes it, and ends the process with the result.
#pragma once

#include <platform/GdiOwners.h>
#include <platform/User.h>
#include <platform/atl/AtlDialog.h>

#include <string>

#include "ButtonST.h"
#include "LayerDraw.h"
#include "UpdateHandle.h"
#include "UpdateThread.h"

class CFileDownloadApp;

class CMainDlg : public atl::CDialogImpl<CMainDlg>, public CLayerDraw, public CUpdateHandle {
 public:
  enum { IDD = 129 };
  enum { IDC_PROGRESS = 1000, IDC_STATUS = 1001, IDC_CLOSE = 1004 };
  enum { TIMER_START = 100, TIMER_SPIN = 101, TIMER_WATCHDOG = 102 };
  enum { WM_UPDATE_PERCENT = WM_USER + 100, WM_UPDATE_FINISHED = WM_USER + 101, WM_UPDATE_TEXT = WM_USER + 102 };
  static constexpr UINT kWatchdogMs = 120000;

  explicit CMainDlg(CFileDownloadApp* app);
  ~CMainDlg() override;

  // The dialog template of this window, once per process.
  static void RegisterTemplate();

  BEGIN_MSG_MAP(CMainDlg)
  MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
  MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
  MESSAGE_HANDLER(WM_PAINT, OnPaint)
  MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
  COMMAND_ID_HANDLER(IDOK, OnOkCancel)
  COMMAND_ID_HANDLER(IDCANCEL, OnOkCancel)
  COMMAND_ID_HANDLER(IDC_CLOSE, OnCloseButton)
  MESSAGE_HANDLER(WM_WINDOWPOSCHANGING, OnPosChanging)
  MESSAGE_HANDLER(WM_CLOSE, OnClose)
  MESSAGE_HANDLER(WM_TIMER, OnTimer)
  MESSAGE_HANDLER(WM_UPDATE_PERCENT, OnPercentMsg)
  MESSAGE_HANDLER(WM_UPDATE_FINISHED, OnFinishedMsg)
  MESSAGE_HANDLER(WM_UPDATE_TEXT, OnTextMsg)
  MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColorStatic)
  REFLECT_NOTIFICATIONS()
  END_MSG_MAP()

  // CUpdateHandle: any thread; each only posts to the window.
  void OnUpdateFinished(int code) override;
  void OnUpdatePercent(int percent) override;
  void ShowUpdateWnd(int showCommand) override;
  void ShowUpdateText(const std::wstring& text) override;
  void SetSvrErrText(const std::wstring& text) override;

  CUpdateThread& Thread() { return m_thread; }
  // Tests shorten the watchdog.
  void SetWatchdogPeriod(UINT milliseconds) { m_watchdogMs = milliseconds; }
  const std::wstring& StatusText() const { return m_statusText; }

 protected:
  // Ends the process with the code; nothing after it runs.
  virtual void ExitUpdate(int code);
  // A message box owned by the dialog.
  virtual int ShowBox(const std::wstring& text, const std::wstring& caption, UINT type);
  // Starts the update thread with this dialog as its handle.
  virtual bool StartUpdate();
  virtual void CheckDiskSpace();

  void OnUpdateFinishedMsg(int code);

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnOkCancel(WORD, WORD, HWND, BOOL&) { return 0; }
  LRESULT OnCloseButton(WORD, WORD, HWND, BOOL&);
  LRESULT OnPosChanging(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPercentMsg(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnFinishedMsg(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTextMsg(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&);

  // The watchdog is held while a box is open.
  int AskUser(const std::wstring& text, const std::wstring& caption, UINT type);
  void RefreshStatus();
  void AddLayers();
  void OnWatchdog();

  CFileDownloadApp* m_app;
  CButtonST m_closeButton;
  CUpdateThread m_thread;
  std::wstring m_svrErrText;
  UniqueIcon m_bigIcon;
  UniqueIcon m_smallIcon;
  std::wstring m_statusText;
  int m_spinner = 0;
  int m_lastPercent = 0;
  // Every report of the thread (a percent, even the same one, or a text)
  // is a sign of life; the watchdog looks for one between its ticks.
  unsigned m_signsOfLife = 0;
  unsigned m_sampledSigns = 0;
  int m_openBoxes = 0;
  bool m_finished = false;
  UINT m_watchdogMs = kWatchdogMs;
};
