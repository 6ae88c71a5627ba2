#include "MainDlg.h"

#include <platform/Dialogs.h>
#include <platform/Gdi.h>
#include <platform/GdiPaint.h>
#include <platform/Kernel.h>
#include <platform/KernelFiles.h>
#include <platform/Resources.h>
#include <platform/Strings.h>
#include <platform/UserWindows.h>
#include <platform/atl/AtlCtrls.h>

#include <vector>

#include "FileDownloadApp.h"
#include "MsgTable.h"
#include "PathHelpers.h"
#include "SetTopRoundWndRgn.h"
#include "Trace.h"
#include "UpdateResult.h"
#include "UpdaterIcons.h"

namespace {

const DialogItemTemplate kItems[] = {
    {WC_STATICW, L"Conferencing components being upgraded, please wait...", CMainDlg::IDC_STATUS,
     WS_CHILD | WS_VISIBLE | SS_LEFT, 6, 33, 238, 11},
    {PROGRESS_CLASSW, L"", CMainDlg::IDC_PROGRESS, WS_CHILD | WS_VISIBLE, 15, 46, 220, 13},
    // A plain push button: the owner-drawn button adds BS_OWNERDRAW itself,
    // and that bit already here would read as a check box (no hover icon).
    {WC_BUTTONW, L"", CMainDlg::IDC_CLOSE, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 236, 0, 14, 14},
};
const DialogTemplate kDialog = {WS_POPUP | WS_SYSMENU, WS_EX_TOPMOST, 0, 0, 250, 69, L"", L"宋体", 10, kItems, 3};

const wchar_t kSpinner[] = {L'|', L'/', L'-', L'\\'};
constexpr int kCaptionHeight = 40;
constexpr int kIconSize = 32;
constexpr unsigned long long kLowDiskBytes = 0x6400000;

int FailureRow(int code) {
  switch (code) {
    case 2: return MSG_INVALID_PARAM;
    case 3: return MSG_VERSION_STOPPED;
    case 5: return MSG_DOWNLOAD_FAILED;
    case 6: return MSG_SERVER_ERR;
    case 7: return MSG_LOCAL_ERR;
    case 8: return MSG_START_NEWUPDATE_FAILED;
    case 9: return MSG_LOCAL_UPDATE_FAILED;
    case 10: return MSG_START_APP_FAILED;
    case 11: return MSG_FILE_UPDATE_FAILED;
    default: return MSG_UNKNOWN_ERR;
  }
}

std::wstring ExePath() {
  std::vector<wchar_t> path(4096);
  const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return std::wstring(path.data(), got < path.size() ? got : 0);
}

}  // namespace

CMainDlg::CMainDlg(CFileDownloadApp* app) : m_app(app) {}

CMainDlg::~CMainDlg() = default;

void CMainDlg::RegisterTemplate() {
  RegisterDialogResource(IDD, &kDialog);
  RegisterUpdaterIcons();
}

void CMainDlg::OnUpdateFinished(int code) { PostMessage(WM_UPDATE_FINISHED, static_cast<WPARAM>(code)); }

void CMainDlg::OnUpdatePercent(int percent) { PostMessage(WM_UPDATE_PERCENT, static_cast<WPARAM>(percent)); }

void CMainDlg::ShowUpdateWnd(int showCommand) { ShowWindow(showCommand); }

void CMainDlg::ShowUpdateText(const std::wstring& text) {
  auto* copy = new std::wstring(text);
  if (!PostMessage(WM_UPDATE_TEXT, reinterpret_cast<WPARAM>(copy))) delete copy;
}

