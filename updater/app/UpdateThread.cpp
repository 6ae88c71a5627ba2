#include "UpdateThread.h"

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <memory>

#include "DecodeNetFileThead.h"
#include "ErrReport.h"
#include "FileItem.h"
#include "LocalInstall.h"
#include "MsgTable.h"
#include "NetFile.h"
#include "PRXCmdLineAnalyse.h"
#include "StrHelpers.h"
#include "TestHooks.h"
#include "Trace.h"
#include "UpdateCheck.h"
#include "UpdateHandle.h"
#include "UpdateResult.h"

static std::string U8(const std::wstring& text) { return WideToUtf8(text); }

CUpdateThread::~CUpdateThread() {
  // The manager's thread calls back into this object: it must be gone first.
  m_mgr.Stop();
  m_mgr.WaitExit(INFINITE);
}

void CUpdateThread::Init(const std::wstring& appDir, const std::wstring& exePath, const std::wstring& cmdLineText,
                         const PRXCmdLineAnalyse* cmdLine) {
  m_state.SetFolders(appDir, exePath);
  m_state.cmdLineText = cmdLineText;
  m_state.cmdLine = cmdLine;
  m_state.abandonCommand.Create(nullptr, /*manualReset=*/true, /*initialState=*/false);
}

bool CUpdateThread::AbandonCommand() {
  if (!m_state.commandRunning || !m_state.abandonCommand.GetHandle()) return false;
  if (WaitForSingleObject(m_state.abandonCommand.GetHandle(), 0) == WAIT_OBJECT_0) return false;
  return SetEvent(m_state.abandonCommand.GetHandle()) != FALSE;
}

void CUpdateThread::SetHandle(CUpdateHandle* handle) {
  m_state.handle = handle;
  m_progress.SetHandle(handle);
}

bool CUpdateThread::Suspend() {
  const bool mgr = !m_mgr.IsRunning() || m_mgr.Suspend();
  return CThread::Suspend() && mgr;
}

bool CUpdateThread::Resume() {
  const bool self = CThread::Resume();
  const bool mgr = !m_mgr.IsRunning() || m_mgr.Resume();
  return self && mgr;
}

int CUpdateThread::Run(void*) {
  m_state.ShowText(GetMsg(MSG_UPDATING_FILES));
  int code = DoUpdate();
  if (code == URC_NO_ERR) code = FinishUpdate();
  if (IsUpdateFailure(code)) {
    TraceErr("update failed! (code:%d(%s))", code, UpdateResultName(code));
    ReportErr();
  } else if (IsHandOver(code)) {
    TraceInf("update handed over! (code:%d(%s))", code, UpdateResultName(code));
    // Tests keep the old updater alive here, so that the new one meets it.
    UpdaterTestPause("HANDOVER_LINGER_MS");
  }
  if (m_state.handle) m_state.handle->OnUpdateFinished(code);
  return code;
}

void CUpdateThread::OnTransProgress(const STransProgress* progress) {
  UpdaterTestCrash(kTestCrashTransferThread);
  if (progress) m_progress.OnTransProgress(progress->total, progress->done);
}

int CUpdateThread::DoUpdate() {
  std::wstring spVer;
  if (m_state.cmdLine) m_state.cmdLine->GetValue(L"-SPVER", spVer);
  ExtractVerField(m_state.destVer, spVer);
  if (m_state.destVer.empty()) {
    TraceErr("No dest ver info!");
    return URC_PARAM_ERR;
  }
  TraceInf("destVer:%s", U8(m_state.destVer).c_str());
  if (m_state.cmdLine) m_state.cmdLine->GetValue(L"-UPURL", m_state.servers);
  if (m_state.servers.empty()) {
    TraceErr("No file server!");
    return URC_PARAM_ERR;
  }
  if (!m_mgr.SetSverInfo(m_state.servers)) {
    TraceErr("set server info failed! (server:%s)", U8(m_state.servers).c_str());
    return URC_PARAM_ERR;
  }

  CUpdateCheck check(m_state);
  check.InitUpdate();
  check.ShowJobString();
  bool done = false;
  check.CheckLocal(&done);
  if (done) return URC_NO_ERR;

  m_mgr.SetConnCfg(5, 1);
  // A server that answers nothing ends the run after this long; tests of the
  // real program wait seconds, not a minute, for their silent servers.
  m_mgr.SetNoDataTimeout(static_cast<int>(UpdaterTestHook("NO_DATA_MS", m_mgr.NoDataTimeout())));
  m_progress.SetProgressRange(0, 7);
  if (!DownFingerFile()) {
    TraceErr("down FINGER file failed! ");
    return URC_DOWNLOAD_ERR;
  }
  m_state.serverVer = LoadUpdateIni(m_state.serverIni, m_state.stagingDir + L"UpdateInfo.ini", m_state.cmdLineText);
  TraceInf("Server ver(%s), dest ver(%s)", U8(m_state.serverVer).c_str(), U8(m_state.destVer).c_str());
  UpdaterTestCrash(kTestCrashUpdateThread);
  UpdaterTestCrash(kTestCrashTraceWriter);
  // Includes the check that the fetched description is installable at all:
  // a garbage answer would otherwise load as an empty tree and be copied over
  // the installed description, losing its version and start command.
  if (!check.CalculateUpdateFigerFile()) return URC_LOCAL_UPDATE_ERR;

  CLocalInstall install(m_state, [this](std::vector<SFingerItem*>& items, const std::wstring& folder) {
    return DownFiles(items, folder);
  });
  install.SetAliveFn([this] { m_progress.SetProgress(0); });
  m_progress.SetProgressRange(7, 13);
  int code = install.UpdateSelfExe();
  if (code != URC_NO_ERR) return code;

  m_progress.SetProgressRange(13, 90);
  if (!DownFiles(m_state.downItems, m_state.stagingDir)) return URC_DOWNLOAD_ERR;

  m_progress.SetProgressRange(90, 100);
  code = install.LocalVerUpdate();
  if (code != URC_NO_ERR) return code;
  return URC_NO_ERR;
}

