#include "FileDownloadApp.h"

#include <platform/Kernel.h>
#include <platform/KernelOwners.h>
#include <platform/Strings.h>
#include <platform/Threads.h>
#include <platform/WinSock.h>

#include <algorithm>
#include <mutex>

#include "FWUpdateIni.h"
#include "FW_WinHttpRequest.h"
#include "FileHelpers.h"
#include "MsgTable.h"
#include "PathHelpers.h"
#include "StrHelpers.h"
#include "StringTable.h"
#include "SystemHelpers.h"
#include "TestHooks.h"
#include "Trace.h"
#include "TraceManager.h"
#include "UpdaterAppDir.h"

static const wchar_t kCfgSection[] = L"CFG";
static const wchar_t kUserCfg[] = L"UserCfg.ini";
static const int kDumpTextChars = 0x6000;

static std::string U8(const std::wstring& text) { return WideToUtf8(text); }

CFileDownloadApp::CFileDownloadApp() { LoadResString(m_blockName, IDS_UPDATE_MEM); }

CFileDownloadApp::~CFileDownloadApp() {
  if (m_bWinsock) WSACleanup();
}

std::wstring CFileDownloadApp::GetUsrId() const {
  return IniReadString(kCfgSection, L"UsrID", L"", 64, (m_appDir + kUserCfg).c_str());
}

std::wstring CFileDownloadApp::InstalledVersion() const {
  CFWUpdateIni ini;
  ini.SetFile(m_appDir + L"UpdateInfo.ini");
  return GetIniVersion(ini);
}

void CFileDownloadApp::StartTraceLog() {
  const std::wstring logDir = m_appDir + L"Log/";
  // The log stays off when its folder cannot be made: start-up goes on.
  if (!CreateDirTree(logDir)) return;
  STraceCfg cfg = {};
  const std::string mainLog = U8(logDir + L"AppLog.log");
  const std::string errLog = U8(logDir + L"errlogs");
  if (mainLog.size() >= sizeof cfg.mainLogPath || errLog.size() >= sizeof cfg.errLogPath) return;
  std::copy(mainLog.begin(), mainLog.end(), cfg.mainLogPath);
  std::copy(errLog.begin(), errLog.end(), cfg.errLogPath);
  cfg.mainLogMaxSize = kMainLogLimit;
  cfg.errLogMaxSize = kErrLogLimit;
  if (!StartTrace(&cfg)) return;
  RoutePlatformLogToTrace(true);

  std::wstring exePath;
  GetModulePath(exePath);
  TraceInf("---------- CFileDownloadApp running... (pid:%d)----------", static_cast<int>(GetCurrentProcessId()));
  TraceInf("%s", U8(exePath).c_str());
  std::wstring exeVer, modified;
  GetFileVersion(exePath, exeVer);
  WIN32_FIND_DATAW data = {};
  uint32_t seconds = 0;
  if (GetFileFindData(exePath, data)) seconds = FileTimeToUnixTime(data.ftLastWriteTime);
  FormatUnixTime(modified, seconds);
  TraceInf("Main ver:%s, Exe Ver:%s, Last modified:%s(%d)", U8(InstalledVersion()).c_str(), U8(exeVer).c_str(),
           U8(modified).c_str(), static_cast<int>(seconds));
}

bool CFileDownloadApp::InitInstance(const std::wstring& argument) {
  if (m_appDir.empty()) m_appDir = GetUpdaterAppDir();
  SetCurrentDirectoryW(m_appDir.c_str());
  StartTraceLog();
  // 0 keeps the requests' own time-out; tests of the real program shorten it.
  FW_WinHttpRequest::SetTimeoutForTests(static_cast<int>(UpdaterTestHook("HTTP_TIMEOUT_MS", 0)));

  if (argument.empty()) {
    TraceErr("FileDownload null param!");
    return false;
  }
  m_cmdLine = argument;
  if (!StopOtherInstance()) {
    TraceWar("FileDownload stop other failed!");
    return false;
  }
  CMiniDumpMakeCtrl::InstallFilter(this);

  if (!m_parsedCmdLine.Parse(argument)) {
    TraceErr("InitCmdLine failed! (%s)", U8(argument).c_str());
    ShowStartupError(MSG_INVALID_PARAM, MSG_ERROR);
    return false;
  }
  SelectLanguage(IniReadString(kCfgSection, L"Language", L"zh_CN", 64, (m_appDir + kUserCfg).c_str()));

  WSADATA wsa = {};
  const int err = WSAStartup(0x0202, &wsa);
  if (err != 0) {
    TraceErr("WSAStartup failed! errCode:%d", err);
    ShowStartupError(MSG_LOCAL_ERR, MSG_ERROR);
    return false;
  }
  m_bWinsock = true;
  return true;
}