void CMainDlg::SetSvrErrText(const std::wstring& text) { m_svrErrText = text; }

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  CenterWindow();
  SetTopRoundWndRgn(m_hWnd);
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  SetWindowText(GetMsg(MSG_TITLE));
  m_bigIcon.reset(static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(128), IMAGE_ICON, kIconSize, kIconSize, 0)));
  m_smallIcon.reset(static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(128), IMAGE_ICON, 16, 16, 0)));
  SetIcon(m_bigIcon.get(), TRUE);
  SetIcon(m_smallIcon.get(), FALSE);

  atl::CProgressBarCtrl progress(GetDlgItem(IDC_PROGRESS));
  progress.SetRange32(0, 100);
  progress.SetPos(0);

  m_statusText = GetMsg(MSG_UPDATING_FILES);
  RefreshStatus();

  SetTimer(TIMER_START, 10);
  SetTimer(TIMER_SPIN, 300);
  SetTimer(TIMER_WATCHDOG, m_watchdogMs);
  m_lastPercent = 0;
  m_signsOfLife = 0;
  m_sampledSigns = 0;

  m_closeButton.SubclassButton(GetDlgItem(IDC_CLOSE));
  m_closeButton.SetIcons(210, 211);
  // The button has no face of its own: the caption band shows through it,
  // and hovering only swaps the icon.
  m_closeButton.SetFlatStyle(true);
  m_closeButton.SetBorderOnHover(false);
  m_closeButton.SetTransparent(true);
  AddLayers();
  return TRUE;
}

void CMainDlg::AddLayers() {
  RECT client{};
  GetClientRect(&client);
  const int w = client.right, h = client.bottom;
  const COLORREF gradient[2] = {0xD88A53, 0xF79363};
  AddGradientLayer(RECT{0, 0, w, kCaptionHeight}, gradient, 0);
  AddSolidColorLayer(RECT{0, kCaptionHeight, w, h}, 0xECE9E1);
  const int top = (kCaptionHeight - kIconSize) / 2;
  AddIconLayer(RECT{8, top, 8 + kIconSize, top + kIconSize}, m_bigIcon.get());
  AddTextLayer(RECT{kIconSize + 12, 12, w - 100, kCaptionHeight}, GetMsg(MSG_TITLE));
  const COLORREF border = 0xE19861;
  AddSolidColorLayer(RECT{0, 0, w, 2}, border);
  AddSolidColorLayer(RECT{0, h - 2, w, h}, border);
  AddSolidColorLayer(RECT{0, 0, 2, h}, border);
  AddSolidColorLayer(RECT{w - 2, 0, w, h}, border);
}

LRESULT CMainDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_hWnd, &paint);
  RECT client{};
  GetClientRect(&client);
  {
    const UniqueDc memory(CreateCompatibleDC(dc));
    const UniqueGdiObject bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
    const ScopedSelect selected(memory.get(), bitmap.get());
    Draw(memory.get(), client, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
  }
  EndPaint(m_hWnd, &paint);
  return 0;
}

LRESULT CMainDlg::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
  RECT window{};
  GetWindowRect(&window);
  const int y = static_cast<short>(HIWORD(lParam));
  return y < window.top + kCaptionHeight ? HTCAPTION : HTCLIENT;
}

LRESULT CMainDlg::OnCloseButton(WORD, WORD, HWND, BOOL&) {
  PostMessage(WM_CLOSE);
  return 0;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  if (m_finished) return 0;
  m_thread.Suspend();
  const int answer = AskUser(GetMsg(MSG_CLOSE_QUESTION), GetMsg(MSG_WARNING), MB_ICONWARNING | MB_YESNO);
  m_thread.Resume();
  if (answer == IDYES && !m_finished) {
    TraceInf("***User close update!");
    m_finished = true;
    ExitUpdate(-1);
  }
  return 0;
}

LRESULT CMainDlg::OnTimer(UINT, WPARAM id, LPARAM, BOOL&) {
  switch (id) {
    case TIMER_START:
      KillTimer(TIMER_START);
      CheckDiskSpace();
      if (!m_finished && !StartUpdate()) {
        TraceErr("Start update thread failed!");
        m_finished = true;
        ExitUpdate(-1);
      }
      break;
    case TIMER_SPIN:
      m_spinner = (m_spinner + 1) % 4;
      RefreshStatus();
      break;
    case TIMER_WATCHDOG:
      OnWatchdog();
      break;
    default:
      break;
  }
  return 0;
}