int CUpdateThread::FinishUpdate() {
  m_progress.SetProgressRange(90, 100);
  CLocalInstall install(m_state, nullptr);
  if (install.StartMainExe()) return URC_NO_ERR;
  return m_state.commandStalled ? URC_DOWNLOAD_ERR : URC_START_APP_ERR;
}

bool CUpdateThread::DownFingerFile() {
  SFileTransItem item(L"UpdateInfo.ini", true);
  item.remoteName = L"UpdateInfo.ini." + m_state.destVer;
  std::vector<SFingerItem*> list{&item};
  return DownFiles(list, m_state.stagingDir);
}

bool CUpdateThread::DownFiles(std::vector<SFingerItem*>& items, const std::wstring& folder) {
  if (items.empty()) {
    TraceInf("no files need download!");
    return true;
  }
  std::vector<std::unique_ptr<CNetFile>> owned;
  std::vector<CNetFile*> files;
  for (size_t i = 0; i < items.size(); ++i) {
    SFingerItem* item = items[i];
    if (item->type != FIT_DOWNFILE && item->type != FIT_UPFILE) continue;
    // Every file record of a tree is an SFileTransItem.
    owned.emplace_back(new CNetFile(static_cast<int>(i), static_cast<SFileTransItem*>(item), folder));
    files.push_back(owned.back().get());
  }
  if (!MutiTransfer(files)) return false;
  TraceInf("%d files has been completed!", static_cast<int>(files.size()));
  return true;
}

bool CUpdateThread::MutiTransfer(const std::vector<CNetFile*>& files) {
  CDecodeNetFileThead decoder;
  decoder.SetPauseAfterUnpack(static_cast<DWORD>(UpdaterTestHook("PAUSE_AFTER_UNPACK", 0)));
  if (!decoder.StartThread()) {
    TraceErr("start decode file thread failed! (err:%d)", static_cast<int>(GetLastError()));
    return false;
  }
  int64_t total = 0;
  for (const CNetFile* file : files) total += CUpdateProgress::CountedSize(file->GetTransSize());

  const int lo = m_progress.Lo();
  const int hi = m_progress.Hi();
  int64_t done = 0;
  for (CNetFile* file : files) {
    const int64_t size = CUpdateProgress::CountedSize(file->GetTransSize());
    int fileLo = lo, fileHi = hi;
    CUpdateProgress::FileWindow(lo, hi, done, size, total, &fileLo, &fileHi);
    m_progress.SetProgressRange(fileLo, fileHi);
    if (!m_mgr.Start(file, this)) break;
    m_mgr.WaitExit(INFINITE);
    const int result = m_mgr.GetExitCode();
    if (result != TRANS_SUCCESS) {
      TraceWar("MutiTransfer failed! (err:%d, file:%s)", result, U8(file->Item()->name).c_str());
      break;
    }
    TraceDbg("MutiTransfer file success! (file:%s)", U8(file->Item()->name).c_str());
    done += size;
    decoder.PostDecodeFile(file);
  }
  decoder.StopThread(0);
  decoder.WaitExit(INFINITE);

  for (CNetFile* file : files)
    if (decoder.GetDecodeState(file) != DFS_DONE) return false;
  return true;
}

void CUpdateThread::ReportErr() {
  CErrReport report(m_state);
  report.ReportErr(m_mgr, this);
}
