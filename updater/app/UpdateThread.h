// One whole update on a worker thread: versions, the target's description,
// the files to fetch (through the transfer manager, written and checked by
// the decode thread), the updater's own replacement, the install and the
// client's start. Progress, texts and one result code go to the handle.
#pragma once

#include <string>
#include <vector>

#include "MutiThreadUpDownHandler.h"
#include "MutilThreadMgr.h"
#include "Thread.h"
#include "UpdateProgress.h"
#include "UpdateState.h"

class CNetFile;
class CUpdateHandle;
class PRXCmdLineAnalyse;
struct SFingerItem;

class CUpdateThread : public CThread, public CMutiThreadUpDownHandler {
 public:
  CUpdateThread() = default;
  ~CUpdateThread() override;

  // Before StartThread: the program folder (ending in '/'), the running
  // updater's own path, the argument as received and its parse (not owned).
  void Init(const std::wstring& appDir, const std::wstring& exePath, const std::wstring& cmdLineText,
            const PRXCmdLineAnalyse* cmdLine);
  void SetHandle(CUpdateHandle* handle);

  int Run(void* param) override;
  // On the transfer manager's thread.
  void OnTransProgress(const STransProgress* progress) override;

  // From the dialog's thread: gives up on the command the install waits for
  // (it is ended, and the run ends with 5). False when none runs or it was
  // given up on already.
  bool AbandonCommand();

  // The transfer first, so nothing it reports waits on a stopped thread.
  bool Suspend();
  bool Resume();

  // For tests: the manager's time-outs; what the run worked out.
  CMutilThreadMgr& Mgr() { return m_mgr; }
  const SUpdateState& State() const { return m_state; }

 private:
  int DoUpdate();
  int FinishUpdate();
  bool DownFingerFile();
  bool DownFiles(std::vector<SFingerItem*>& items, const std::wstring& folder);
  bool MutiTransfer(const std::vector<CNetFile*>& files);
  void ReportErr();

  CMutilThreadMgr m_mgr;
  SUpdateState m_state;
  CUpdateProgress m_progress;
};