void CMainDlg::OnWatchdog() {
  const bool silent = m_signsOfLife == m_sampledSigns;
  m_sampledSigns = m_signsOfLife;
  // A question or a result on screen is the user's time, not the update's.
  if (m_finished || m_openBoxes > 0 || !silent) return;
  // A stop, check, setup or start command that never returns is ended: the
  // thread then ends the run with 5 and reports it. Should the thread not
  // come back either, the next silent tick ends the run from here.
  if (m_thread.AbandonCommand()) {
    TraceWar("Update command not return for a long time! (percent:%d)", m_lastPercent);
    return;
  }
  KillTimer(TIMER_WATCHDOG);
  TraceWar("Update percent not change for a long time! (percent:%d)", m_lastPercent);
  OnUpdateFinished(5);
}

bool CMainDlg::StartUpdate() {
  m_thread.Init(m_app->GetAppDir(), ExePath(), m_app->GetCmdLineText(), &m_app->GetCmdLine());
  m_thread.SetHandle(this);
  return m_thread.StartThread();
}

void CMainDlg::CheckDiskSpace() {
  // The warning names where the space is short: the mount point that holds
  // the program folder (a drive letter means nothing here).
  const std::wstring folder = m_app ? m_app->GetAppDir() : ExePath();
  wchar_t volume[4096];
  if (!GetVolumePathNameW(folder.c_str(), volume, sizeof volume / sizeof volume[0])) return;
  const std::wstring root = volume;
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) return;
  if (free.QuadPart >= kLowDiskBytes) return;
  std::wstring text = GetMsg(MSG_LOW_DISK);
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, root);
  AskUser(text, GetMsg(MSG_WARNING), MB_ICONWARNING);
}

LRESULT CMainDlg::OnPercentMsg(UINT, WPARAM wParam, LPARAM, BOOL&) {
  atl::CProgressBarCtrl(GetDlgItem(IDC_PROGRESS)).SetPos(static_cast<int>(wParam));
  m_lastPercent = static_cast<int>(wParam);
  ++m_signsOfLife;
  return 0;
}

LRESULT CMainDlg::OnFinishedMsg(UINT, WPARAM wParam, LPARAM, BOOL&) {
  OnUpdateFinishedMsg(static_cast<int>(wParam));
  return 0;
}

LRESULT CMainDlg::OnTextMsg(UINT, WPARAM wParam, LPARAM, BOOL&) {
  auto* text = reinterpret_cast<std::wstring*>(wParam);
  if (text == nullptr) return 0;
  m_statusText = *text;
  delete text;
  ++m_signsOfLife;
  RefreshStatus();
  return 0;
}

LRESULT CMainDlg::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM, BOOL&) {
  SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void CMainDlg::RefreshStatus() {
  HWND status = GetDlgItem(IDC_STATUS);
  ::ShowWindow(status, SW_HIDE);
  ::SetWindowTextW(status, (m_statusText + kSpinner[m_spinner]).c_str());
  ::ShowWindow(status, SW_SHOW);
}

void CMainDlg::OnUpdateFinishedMsg(int code) {
  // The thread's result, the watchdog and a user close can each end the run;
  // a second end arriving while the first one's box is open must not show
  // another box or exit with another code.
  if (m_finished) return;
  m_finished = true;
  KillTimer(TIMER_WATCHDOG);
  if (code == 0) {
    TraceInf("Update successful finished! (exitCode:%d)", code);
  } else if (code > 12) {
    TraceInf("start a new update to continue! (pid:%d)", code);
  } else {
    TraceErr("Update failed! (exitCode:%d)", code);
    std::wstring text = GetMsg(FailureRow(code));
    if (code == 6 && !m_svrErrText.empty()) text = m_svrErrText;
    AskUser(text, GetMsg(MSG_ERROR), MB_ICONERROR);
  }
  ExitUpdate(code);
}

int CMainDlg::AskUser(const std::wstring& text, const std::wstring& caption, UINT type) {
  ++m_openBoxes;
  const int answer = ShowBox(text, caption, type);
  --m_openBoxes;
  return answer;
}

int CMainDlg::ShowBox(const std::wstring& text, const std::wstring& caption, UINT type) {
  return MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), type);
}

void CMainDlg::ExitUpdate(int code) {
  TraceInf("Update Process exit(%d)!", code);
  if (m_app) m_app->ExitInstance();
  StopTrace();
  // A newer updater's id does not fit the 8 bits Linux keeps of an exit
  // status: it would reach the client as some unrelated result code.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(UpdateExitStatus(code)));
}
