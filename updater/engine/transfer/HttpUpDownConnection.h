// One HTTP connection to one update server entry, on its own message thread.
// WinHTTP's notifications only post to that thread, so every change of the
// connection's state happens there, one at a time.
#pragma once

#include <deque>
#include <string>

#include "FW_RequestCallBack.h"
#include "FW_WinHttpConnection.h"
#include "FW_WinHttpRequest.h"
#include "MsgThread.h"
#include "ProxyCfg.h"
#include "ServerInfo.h"
#include "TransTask.h"

class CHttpUpDownHandler;
class FW_WinHttpSession;

class CHttpUpDownConnection : public CMsgThread, public FW_RequestCallBack {
 public:
  enum { kIoSize = 10240, kMaxSpeedWindows = 5 };

  CHttpUpDownConnection(int id, FW_WinHttpSession* session, const SServerInfo& server, const SConnProxy& proxy,
                        CHttpUpDownHandler* handler);
  // Stops the thread and waits for it: nothing may run on a deleted object.
  ~CHttpUpDownConnection() override;

  bool PostTask(const STransTask& task);
  bool CancelTask();
  int Id() const { return m_nId; }
  const SServerInfo& Server() const { return m_server; }

  void DealUsrMsg(CMsg* msg) override;

  // WinHTTP's notifications (worker thread): posted only.
  void OnRequestError(const WINHTTP_ASYNC_RESULT* result) override;
  void OnHandleClosing() override;
  void OnRedirect(const std::wstring& url) override;
  void OnSendRequestComplete() override;
  void OnWriteComplete(DWORD bytesWritten) override;
  void OnHeadersAvailable() override;
  void OnDataAvailable(DWORD bytesAvailable) override;
  void OnReadComplete(DWORD bytesRead) override;

 private:
  struct SSpeedWindow {
    DWORD start = 0;
    long long bytes = 0;
    DWORD elapsed = 0;
  };

  void PostSimple(int type, int wParam);
  int DoTransfer(const STransTask& task);
  int InitWinHttpConn();
  int StartWinHttpRequest();
  int sendContent();
  void OnHeaders();
  void ReadNext();
  void OnRead(DWORD bytes);
  void CloseTask(int reason);
  // A task whose request never started hears no HANDLE_CLOSING it could
  // tell as its own: its end is reported here instead, once.
  void EndTaskNow(int reason);
  void OnTaskClosed();
  void OpenSpeedWindow();
  void CountSpeed(long long bytes);
  bool RequestOpen() const { return m_request.Handle() != nullptr; }

  int m_nId;
  SServerInfo m_server;
  SConnProxy m_proxy;
  FW_WinHttpSession* m_pSession;
  CHttpUpDownHandler* m_pHandler;
  FW_WinHttpConnection m_conn;
  FW_WinHttpRequest m_request;
  STransTask m_task;
  int m_nCloseReason = 0;
  // The request of the current task was started: its HANDLE_CLOSING carries
  // its context and ends the task.
  bool m_bStarted = false;
  // A HANDLE_CLOSING is due for the current task; any other is stale.
  bool m_bClosing = false;
  std::string m_readBuf;
  int m_nRspStart = 0;
  int m_nRecvBytes = 0;
  int m_nSendBytes = 0;
  std::deque<SSpeedWindow> m_speed;
};
