// Moves one CNetFile at a time between the update servers and memory over
// one connection per server entry: every idle connection asks for the whole
// file, the first to answer streams it from the start, and the others fetch
// blocks cut from its end. The run's result is the thread's exit code.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "FW_WinHttpSession.h"
#include "HttpUpDownHandler.h"
#include "MsgThread.h"
#include "TransTask.h"

class CHttpUpDownConnection;
class CMutiThreadUpDownHandler;
class CNetFile;

enum { TRANS_SUCCESS = 0, TRANS_ERR_NODATA = 1002 };

class CMutilThreadMgr : public CHttpUpDownHandler, public CMsgThread {
 public:
  struct SConnItem {
    CHttpUpDownConnection* conn = nullptr;  // owned
    STransTask task;                        // idle while task.file is null
    DWORD lastErrTick = 0;
    int errCount = 0;
    int speed = 0;  // bytes per ms, as last reported when the tasks were handed out
    // The manager cancelled the task: its data is no longer wanted, and a
    // cancel for a bad answer counts as an error.
    bool cancelled = false;
    bool cancelIsError = false;
    bool Busy() const { return task.file != nullptr; }
  };

  CMutilThreadMgr();
  ~CMutilThreadMgr() override;

  void SetNoDataTimeout(int ms) { m_nNoDataTimeout = ms; }
  int NoDataTimeout() const { return m_nNoDataTimeout; }
  void SetConnCfg(int maxBusy, int multi) {
    m_nMaxBusy = maxBusy;
    m_nMulti = multi;
  }
  bool SetSverInfo(const std::wstring& list);
  bool Start(CNetFile* file, CMutiThreadUpDownHandler* sink);
  void Stop();

  // The wait after `errors` failures before a connection may try again.
  static DWORD BackoffMs(int errors);
  static bool MayTakeTask(const SConnItem& item, DWORD now);

  // CHttpUpDownHandler: called on the connections' threads, only posts.
  void OnConnRecvHead(CHttpUpDownConnection* connection, int status, const SHttpHeadInfo* head) override;
  void OnConnRecvData(CHttpUpDownConnection* connection, int position, const std::string& data) override;
  void OnConnEvent(CHttpUpDownConnection* connection, int value) override;
  void OnConnSpeed(CHttpUpDownConnection* connection, int speed) override;
  void OnConnTaskEnd(CHttpUpDownConnection* connection, int result) override;

 protected:
  void InitMsgLoop() override;
  void UninitMsgLoop() override;
  void DealUsrMsg(CMsg* msg) override;
  void OnTimeout(int timerId, LPARAM param) override;

 private:
  bool RemoveConnections();
  SConnItem* Find(CHttpUpDownConnection* connection);
  bool IsUpload() const;
  int BusyCount() const;
  bool Watchdog();
  void Dispatch();
  void DispathTask(SConnItem& item, const STransTask& range);
  void CancelItem(SConnItem& item, bool asError);
  void OnHead(CHttpUpDownConnection* connection, int status, const SHttpHeadInfo& head);
  void OnData(CHttpUpDownConnection* connection, int position, const std::string& data);
  void OnTaskEnd(CHttpUpDownConnection* connection, int result);
  void OnStop(int code);
  void PostStop(int code);
  void ReportProgress();
  int ReportedSpeed(const CHttpUpDownConnection* connection) const;

  FW_WinHttpSession m_session;
  CMutiThreadUpDownHandler* m_pSink = nullptr;
  int m_nNoDataTimeout = 60000;
  int m_nMaxBusy = 5;
  int m_nMulti = 1;
  DWORD m_dwLastRecv = 0;
  int m_nStopCode = 0;
  bool m_bStopping = false;
  std::vector<SConnItem> m_conns;
  // The latest speed of each connection, by its id. A report comes with
  // every piece a connection reads: stored here, it costs the manager's
  // thread no wake-up of its own.
  std::unique_ptr<std::atomic<int>[]> m_speeds;
  int m_nSpeeds = 0;
  CHttpUpDownConnection* m_pMain = nullptr;
  CNetFile* m_pFile = nullptr;
  int m_nDispatchTimer = 0;
  int m_nStopCheckTimer = 0;
};