bool CFileDownloadApp::StopOtherInstance() {
  const DWORD opened = m_block.open(m_blockName, kInstanceBlockSize);
  if (opened != 0) {
    TraceErr("CFileDownloadApp: Open %s failed! errCode:%d", U8(m_blockName).c_str(), static_cast<int>(opened));
    return false;
  }
  const DWORD self = GetCurrentProcessId();
  const std::lock_guard<CNamedShareMem> lock(m_block);
  int* pid = m_block.data();
  // Our own id can only be there when a test or a crash left it: never end
  // ourselves for it.
  if (*pid != 0 && static_cast<DWORD>(*pid) != self) {
    TraceDbg("CFileDownloadApp: kill pre-Tessarel pid:%d", *pid);
    const UniqueHandle other(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(*pid)));
    if (!other) {
      TraceErr("CFileDownloadApp: Open pre-Tessarel failed! errCode:%d", static_cast<int>(GetLastError()));
    } else if (!ProcessRunsProgramOfOwnName(static_cast<DWORD>(*pid))) {
      // The updater that recorded itself is gone and its pid went to another
      // program, which must never be ended in its place. Asked after the open:
      // should the pid change hands again, TerminateProcess refuses.
      TraceWar("CFileDownloadApp: pid:%d runs no updater, not ended", *pid);
    } else if (WaitForSingleObject(other.get(), 100) == WAIT_TIMEOUT && !TerminateProcess(other.get(), self) &&
               WaitForSingleObject(other.get(), 0) == WAIT_TIMEOUT) {
      TraceErr("CFileDownloadApp: Terminate preTessarel failed! errCode:%d", static_cast<int>(GetLastError()));
      return false;
    }
  }
  *pid = static_cast<int>(self);
  return true;
}

void CFileDownloadApp::ExitInstance() {
  if (m_block.opened()) {
    const std::lock_guard<CNamedShareMem> lock(m_block);
    int* pid = m_block.data();
    if (*pid == static_cast<int>(GetCurrentProcessId())) *pid = 0;
  }
  RoutePlatformLogToTrace(false);
  StopTrace();
}

void CFileDownloadApp::ShowStartupError(int messageRow, int captionRow) {
  TraceErr("%s: %s", U8(GetMsg(captionRow)).c_str(), U8(GetMsg(messageRow)).c_str());
}

void CFileDownloadApp::GetDumpPath(std::wstring& path) {
  path = m_appDir + L"Log/FileDownload.dmp";
  TraceErr("app dumped to: %s", U8(path).c_str());
  OutputDebugStringA(U8(path).c_str());
}

// Appends as much of piece as still fits.
static void AppendCut(std::wstring& text, const std::wstring& piece) {
  if (text.size() >= static_cast<size_t>(kDumpTextChars)) return;
  text.append(piece, 0, kDumpTextChars - text.size());
}

void CFileDownloadApp::GetDumpText(std::wstring& text) {
  text.clear();
  std::wstring exePath, exeName, exeVer, now;
  GetModulePath(exePath);
  SplitFilePath(exePath, nullptr, &exeName);
  GetFileVersion(exePath, exeVer);
  GetLocalTimeText(now);
  AppendCut(text, L"Module:" + exeName + L"\n");
  AppendCut(text, L"MeetVer:" + InstalledVersion() + L"\n");
  AppendCut(text, L"ExeVer:" + exeVer + L"\n");
  AppendCut(text, L"DumpTime:" + now + L"\n");
  AppendCut(text, L"PCID:" + GetUsrId() + L"\n");
  AppendCut(text, L"ExePath:" + exePath + L"\n");
  // Read as it is on disk: a flush would stop and restart the writer,
  // which waits for ever when the writer is the thread that crashed.
  static char tail[kErrLogLimit];
  const int got = GetLastLogDataInCrash(tail, static_cast<int>(sizeof tail));
  std::string utf8;
  AnsiToUtf8(tail, got > 0 ? static_cast<size_t>(got) : 0, utf8);
  AppendCut(text, L"LastLogData:" + Utf8ToWide(utf8) + L"\n");
}
